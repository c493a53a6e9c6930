#include "analysis/buffer_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "analysis/picture_types.h"
#include "codec/picture.h"
#include "platform/input_file.h"

namespace mv {
namespace {

constexpr std::array<std::string_view, 5> kPresetNames = {"dvd", "vcd", "bluray", "stream", "custom"};

// DVD-Video's GOP limits: 15 pictures at PAL rates, 18 at NTSC and film rates.
uint32_t dvdGopLimit(int32_t frameRateMilli) {
  const auto near = [frameRateMilli](int32_t milli) { return std::abs(frameRateMilli - milli) <= 2; };
  if (near(25000) || near(50000)) return 15;
  if (near(29970) || near(23976) || near(59940)) return 18;
  return 0;
}

// How far into the file a sequence header is looked for: the first GOP's, past any index or
// other tracks' data before it.
constexpr uint64_t kHeaderSearchBytes = 16u << 20;

// The first sequence header of an MPEG-1/2 stream in the file's first bytes, read as the picture
// reader reads the headers before a picture.
codec::StreamInfo firstSequenceHeader(const std::string& path) {
  InputFile file;
  if (!file.open(path)) return {};
  const uint64_t end = std::min(file.length(), kHeaderSearchBytes);
  constexpr size_t kPiece = InputFile::kBufferSize;
  for (uint64_t at = 0; at + 4 <= end; at += kPiece - 3) {
    const size_t n = size_t(std::min<uint64_t>(kPiece, end - at));
    const uint8_t* p = file.peek(at, n);
    if (!p) return {};
    for (size_t i = 0; i + 4 <= n; ++i) {
      if (p[i + 2] > 1) {
        i += 2;
        continue;
      }
      if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1 || p[i + 3] != 0xB3) continue;
      const uint64_t from = at + i;
      const size_t len = size_t(std::min<uint64_t>(codec::PictureReader::kHeadBytes, file.length() - from));
      const uint8_t* head = file.peek(from, len, len);
      if (!head) return {};
      codec::PictureReader reader({codec::Codec::Mpeg12, {}, false});
      reader.probe(head, len, 0, len);
      const codec::StreamInfo info = reader.info();
      if (info.width > 0 && info.vbvBits > 0) return info;
      p = file.peek(at, n);  // the look above may have refilled the buffer
      if (!p) return {};
    }
  }
  return {};
}

struct Hit {
  uint32_t second;
  BufferViolation kind;
  std::optional<double> fullness;
};

// Hits of one kind, in time order, merged into runs of consecutive seconds.
void appendRuns(const std::vector<Hit>& hits, BufferViolation kind, std::vector<BufferRun>& runs) {
  bool open = false;
  for (const Hit& h : hits) {
    if (h.kind != kind) continue;
    BufferRun* last = open ? &runs.back() : nullptr;
    if (last && h.second <= last->seconds.last + 1) {
      last->seconds.last = std::max(last->seconds.last, h.second);
      if (h.fullness) last->lowest = last->lowest ? std::min(*last->lowest, *h.fullness) : *h.fullness;
      continue;
    }
    runs.push_back({{h.second, h.second}, kind, h.fullness});
    open = true;
  }
}

// The label of the second that holds `seconds`: its ordinal from 1, as the gaps count them.
uint32_t secondOf(double seconds) {
  return seconds <= 0 ? 1 : uint32_t(std::min<double>(std::floor(seconds), kMaxDurationSeconds)) + 1;
}

}  // namespace

std::optional<uint64_t> bufferValueOfText(std::string_view text, bool rate) {
  uint64_t value = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + uint64_t(text[i] - '0');
    if (value > kMaxBufferValue) return std::nullopt;
  }
  if (i == 0) return std::nullopt;
  std::string_view unit = text.substr(i);
  if (unit.starts_with(' ')) unit.remove_prefix(1);
  const bool kbit = rate ? unit == "kbit/s" || unit == "kbps" : unit == "kbit";
  if (!kbit && !unit.empty()) return std::nullopt;
  if (kbit) value *= kBitsPerKbit;
  if (value == 0 || value > kMaxBufferValue) return std::nullopt;
  return value;
}

std::string_view bufferPresetName(BufferPreset preset) { return kPresetNames[size_t(preset)]; }

std::optional<BufferPreset> bufferPresetOfName(std::string_view name) {
  for (size_t i = 0; i < kPresetNames.size(); ++i)
    if (kPresetNames[i] == name) return BufferPreset(i);
  return std::nullopt;
}

