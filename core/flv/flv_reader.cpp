#include "flv/flv_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "media/unit_summary.h"
#include "platform/byte_cursor.h"
#include "platform/byte_order.h"

namespace mv {
namespace {

constexpr size_t kHeaderSize = 9;
constexpr size_t kTagHeaderSize = 11;
constexpr size_t kPreviousSizeField = 4;
constexpr uint8_t kTagAudio = 8;
constexpr uint8_t kTagVideo = 9;
constexpr uint8_t kTagScript = 18;
constexpr uint8_t kCodecH263 = 2;
constexpr uint8_t kCodecAvc = 7;
constexpr uint8_t kCodecHevc = 12;
constexpr uint8_t kSoundAac = 10;
constexpr uint8_t kFrameKey = 1;

// AMF0, as far as onMetaData needs it: the first level of its object or ECMA array, numbers,
// booleans and strings kept, everything else passed over.
class Amf {
 public:
  Amf(const uint8_t* p, size_t n) : in_(p, n) {}

  bool string(std::string& out) {
    if (in_.remaining() < 2) return false;
    const size_t n = in_.u16be();
    if (in_.remaining() < n) return false;
    out.assign(reinterpret_cast<const char*>(in_.take(n)), n);
    return true;
  }

  // Properties up to the object end marker (or, for an ECMA array, the end of the data).
  void properties(FlvFile* keep, int depth) {
    std::string name;
    while (string(name)) {
      if (const uint8_t* q = in_.look(1); name.empty() && q && *q == 9) {
        in_.skip(1);
        return;
      }
      if (!value(keep, name, depth)) return;
    }
  }

  bool value(FlvFile* keep, const std::string& name, int depth) {
    if (in_.remaining() == 0 || depth > kMaxDepth) return false;
    const uint8_t type = in_.u8();
    switch (type) {
      case 0: {  // number
        if (in_.remaining() < 8) return false;
        const uint64_t high = in_.u32be();
        const uint64_t bits = (high << 32) | in_.u32be();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (keep) keep->numbers[name] = v;
        return true;
      }
      case 1:  // boolean
        if (in_.remaining() == 0) return false;
        if (const bool on = in_.u8() != 0; keep) keep->numbers[name] = on ? 1 : 0;
        return true;
      case 2: {  // string
        std::string s;
        if (!string(s)) return false;
        if (keep) keep->texts[name] = s;
        return true;
      }
      case 3:  // object
        properties(nullptr, depth + 1);
        return true;
      case 5:  // null
      case 6:  // undefined
        return true;
      case 7:  // reference
        return skip(2);
      case 8:  // ECMA array
        if (!skip(4)) return false;
        properties(nullptr, depth + 1);
        return true;
      case 10: {  // strict array
        if (in_.remaining() < 4) return false;
        uint32_t n = in_.u32be();
        while (n-- > 0)
          if (!value(nullptr, name, depth + 1)) return false;
        return true;
      }
      case 11:  // date
        return skip(10);
      case 12:  // long string
        if (in_.remaining() < 4) return false;
        return skip(in_.u32be());
      default:
        return false;
    }
  }

  // The script data: "onMetaData", then its object or ECMA array.
  void metaData(FlvFile& out) {
    std::string name;
    if (in_.remaining() == 0 || in_.u8() != 2 || !string(name) || name != "onMetaData" ||
        in_.remaining() == 0)
      return;
    const uint8_t type = in_.u8();
    if (type == 8 && !skip(4)) return;
    if (type == 3 || type == 8) properties(&out, 1);
  }

