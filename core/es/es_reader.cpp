#include "es/es_reader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "es/audio_frames.h"
#include "es/signatures.h"
#include "media/file_analysis.h"
#include "platform/byte_order.h"
#include "platform/input_file.h"

namespace mv {
namespace {

using codec::Codec;

// How far a stream with no sync at its start is searched for one.
constexpr size_t kSearchBytes = size_t(1) << 20;
// The walk's reads: large enough that the system calls cost little, small enough that the bytes
// are still in the cache when the scan reaches them.
constexpr size_t kChunkBytes = size_t(256) << 10;
constexpr size_t kIvfHeader = 32;
constexpr size_t kIvfFrameHeader = 12;

// The offset of the next 00 00 01 at or after `from`; n when none.
size_t startCodeAt(const uint8_t* p, size_t n, size_t from) {
  for (size_t i = from + 2; i < n;) {
    const void* one = std::memchr(p + i, 1, n - i);
    if (!one) return n;
    const size_t at = size_t(static_cast<const uint8_t*>(one) - p);
    if (p[at - 1] == 0 && p[at - 2] == 0) return at - 2;
    i = at + 1;
  }
  return n;
}

bool h264Profile(uint8_t profile) {
  for (uint8_t known : {66, 77, 88, 100, 110, 122, 244, 44, 83, 86, 118, 128, 134, 135, 138, 139})
    if (profile == known) return true;
  return false;
}

// The codec a start code at `at` (00 00 01 xx) opens, where it tells one: a sequence header, an
// MPEG-4 visual object sequence or a video object with its layer right after, an HEVC
// VPS/SPS/AUD, an H.264 SPS of a known profile or an AUD.
Codec codecOfStartCode(const uint8_t* p, size_t n, size_t at) {
  if (at + 5 > n) return Codec::Unknown;
  const uint8_t c = p[at + 3], next = p[at + 4];
  if (c == 0xB3) return Codec::Mpeg12;
  // B0 is reserved in MPEG-1/2 and a forbidden NAL header in H.264 and HEVC.
  if (c == 0xB0) return Codec::Mpeg4Part2;
  if (c <= 0x1F && at + 8 <= n && next == 0 && p[at + 5] == 0 && p[at + 6] == 1 && (p[at + 7] >> 4) == 2)
    return Codec::Mpeg4Part2;
  if ((c == 0x40 || c == 0x42 || c == 0x46) && next == 0x01) return Codec::Hevc;
  if ((c & 0x9F) == 0x07 && (c & 0x60) != 0 && h264Profile(next)) return Codec::H264;
  if (c == 0x09 && (next & 0x1F) == 0x10) return Codec::H264;
  return Codec::Unknown;
}

Codec ivfCodec(const uint8_t* head, size_t n) {
  if (n < kIvfHeader || std::memcmp(head, "DKIF", 4) != 0 || readU16le(head + 6) < kIvfHeader)
    return Codec::Unknown;
  if (std::memcmp(head + 8, "VP80", 4) == 0) return Codec::Vp8;
  if (std::memcmp(head + 8, "VP90", 4) == 0) return Codec::Vp9;
  if (std::memcmp(head + 8, "AV01", 4) == 0) return Codec::Av1;
  return Codec::Unknown;
}

// A sequence extension (00 00 01 B5, extension id 1) among the first bytes: MPEG-2.
bool hasSequenceExtension(const uint8_t* p, size_t n) {
  for (size_t i = startCodeAt(p, n, 0); i + 4 < n; i = startCodeAt(p, n, i + 3))
    if (p[i + 3] == 0xB5 && (p[i + 4] >> 4) == 1) return true;
  return false;
}

bool opensWithStartCode(const uint8_t* p, size_t n) {
  return (n >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1) ||
         (n >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1);
}

// The video stream whose first start code that tells a codec lies in `p`.
Codec searchVideo(const uint8_t* p, size_t n) {
  n = std::min(n, kSearchBytes);
  for (size_t i = startCodeAt(p, n, 0); i < n; i = startCodeAt(p, n, i + 3))
    if (const Codec c = codecOfStartCode(p, n, i); c != Codec::Unknown) return c;
  return Codec::Unknown;
}

class PictureSeries {
 public:
  PictureSeries(TrackUnits& track) : track_(track) {}
  void add(const codec::AccessUnit& u) {
    if (open_) take(u.start);
    unit_ = u;
    open_ = true;
  }
  void end(uint64_t fed) {
    if (open_) take(fed);
    open_ = false;
  }