BufferModel presetModel(BufferPreset preset, int32_t frameRateMilli, uint64_t rate, uint64_t bits) {
  switch (preset) {
    case BufferPreset::Dvd:
      return {preset, 9'800'000, 1'835'008, dvdGopLimit(frameRateMilli)};
    case BufferPreset::Vcd:
      return {preset, 1'151'929, 327'680, 0};
    case BufferPreset::BluRay:
      return {preset, 40'000'000, 30'000'000, 0};
    case BufferPreset::Stream:
    case BufferPreset::Custom:
      break;
  }
  return {preset, rate, bits, 0};
}

std::optional<BufferModel> streamModel(const FileSlot& slot, StreamModelGap& gap) {
  const codec::TrackCoding& coding = slot.analysis.videoCoding;
  if (coding.codec != codec::Codec::Mpeg12) {
    gap = StreamModelGap::NotMpeg;
    return std::nullopt;
  }
  // The codec record holds the sequence header (MP4, Matroska; MPEG-TS/PS: as the walk found it
  // in the video's PES payload); other streams carry it in the data.
  codec::StreamInfo info = codec::PictureReader(coding).info();
  const MediaType type = slot.mediaType();
  if (info.width == 0 && type != MEDIA_TS && type != MEDIA_PS) info = firstSequenceHeader(slot.analysis.path);
  if (info.width == 0 || info.vbvBits == 0) {
    gap = StreamModelGap::NoHeader;
    return std::nullopt;
  }
  if (info.bitRate == 0) {
    gap = StreamModelGap::VariableRate;
    return std::nullopt;
  }
  return BufferModel{BufferPreset::Stream, info.bitRate, info.vbvBits, 0};
}

std::optional<BufferModel> streamModel(const FileSlot& slot, std::string& why) {
  StreamModelGap gap{};
  std::optional<BufferModel> model = streamModel(slot, gap);
  why = model ? std::string() : std::string(streamModelWhy(gap));
  return model;
}

std::string_view streamModelWhy(StreamModelGap gap, bool english) {
  switch (gap) {
    case StreamModelGap::NotMpeg:
      return english ? "only MPEG-1/2 video declares a bit rate and buffer size; this file's video is "
                       "another codec"
                     : "只有 MPEG-1/2 视频声明码率和缓冲区大小，此文件的视频是别的编码";
    case StreamModelGap::VariableRate:
      return english ? "the MPEG-1 sequence header declares a variable bit rate"
                     : "MPEG-1 序列头声明的是可变码率";
    case StreamModelGap::NoHeader:
      break;
  }
  return english ? "no MPEG-1/2 sequence header with a bit rate and buffer size was found"
                 : "没有找到声明码率和缓冲区大小的 MPEG-1/2 序列头";
}

std::optional<BufferModel> slotModel(const FileSlot& slot, BufferPreset preset, StreamModelGap& gap) {
  if (preset == BufferPreset::Stream) return streamModel(slot, gap);
  return presetModel(preset, slot.analysis.frameRateMilli);
}

std::string bufferRunLines(const BufferCheck& check) {
  std::string out;
  for (const BufferRun& run : check.runs) {
    const char* what = run.kind == BufferViolation::Underflow       ? "缓冲区下溢"
                       : run.kind == BufferViolation::FrameTooLarge ? "帧大于缓冲区"
                                                                    : "GOP 过长";
    out += zeroRunText(run.seconds) + ' ' + what + "（" + std::string(bufferPresetName(check.model.preset)) +
           "）\n";
  }
  return out;
}

std::string_view violationName(BufferViolation kind) {
  switch (kind) {
    case BufferViolation::Underflow:
      return "underflow";
    case BufferViolation::FrameTooLarge:
      return "frame-too-large";
    case BufferViolation::GopTooLong:
      return "gop-too-long";
  }
  return {};
}

BufferCheck checkBuffer(const std::vector<VideoFrame>& frames, const BufferModel& model) {
  BufferCheck out;
  out.model = model;
  const double size = double(model.bits);
  out.lowest = size;
  out.fullness.reserve(frames.size());
  std::vector<Hit> hits;
  double f = size;
  for (size_t k = 0; k < frames.size(); ++k) {
    // Times go back only in damaged files; the buffer does not drain for them.
    if (k > 0)
      f = std::min(size, f + double(model.rate) * std::max(0.0, frames[k].seconds - frames[k - 1].seconds));
    if (f < out.lowest) {
      out.lowest = f;
      out.lowestSeconds = frames[k].seconds;
    }
    const double taken = 8.0 * frames[k].bytes;
    if (taken > f) {
      hits.push_back({secondOf(frames[k].seconds),
                      taken > size ? BufferViolation::FrameTooLarge : BufferViolation::Underflow, f});
      out.violatingFrames.push_back(uint32_t(k));
      f = 0;
    } else {
      f -= taken;
    }
    out.fullness.push_back(f);
  }
  if (model.maxGop > 0) {
    for (const Gop& gop : groupsOfPictures(frames)) {
      if (!frames[gop.firstFrame].key || gop.frames <= model.maxGop) continue;
      hits.push_back({secondOf(frames[gop.firstFrame].seconds), BufferViolation::GopTooLong, std::nullopt});
      out.violatingFrames.push_back(gop.firstFrame);
    }
    std::sort(out.violatingFrames.begin(), out.violatingFrames.end());
    out.violatingFrames.erase(std::unique(out.violatingFrames.begin(), out.violatingFrames.end()),
                              out.violatingFrames.end());
  }
  std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.second < b.second; });
  for (BufferViolation kind :
       {BufferViolation::Underflow, BufferViolation::FrameTooLarge, BufferViolation::GopTooLong})
    appendRuns(hits, kind, out.runs);
  std::stable_sort(out.runs.begin(), out.runs.end(),
                   [](const BufferRun& a, const BufferRun& b) { return a.seconds.first < b.seconds.first; });
  return out;
}

LoadResult checkSlotBuffer(const FileSlot& slot, const BufferModel& model, BufferCheck& out,
                           LoadControl* control) {
  std::vector<VideoFrame> frames = videoFrames(slot.analysis);
  // Opening an MPEG-TS/PS file leaves its PES packets as the units; the buffer takes pictures.
  const MediaType type = slot.mediaType();
  if (type == MEDIA_TS || type == MEDIA_PS) {
    if (const LoadResult r = readPictureTypes(slot, frames, control); !r.ok()) return r;
  }
  out = checkBuffer(frames, model);
  return {};
}

}  // namespace mv