 private:
  static constexpr int kMaxDepth = 16;
  bool skip(uint64_t n) { return in_.skip(n); }
  ByteCursor in_;
};

}  // namespace

LoadResult readFlv(InputFile& file, FlvFile& out, LoadControl* control) {
  uint8_t head[kHeaderSize];
  if (!file.readAt(0, head, sizeof head) || std::memcmp(head, "FLV", 3) != 0) {
    return parseFailure(file.readFailed(), false, 0);
  }
  out.version = head[3];
  out.flags = head[4];
  out.dataOffset = readU32be(head + 5);
  for (TrackUnits* t : {&out.video, &out.audio}) t->clock = {1, 0, 1000};
  ProgressGate gate(control, file.length());
  bool metaSeen = false;
  uint64_t pos = uint64_t(std::max<uint32_t>(out.dataOffset, kHeaderSize)) + kPreviousSizeField;
  // Where the run of tags of no FLV type began: the walk has lost its way there. A hole reads
  // as such tags, of no size.
  uint64_t lostFrom = UINT64_MAX;
  const bool keepPlaces = out.video.keepPlaces;
  StampJoin join(out.video.clock, 0);
  join.attach(0, out.video.jumps, out.video.units, out.video.stamps);
  join.attach(1, out.audio.jumps, out.audio.units, out.audio.stamps);
  try {
    while (file.contains(pos, kTagHeaderSize)) {
      if (!gate.at(pos)) return LoadResult::fail(LoadFailure::Cancelled, pos);
      const uint8_t* h = file.peek(pos, kTagHeaderSize);
      if (!h) break;
      const uint8_t type = h[0] & 0x1F;
      const uint32_t size = (uint32_t(h[1]) << 16) | (uint32_t(h[2]) << 8) | h[3];
      const int32_t stamp =
          int32_t((uint32_t(h[7]) << 24) | (uint32_t(h[4]) << 16) | (uint32_t(h[5]) << 8) | h[6]);
      if (type == kTagAudio || type == kTagVideo || type == kTagScript) {
        lostFrom = UINT64_MAX;
      } else {
        if (lostFrom == UINT64_MAX) lostFrom = pos;
        if (pos - lostFrom >= kResyncLimit) {
          out.cutShort = true;
          break;
        }
        constexpr uint64_t kEmptyTag = kTagHeaderSize + kPreviousSizeField;
        if (const uint64_t n = file.recordsInHole(pos, kTagHeaderSize, kEmptyTag, lostFrom + kResyncLimit)) {
          out.tags += n;
          pos += n * kEmptyTag;
          continue;
        }
      }
      const uint64_t data = pos + kTagHeaderSize;
      if (!file.contains(data, size)) {  // a tag cut by the end of the file is left out
        out.cutShort = true;
        break;
      }
      ++out.tags;
      if (type == kTagVideo && size >= 1) {
        const uint8_t* d = file.peek(data, size >= 2 ? 2 : 1);
        if (!d) break;
        const uint8_t codec = d[0] & 0x0F;
        const bool avc = codec == kCodecAvc || codec == kCodecHevc;
        out.video.present = true;
        if (avc && size > 5 && d[1] == 0 && out.videoConfig.empty()) {
          out.videoConfig.resize(size - 5);
          if (!file.readAt(data + 5, out.videoConfig.data(), size - 5)) break;
        }
        if (avc && size > 5 && d[1] == 0 && out.coded.width == 0) {
          const size_t n = std::min<size_t>(size - 5, InputFile::kBufferSize);
          if (const uint8_t* config = file.peek(data + 5, n)) {
            if (codec == kCodecAvc)
              pictureSizeInAvcConfig(config, n, out.coded);
            else
              pictureSizeInHevcConfig(config, n, out.coded);
          }
        }
        // Sequence headers and end-of-sequence markers carry no frame.
        if (!(avc && (size < 5 || d[1] == 0 || d[1] == 2))) {
          if (out.videoCodec < 0) out.videoCodec = codec;
          const uint32_t header = avc ? 5u : 1u;
          join.add(0, {stamp, size - header, (d[0] >> 4) == kFrameKey ? 1u : 0u}, pos + 4);
          if (keepPlaces) out.video.places.push_back({data + header, size - header});
        }
      } else if (type == kTagAudio && size >= 1) {
        const uint8_t* d = file.peek(data, size >= 2 ? 2 : 1);
        if (!d) break;
        const bool aac = (d[0] >> 4) == kSoundAac;
        out.audio.present = true;
        // The AAC AudioSpecificConfig carries no frame.
        if (!(aac && (size < 2 || d[1] == 0))) {
          if (out.audioFormat < 0) out.audioFormat = d[0];
          // An AAC frame holds 1024 samples, an MP3 frame 1152, at the tag's rate.
          if (out.audio.jumps.unitTicks == 0) {
            static constexpr int64_t kRates[] = {5512, 11025, 22050, 44100};
            const int format = d[0] >> 4;
            if (aac || format == 2)
              out.audio.jumps.unitTicks = (aac ? 1024000 : 1152000) / kRates[(d[0] >> 2) & 3];
          }
          join.add(1, {stamp, size - (aac ? 2u : 1u), 1}, pos + 4);
        }
      } else if (type == kTagScript && !metaSeen) {
        std::vector<uint8_t> script(size);
        if (!file.readAt(data, script.data(), size)) break;
        Amf(script.data(), size).metaData(out);
        metaSeen = !out.numbers.empty() || !out.texts.empty();
        if (const auto rate = out.numbers.find("framerate");
            rate != out.numbers.end() && rate->second >= 1 && rate->second <= 1000)
          out.video.jumps.unitTicks = int64_t(1000 / rate->second + 0.5);
      }
      // The previous-tag-size field after the data is not checked: writers get it wrong.
      pos = data + size + kPreviousSizeField;
    }
  } catch (const std::bad_alloc&) {
    return LoadResult::fail(LoadFailure::OutOfMemory, pos);
  }
  join.finish();
  if (file.readFailed()) return LoadResult::fail(LoadFailure::CouldNotRead, pos);
  return LoadResult::success();
}

LoadResult walkFlv(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  FlvFile flv;
  flv.video.keepPlaces = out.videoUnits.keepPlaces;
  if (const LoadResult r = readFlv(file, flv, control); !r.ok()) return r;
  const auto number = [&](const char* name) {
    const auto it = flv.numbers.find(name);
    return it == flv.numbers.end() ? 0.0 : it->second;
  };
  const auto clampInt = [](double v) { return v > 0 && v < 2147483647.0 ? int32_t(v) : 0; };
  // onMetaData's size where the writer gave one, else the AVC/HEVC sequence header's.
  const bool declaredSize = clampInt(number("width")) > 0 && clampInt(number("height")) > 0;
  out.frameWidth = declaredSize ? clampInt(number("width")) : flv.coded.width;
  out.frameHeight = declaredSize ? clampInt(number("height")) : flv.coded.height;
  out.frameRateMilli = clampInt(number("framerate") * 1000);
  notes.cutShort = flv.cutShort;
  out.videoCoding.codec = flv.videoCodec == kCodecH263   ? codec::Codec::Flv1
                          : flv.videoCodec == kCodecAvc  ? codec::Codec::H264
                          : flv.videoCodec == kCodecHevc ? codec::Codec::Hevc
                                                         : codec::Codec::Unknown;
  if (out.videoCoding.codec == codec::Codec::H264 || out.videoCoding.codec == codec::Codec::Hevc) {
    out.videoCoding.config = std::move(flv.videoConfig);
    out.videoCoding.lengthPrefixed = true;
  }
  const auto addTrack = [&](TrackKind kind, uint8_t id, const char* name, int value,
                            const TrackUnits& units) {
    Track t;
    t.kind = kind;
    t.id = id;
    // A track of sequence headers only names no codec: its frames' byte does.
    if (value >= 0)
      t.codec =
          *name ? name : (kind == TrackKind::Video ? "CodecID " : "SoundFormat ") + std::to_string(value);
    const UnitSummary s = summarize(units);
    t.unitCount = units.unitCount();
    t.bytes = s.bytes;
    if (kind == TrackKind::Video) {
      t.frameWidth = out.frameWidth;
      t.frameHeight = out.frameHeight;
      t.frameRateMilli = out.frameRateMilli;
      t.coding = out.videoCoding;
    }
    out.tracks.push_back(std::move(t));
    return int(out.tracks.size() - 1);
  };
  if (flv.video.present)
    out.videoTrack = out.defaultVideo =
        addTrack(TrackKind::Video, kTagVideo, flvVideoCodecName(flv.videoCodec), flv.videoCodec, flv.video);
  if (flv.audio.present) {
    const int format = flv.audioFormat < 0 ? -1 : flv.audioFormat >> 4;
    out.audioTrack = out.defaultAudio =
        addTrack(TrackKind::Audio, kTagAudio, flvSoundFormatName(format), format, flv.audio);
  }
  out.videoUnits = std::move(flv.video);
  out.audioUnits = std::move(flv.audio);
  return LoadResult::success();
}

const char* flvVideoCodecName(int id) {
  switch (id) {
    case 1:
      return "JPEG";
    case 2:
      return "Sorenson H.263";
    case 3:
      return "Screen Video";
    case 4:
      return "On2 VP6";
    case 5:
      return "On2 VP6 (alpha)";
    case 6:
      return "Screen Video 2";
    case 7:
      return "H.264/AVC";
    case 12:
      return "H.265/HEVC";
    default:
      return "";
  }
}

const char* flvSoundFormatName(int format) {
  switch (format) {
    case 0:
      return "PCM";
    case 1:
      return "ADPCM";
    case 2:
      return "MP3";
    case 3:
      return "PCM (little-endian)";
    case 4:
      return "Nellymoser 16 kHz";
    case 5:
      return "Nellymoser 8 kHz";
    case 6:
      return "Nellymoser";
    case 7:
      return "G.711 A-law";
    case 8:
      return "G.711 mu-law";
    case 10:
      return "AAC";
    case 11:
      return "Speex";
    case 14:
      return "MP3 8 kHz";
    case 15:
      return "Device-specific";
    default:
      return "";
  }
}

bool looksLikeFlv(const uint8_t* head, size_t n) {
  return n >= kHeaderSize && std::memcmp(head, "FLV", 3) == 0 && head[3] == 1 &&
         readU32be(head + 5) >= kHeaderSize;
}

}  // namespace mv
