#pragma once
// Pictures read from their headers, never decoded: the type of a picture from its first bytes,
// the access units of an elementary stream, and what sequence headers say of the stream.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "media/video_coding.h"

namespace mv {
class InputFile;
}

namespace mv::codec {

enum class PictureType : uint8_t { None, I, P, B };

// "I", "P", "B" or "".
std::string_view typeName(PictureType type);

// What sequence headers / parameter sets / codec records say of the stream; zeros where unknown.
struct StreamInfo {
  int32_t width = 0;
  int32_t height = 0;
  // Frame rate as a fraction (frames per second = rateNum / rateDen); 0/0 when not declared.
  uint32_t rateNum = 0;
  uint32_t rateDen = 0;
  bool interlaced = false;
  // MPEG-1/2 sequence header: bits per second and VBV buffer bits (0: not declared or variable).
  uint64_t bitRate = 0;
  uint64_t vbvBits = 0;
  std::string_view profile;  // as the header names it ("Main", "High", ...), empty when unknown
  int level = 0;             // as coded (H.264: 40 = 4.0), 0 when unknown
};

// Reads the types of one track's pictures, in decode order (some codecs carry state from one
// picture to the next: parameter sets, VC-1's B-frame count).
class PictureReader {
 public:
  explicit PictureReader(TrackCoding coding);
  ~PictureReader();
  PictureReader(PictureReader&&) noexcept;
  PictureReader& operator=(PictureReader&&) noexcept;

  // Bytes of a picture's start a type is read from; a picture shorter is given whole.
  static constexpr size_t kHeadBytes = 1024;

  // The result of one look at a picture's first bytes.
  struct Probe {
    PictureType type = PictureType::None;
    bool key = false;  // a picture that starts a GOP by its own header (I/IDR/IRAP/key frame)
    // Non-zero: the type lies further in; read from this offset of the picture (for example
    // the slice after a long SEI in length-prefixed H.264) and call `probe` again with it.
    uint64_t readAt = 0;
  };
  // `data` holds `n` bytes of the picture from its offset `at` (0 the first time); `size` is
  // the picture's whole size. Never reads outside `data`.
  Probe probe(const uint8_t* data, size_t n, uint64_t at, uint64_t size);

  StreamInfo info() const;

  // The picture of `size` bytes at `at` of `file` read as `probe` reads it, the further looks
  // included: the one reading of a picture's type and key flag, for walks and frame lists alike.
  // `readAhead` as InputFile::peek takes it.
  Probe probeFile(InputFile& file, uint64_t at, uint64_t size, size_t readAhead);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// An access unit (picture) found in an elementary stream.
struct AccessUnit {
  uint64_t start = 0;  // offset in the elementary stream of its first byte (before its start code)
  PictureType type = PictureType::None;
  bool key = false;
  // Its duration in fields of the stream's frame rate: 2 a frame; 3 an MPEG-2 picture with
  // repeat_first_field; 4 or 6 its progressive-sequence repeats.
  uint8_t fields = 2;
};

// Cuts an elementary stream (MPEG-1/2, MPEG-4 Part 2, H.264 or HEVC with start codes) into
// access units, fed in pieces of any size. Bytes before the first cut are no unit.
class UnitCutter {
 public:
  // Null for a codec that is not cut by start codes.
  static std::unique_ptr<UnitCutter> make(Codec codec);
  virtual ~UnitCutter() = default;
  // The next `n` bytes of the stream. A unit is appended to `out` once the next one's cut is
  // seen, so that its header has been read.
  virtual void feed(const uint8_t* data, size_t n, std::vector<AccessUnit>& out) = 0;
  // The end of the stream: the last unit, if any, is appended.
  virtual void finish(std::vector<AccessUnit>& out) = 0;
  // `n` bytes that are no stream (a hole of a sparse file): the open unit ends before them and
  // is appended, and the next unit begins at the first cut after them.
  virtual void gap(uint64_t n, std::vector<AccessUnit>& out) = 0;
  // Bytes fed so far.
  virtual uint64_t fed() const = 0;
  virtual StreamInfo info() const = 0;
};

}  // namespace mv::codec
