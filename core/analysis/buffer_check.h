#pragma once
// Will it play: a decoder buffer of B bits filled at R bit/s and emptied by each frame at its
// decode time, over the frame list; the frames it cannot take, and GOPs longer than a disc
// allows, as runs of seconds.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/file_slot.h"
#include "media/frames.h"
#include "media/load.h"
#include "media/unit_summary.h"
#include "media/zero_runs.h"

namespace mv {

// The largest rate (bit/s) and size (bits) a model takes: the fullness is a double, exact up to 2^53.
inline constexpr uint64_t kMaxBufferValue = uint64_t(1) << 53;

enum class BufferPreset { Dvd, Vcd, BluRay, Stream, Custom };

// "dvd", "vcd", "bluray", "stream", "custom": the CLI's and the settings' names.
std::string_view bufferPresetName(BufferPreset preset);
std::optional<BufferPreset> bufferPresetOfName(std::string_view name);

// A fill rate (`rate`: bits per second, or kbit/s or kbps) or a buffer size (bits, or kbit) as
// typed, a space before the unit allowed; the kbit units are 1024 bits. Null for anything else,
// zero, or beyond kMaxBufferValue.
std::optional<uint64_t> bufferValueOfText(std::string_view text, bool rate);

struct BufferModel {
  BufferPreset preset = BufferPreset::Custom;
  uint64_t rate = 0;  // bits per second
  uint64_t bits = 0;  // buffer size
  // GOP limit in pictures for the file's frame rate (DVD), 0 for none.
  uint32_t maxGop = 0;
};

// The model of a fixed preset (DVD, VCD, Blu-ray) for a stream of `frameRateMilli`; custom takes
// `rate` and `bits`. Not for BufferPreset::Stream.
BufferModel presetModel(BufferPreset preset, int32_t frameRateMilli, uint64_t rate = 0, uint64_t bits = 0);

// "From the stream": the bit rate and VBV size an MPEG-1/2 sequence header of the file declares.
// Null with `why` (a user's sentence, Chinese) when the stream declares none (another codec, a
// variable-rate MPEG-1 header, no header found).
std::optional<BufferModel> streamModel(const FileSlot& slot, std::string& why);

// Why a file's stream gives no model, for callers that speak the user's language themselves.
enum class StreamModelGap : uint8_t { NotMpeg, VariableRate, NoHeader };
std::optional<BufferModel> streamModel(const FileSlot& slot, StreamModelGap& gap);
// The sentence for `gap`: Chinese, or English.
std::string_view streamModelWhy(StreamModelGap gap, bool english = false);

enum class BufferViolation : uint8_t { Underflow, FrameTooLarge, GopTooLong };
// "underflow", "frame-too-large", "gop-too-long".
std::string_view violationName(BufferViolation kind);

// Consecutive seconds holding violations of one kind, each by its ordinal from 1 as the gaps
// label them: a frame at 0.5 s is in second 1.
struct BufferRun {
  ZeroRun seconds;  // first and last second, zeroRunText() prints it
  BufferViolation kind = BufferViolation::Underflow;
  // The lowest fullness (bits) before a frame of the run was taken; none for GOP runs.
  std::optional<double> lowest;
};

struct BufferCheck {
  BufferModel model;
  // Fullness after each frame was taken, bits (0 .. model.bits), one per frame in decode order.
  std::vector<double> fullness;
  // The frames that violate (index into the frame list), for marking them.
  std::vector<uint32_t> violatingFrames;
  std::vector<BufferRun> runs;
  double lowest = 0;         // the lowest fullness before a frame was taken, bits
  double lowestSeconds = 0;  // and when (the frame's time)
  bool ok() const { return runs.empty(); }
};

// The model of a preset other than custom for the loaded file: the fixed ones at its frame rate,
// "stream" as its sequence header declares (null with `gap` when it declares none).
std::optional<BufferModel> slotModel(const FileSlot& slot, BufferPreset preset, StreamModelGap& gap);

// The runs as lines of the batch check's result text: "00:00:02 -- 00:00:03 缓冲区下溢（dvd）".
std::string bufferRunLines(const BufferCheck& check);

BufferCheck checkBuffer(const std::vector<VideoFrame>& frames, const BufferModel& model);

// The loaded file's frame list (in MPEG-TS/PS the pictures, read again from the file, as the
// frame views read them) checked against `model`, with progress and cancel.
LoadResult checkSlotBuffer(const FileSlot& slot, const BufferModel& model, BufferCheck& out,
                           LoadControl* control = nullptr);

}  // namespace mv