 private:
  // The open unit, now that the next one's cut (or the end) is known.
  void take(uint64_t end) {
    const uint32_t bytes = uint32_t(std::min<uint64_t>(end - unit_.start, UINT32_MAX));
    TimedUnit t{fields_, bytes, unit_.key ? 1u : 0u};
    const std::string_view type = codec::typeName(unit_.type);
    t.type = type.empty() ? 0 : uint8_t(type[0]);
    track_.add(t, unit_.start);
    if (track_.keepPlaces) track_.places.push_back({unit_.start, bytes});
    fields_ += unit_.fields;
  }

  TrackUnits& track_;
  codec::AccessUnit unit_;
  bool open_ = false;
  int64_t fields_ = 0;  // the pictures before, in fields of the frame rate
};

// MPEG-1/2, H.264, HEVC: access units cut at start codes, each timed by the pictures before it.
LoadResult walkStartCodes(InputFile& file, Codec codec, FileAnalysis& out, WalkNotes& notes,
                          LoadControl* control, ElementaryStreamFacts& facts) {
  std::unique_ptr<codec::UnitCutter> cutter = codec::UnitCutter::make(codec);
  if (!cutter) return LoadResult::fail(LoadFailure::NotThisFormat);
  TrackUnits& video = out.videoUnits;
  video.present = true;
  PictureSeries pictures(video);
  std::vector<uint8_t> buffer(size_t(std::min<uint64_t>(file.length(), kChunkBytes)));
  std::vector<codec::AccessUnit> cut;
  ProgressGate gate(control, file.length());
  bool sized = false, rated = false;
  const auto learn = [&] {
    const codec::StreamInfo info = cutter->info();
    if (!sized && info.width > 0 && info.height > 0) {
      facts.video = info;
      sized = true;
    }
    if (!rated && info.rateNum > 0 && info.rateDen > 0) {
      facts.video.rateNum = info.rateNum;
      facts.video.rateDen = info.rateDen;
      rated = true;
    }
  };
  const auto jump = [&](uint64_t from, uint64_t to) {
    cutter->gap(to - from, cut);
    for (const codec::AccessUnit& u : cut) pictures.add(u);
    cut.clear();
    pictures.end(from);
    notes.cutShort = notes.cutShort || to == file.length();
  };
  for (uint64_t pos = 0; pos < file.length();) {
    if (!gate.at(pos)) return LoadResult::fail(LoadFailure::Cancelled, pos);
    // A hole of a sparse file holds no stream: the picture before it ends where it begins, and
    // one that runs to the end is a file that was never written whole.
    if (const uint64_t data = file.dataFrom(pos); data > pos) {
      jump(pos, data);
      pos = data;
      continue;
    }
    const uint64_t until = file.dataUntil(pos);
    const size_t n = size_t(std::min<uint64_t>(buffer.size(), until - pos));
    if (!file.readAt(pos, buffer.data(), n)) return LoadResult::fail(LoadFailure::CouldNotRead, pos);
    // The zeros that fill the last block before a hole belong to the hole.
    size_t fed = n;
    if (pos + n == until && until < file.length())
      while (fed > 0 && buffer[fed - 1] == 0) --fed;
    cutter->feed(buffer.data(), fed, cut);
    for (const codec::AccessUnit& u : cut) pictures.add(u);
    cut.clear();
    pos += n;
    if (fed < n) {
      const uint64_t data = file.dataFrom(pos);
      jump(pos - (n - fed), data);
      pos = data;
    }
    if (!sized || !rated) learn();
  }
  cutter->finish(cut);
  for (const codec::AccessUnit& u : cut) pictures.add(u);
  pictures.end(cutter->fed());
  learn();
  if (video.units.empty()) return LoadResult::fail(LoadFailure::Damaged, 0);
  out.frameWidth = facts.video.width;
  out.frameHeight = facts.video.height;
  if (rated) {
    // A field lasts rateDen / (2 rateNum) seconds.
    video.clock = {facts.video.rateDen, 0, 2 * uint64_t(facts.video.rateNum)};
    out.frameRateMilli =
        int32_t(std::min<uint64_t>(uint64_t(facts.video.rateNum) * 1000 / facts.video.rateDen, INT32_MAX));
  } else {
    video.clock = {1, 0, 50};
    notes.rateAssumed = video.units.size() > 1;
  }
  return LoadResult::success();
}

// VP8/VP9/AV1 in IVF: each frame's data a unit at its time stamp, typed by its first bytes.
LoadResult walkIvf(InputFile& file, Codec codec, FileAnalysis& out, WalkNotes& notes, LoadControl* control,
                   ElementaryStreamFacts& facts) {
  uint8_t h[kIvfHeader];
  if (!file.readAt(0, h, sizeof h)) return LoadResult::fail(LoadFailure::NotThisFormat);
  facts.video.width = readU16le(h + 12);
  facts.video.height = readU16le(h + 14);
  facts.ivfRate = readU32le(h + 16);
  facts.ivfScale = readU32le(h + 20);
  if (facts.ivfRate == 0 || facts.ivfScale == 0) return LoadResult::fail(LoadFailure::Damaged, 16);
  out.frameWidth = facts.video.width;
  out.frameHeight = facts.video.height;
  TrackUnits& video = out.videoUnits;
  video.present = true;
  video.clock = {facts.ivfScale, 0, facts.ivfRate};
  codec::PictureReader reader(codec::TrackCoding{codec, {}, false});
  ProgressGate gate(control, file.length());
  uint64_t pos = readU16le(h + 6);
  while (pos < file.length()) {
    if (!gate.at(pos)) return LoadResult::fail(LoadFailure::Cancelled, pos);
    // Frame headers in a hole are zeros, no frames: stepped over at once, and one that runs to
    // the end is a file that was never written whole.
    if (file.zerosUpToHole(pos)) {
      pos += (file.dataFrom(file.dataUntil(pos)) - pos + kIvfFrameHeader - 1) / kIvfFrameHeader *
             kIvfFrameHeader;
      notes.cutShort = notes.cutShort || !file.contains(pos, kIvfFrameHeader);
      continue;
    }
    const uint8_t* f = file.peek(pos, kIvfFrameHeader);
    if (!f) {
      notes.cutShort = true;
      break;
    }
    const uint32_t size = readU32le(f);
    const int64_t ticks = int64_t(readU64le(f + 4));
    const uint64_t data = pos + kIvfFrameHeader;
    if (!file.contains(data, size)) {
      notes.cutShort = true;
      break;
    }
    TimedUnit unit{ticks, size, 0};
    const codec::PictureReader::Probe probe = reader.probeFile(file, data, size, InputFile::kBufferSize);
    const std::string_view type = codec::typeName(probe.type);
    unit.type = type.empty() ? 0 : uint8_t(type[0]);
    unit.key = probe.key ? 1 : 0;
    video.add(unit, pos);
    if (video.keepPlaces) video.places.push_back({data, size});
    pos = data + size;
  }
  if (file.readFailed()) return LoadResult::fail(LoadFailure::CouldNotRead, pos);
  return LoadResult::success();
}

}  // namespace

ElementaryStreamKind elementaryStreamKind(const uint8_t* head, size_t n) {
  ElementaryStreamKind kind;
  if (es::beginsAsContainer(head, n)) return kind;
  if (n >= 4 && std::memcmp(head, "DKIF", 4) == 0) {
    kind.video = ivfCodec(head, n);
    kind.ivf = kind.video != Codec::Unknown;
    return kind;
  }
  // A stream that opens with a start code is video; else audio is looked for first, as a start
  // code may turn up by chance in a megabyte of audio.
  if (!opensWithStartCode(head, n)) kind.audio = audioStreamInfo(head, n);
  if (!kind.audio) kind.video = searchVideo(head, n);
  if (kind.video == Codec::Mpeg12) kind.mpeg2 = hasSequenceExtension(head, std::min(n, kSearchBytes));
  if (!kind.any() && opensWithStartCode(head, n)) kind.audio = audioStreamInfo(head, n);
  return kind;
}

std::string_view elementaryStreamName(const ElementaryStreamKind& kind) {
  switch (kind.video) {
    case Codec::Mpeg12:
      return kind.mpeg2 ? "MPEG-2 video" : "MPEG-1 video";
    case Codec::Mpeg4Part2:
      return "MPEG-4 Visual";
    case Codec::H264:
      return "H.264";
    case Codec::Hevc:
      return "HEVC";
    case Codec::Vp8:
      return "VP8";
    case Codec::Vp9:
      return "VP9";
    case Codec::Av1:
      return "AV1";
    default:
      return kind.audio ? kind.audio->codec : std::string_view();
  }
}

std::string elementaryStreamName(const std::string& path) {
  InputFile file;
  StreamHead head;
  if (!file.open(path) || !readStreamHead(file, head)) return {};
  return std::string(elementaryStreamName(elementaryStreamKind(head.bytes.data(), head.bytes.size())));
}

bool looksLikeElementaryStream(const uint8_t* head, size_t n) {
  if (ivfCodec(head, n) != Codec::Unknown) return true;
  if (es::beginsAsContainer(head, n)) return false;
  // Tags before the audio may run past the head (cover art): the walk reads beyond them.
  if (es::id3v2TagSize(head, n) > n) return true;
  size_t at = 0;
  if (n >= 4 && head[0] == 0 && head[1] == 0 && head[2] == 0 && head[3] == 1) at = 1;
  if (n >= at + 3 && head[at] == 0 && head[at + 1] == 0 && head[at + 2] == 1) {
    const Codec codec = codecOfStartCode(head, n, at);
    if (codec == Codec::Mpeg12) {
      // Size, a defined aspect ratio and frame rate, and the marker bit.
      if (n < at + 12) return false;
      const uint8_t* s = head + at + 4;
      const uint32_t w = (uint32_t(s[0]) << 4) | (s[1] >> 4), h = ((s[1] & 15u) << 8) | s[2];
      const uint32_t aspect = s[3] >> 4, rate = s[3] & 15;
      return w > 0 && h > 0 && aspect >= 1 && aspect <= 4 && rate >= 1 && rate <= 8 && (s[6] & 0x20);
    }
    return codec != Codec::Unknown;
  }
  return audioStreamInfo(head, n).has_value();
}

LoadResult readElementaryStream(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control,
                                ElementaryStreamFacts& facts) {
  try {
    StreamHead head;
    if (!readStreamHead(file, head)) return LoadResult::fail(LoadFailure::CouldNotRead, head.start);
    if (head.tagsCut)
      facts.kind.audio = AudioStreamInfo{};
    else
      facts.kind = elementaryStreamKind(head.bytes.data(), head.bytes.size());
    if (facts.kind.audio) return walkAudioStream(file, head, out, notes, control);
    if (facts.kind.video == Codec::Unknown) return LoadResult::fail(LoadFailure::NotThisFormat, 0);
    head.bytes = {};
    out.videoCoding.codec = facts.kind.video;
    return facts.kind.ivf ? walkIvf(file, facts.kind.video, out, notes, control, facts)
                          : walkStartCodes(file, facts.kind.video, out, notes, control, facts);
  } catch (const std::bad_alloc&) {
    return LoadResult::fail(LoadFailure::OutOfMemory);
  }
}

LoadResult walkElementaryStream(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  ElementaryStreamFacts facts;
  return readElementaryStream(file, out, notes, control, facts);
}

}  // namespace mv
