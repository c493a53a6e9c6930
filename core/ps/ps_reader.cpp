#include "ps/ps_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <utility>

#include "codec/pes_pictures.h"
#include "media/mpeg_timestamps.h"
#include "platform/byte_cursor.h"
#include "platform/byte_order.h"

namespace mv {
namespace {

constexpr uint8_t kPack = 0xBA;
constexpr uint8_t kEndCode = 0xB9;
constexpr uint8_t kPrivate1 = 0xBD;
constexpr uint8_t kPadding = 0xBE;
// The longest PES header either syntax writes, and the sub-stream id after it.
constexpr size_t kHeadKeep = 9 + 255 + 1;
constexpr size_t kSequenceKeep = 64 * 1024;
// How far into a video PES a sequence or GOP header marks it key.
constexpr size_t kKeyScan = 256;
// The opening of a video PES searched for the start code that tells its codec, and how many
// PES packets are searched.
constexpr size_t kCodecScan = 4096;
constexpr int kCodecTries = 16;
// VCD sectors: sync, header and subheader before the user data.
constexpr uint64_t kSector = 2352;
constexpr uint64_t kSectorHead = 24;
constexpr uint64_t kSubmodeAt = 18;
constexpr uint8_t kForm2 = 0x20;
constexpr uint32_t kForm1User = 2048;
constexpr uint32_t kForm2User = 2324;

bool videoId(uint8_t id) { return id >= 0xE0 && id <= 0xEF; }
bool audioId(uint8_t id) { return id >= 0xC0 && id <= 0xDF; }
bool audioSubId(int sub) { return sub >= 0x80 && sub <= 0xCF; }

// The codec of a video stream (stream ids E0–EF hold any MPEG video) by the first of its start
// codes that tells one; Unknown when none does.
codec::Codec codecOfStream(const uint8_t* p, size_t n) {
  using codec::Codec;
  int previous = -1;
  for (size_t i = 0; i + 4 < n; ++i) {
    if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1) continue;
    const uint8_t c = p[i + 3], next = p[i + 4];
    if (c == 0xB3 || c == 0xB8) return Codec::Mpeg12;  // sequence or GOP header
    // A visual object sequence, or a video object layer after its video object.
    if (c == 0xB0 || (c >= 0x20 && c <= 0x2F && previous >= 0 && previous <= 0x1F)) return Codec::Mpeg4Part2;
    if ((c == 0x09 && (next & 0x1F) == 0x10) || (c & 0x9F) == 0x07) return Codec::H264;  // AUD, SPS
    if ((c == 0x40 || c == 0x42 || c == 0x46) && next == 0x01) return Codec::Hevc;       // VPS, SPS, AUD
    previous = c;
  }
  return Codec::Unknown;
}

// The program stream as one run of bytes: the file itself, or the user data of a VCD's sectors
// laid end to end. Sectors are mapped as the walk reaches them, so the file is read once.
class PsBytes {
 public:
  explicit PsBytes(InputFile& file) : file_(file), in_(cursorOver(&file)) {}

  // Takes the sectors of a RIFF "CDXA" file's data chunk; false for any other file.
  bool openSectors() {
    uint8_t riff[12];
    if (!file_.readAt(0, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "CDXA", 4) != 0)
      return false;
    for (uint64_t pos = 12; file_.contains(pos, 8);) {
      uint8_t chunk[8];
      if (!file_.readAt(pos, chunk, 8)) return false;
      const uint64_t size = readU32le(chunk + 4);
      if (std::memcmp(chunk, "data", 4) == 0) {
        sectors_ = true;
        dataStart_ = pos + 8;
        dataEnd_ = std::min(file_.length(), dataStart_ + size);
        starts_.assign(1, 0);
        return true;
      }
      pos += 8 + size + (size & 1);
    }
    return false;
  }

  bool vcd() const { return sectors_; }
  uint64_t form1() const { return form1_; }
  uint64_t form2() const { return form2_; }

  // Up to `want` bytes at `pos` that lie together; null at the end. Valid until the next read.
  const uint8_t* span(uint64_t pos, size_t want, size_t& got) {
    want = std::min(want, InputFile::kBufferSize);
    if (!sectors_) {
      if (pos >= file_.length()) return nullptr;
      got = size_t(std::min<uint64_t>(want, file_.length() - pos));
      return in_.at(pos, got);
    }
    size_t k;
    if (!locate(pos, k)) return nullptr;
    got = size_t(std::min<uint64_t>(want, starts_[k + 1] - pos));
    return in_.at(dataStart_ + k * kSector + kSectorHead + (pos - starts_[k]), got);
  }

  // Exactly n bytes at pos into dst; false when they are not all there.
  bool read(uint64_t pos, uint8_t* dst, size_t n) {
    while (n > 0) {
      size_t got = 0;
      const uint8_t* s = span(pos, n, got);
      if (!s) return false;
      std::memcpy(dst, s, got);
      dst += got;
      pos += got;
      n -= got;
    }
    return true;
  }

  // [pos, pos + n) lies in the stream.
  bool has(uint64_t pos, uint64_t n) {
    if (n == 0) return true;
    if (!sectors_) return file_.contains(pos, n);
    size_t k;
    return pos <= UINT64_MAX - n && locate(pos + n - 1, k);
  }

 private:
  bool locate(uint64_t pos, size_t& k) {
    while (pos >= starts_.back() && !allMapped_) mapNext();
    if (pos >= starts_.back()) return false;
    k = size_t(std::upper_bound(starts_.begin(), starts_.end(), pos) - starts_.begin()) - 1;
    return true;
  }

  void mapNext() {
    const uint64_t at = dataStart_ + (starts_.size() - 1) * kSector;
    if (at + kSectorHead >= dataEnd_) {
      allMapped_ = true;
      return;
    }
    const uint8_t* submode = in_.at(at + kSubmodeAt, 1);
    if (!submode) {
      allMapped_ = true;
      return;
    }
    const bool form2 = (*submode & kForm2) != 0;
    ++(form2 ? form2_ : form1_);
    const uint64_t user = std::min<uint64_t>(form2 ? kForm2User : kForm1User, dataEnd_ - at - kSectorHead);
    starts_.push_back(starts_.back() + user);
  }

  InputFile& file_;
  ByteCursor in_;  // the whole file
  bool sectors_ = false;
  bool allMapped_ = false;
  uint64_t dataStart_ = 0;
  uint64_t dataEnd_ = 0;
  uint64_t form1_ = 0, form2_ = 0;
  std::vector<uint64_t> starts_;  // stream position of each mapped sector's user data, and the end
};

// What the walk reads of a video stream's PES payloads: its codec, picture size and pictures
// (or, opening a file, only its declared rate).
struct PsVideo {
  PictureSize coded;
  std::vector<uint8_t> sequence;
  codec::TrackCoding coding;                     // told by its first start codes
  std::unique_ptr<codec::PesPictures> pictures;  // once the codec is known, when it is cut
  int codecTries = 0;
};

// One stream as the walk fills it.
struct StreamState {
  bool kept = false;  // video and audio: its units are kept
  StampLine stamp;
  TrackUnits units;
  uint64_t unitCount = 0, unitBytes = 0;
  std::unique_ptr<PsVideo> video;
};

class Walker {
 public:
  Walker(InputFile& file, PsFile& out) : file_(file), bytes_(file), out_(out) { slot_.fill(-1); }
  LoadResult run(LoadControl* control);

 private:
  bool nextStartCode(uint64_t pos, uint64_t& found);
  void pes(uint64_t pos, uint8_t id, uint64_t total);
  void videoPayload(PsVideo& v, uint64_t pos, uint64_t n, TimedUnit& unit);
  // The video PES payload of `n` bytes at `pos` to its pictures; `cut` asks for them, not only
  // for the rate.
  void feedPictures(StreamState& s, uint64_t pos, uint64_t n, bool stamped, bool cut);
  void choose();

  InputFile& file_;
  PsBytes bytes_;
  PsFile& out_;
  std::array<int16_t, 512> slot_;                 // stream id, or 256 + sub-stream id → index into streams
  std::deque<StreamState> states_;                // of out_.streams; in place, as join_ holds their units
  StampJoin join_{kMpegClock, int64_t(1) << 33};  // of the counted video and audio streams
  std::vector<uint8_t> payload_;
  PsVideo* chosenVideo_ = nullptr;
};

// The next 00 00 01 xx with xx at least B9 (pack, end code, system header or PES) from `pos`;
// false at the end, or when none lies within kResyncLimit bytes (the walk then counts as cut).
// A hole of the file is jumped as the zeros it reads as, so a start code whose zeros lie in it
// is still found.
bool Walker::nextStartCode(uint64_t pos, uint64_t& found) {
  const uint64_t limit = pos + kResyncLimit;
  int zeros = 0;
  bool prefix = false;
  for (;;) {
    if (!bytes_.vcd()) {
      const uint64_t data = file_.dataFrom(pos);
      if (data > pos) {
        zeros = int(std::min<uint64_t>(uint64_t(zeros) + (data - pos), 2));
        prefix = false;
        pos = data;
      }
    }
    if (pos >= limit) {
      out_.cutShort = true;
      return false;
    }
    size_t got = 0;
    const uint8_t* s = bytes_.span(pos, size_t(std::min<uint64_t>(InputFile::kBufferSize, limit - pos)), got);
    if (!s) return false;
    for (size_t i = 0; i < got; ++i) {
      const uint8_t b = s[i];
      if (prefix && b >= kEndCode) {
        found = pos + i - 3;
        return true;
      }
      prefix = b == 1 && zeros >= 2;
      zeros = b == 0 ? std::min(zeros + 1, 2) : 0;
    }
    pos += got;
  }
}

void Walker::pes(uint64_t pos, uint8_t id, uint64_t total) {
  uint8_t h[kHeadKeep];
  const size_t kept = size_t(std::min<uint64_t>(total, kHeadKeep));
  if (!bytes_.read(pos, h, kept)) return;
  // The header: MPEG-2 syntax after its '10' marker, else MPEG-1's stuffing, STD buffer and stamps.
  size_t end = 6;
  bool stamped = false;
  uint64_t raw = 0;
  while (end < kept && h[end] == 0xFF) ++end;
  if (end < kept && (h[end] & 0xC0) == 0x40) end += 2;
  if (end >= kept) return;
  const uint8_t c = h[end];
  if ((c & 0xC0) == 0x80) {
    if (end + 3 > kept) return;
    stamped = mpeg2PesStamp(h + end, kept - end, raw);
    end += 3 + size_t(h[end + 2]);
  } else if ((c & 0xF0) == 0x20 || (c & 0xF0) == 0x30) {
    const bool both = (c & 0xF0) == 0x30;
    if (end + (both ? 10 : 5) > kept) return;
    raw = stampAt(h + end + (both ? 5 : 0));
    stamped = true;
    end += both ? 10 : 5;
  } else if (c == 0x0F) {
    end += 1;
  } else {
    return;  // no PES header of either kind
  }
  if (end > total) return;
  int sub = -1;
  if (id == kPrivate1) {
    if (end >= kept) return;  // no room for the sub-stream id
    sub = h[end];
  }
  int16_t& index = slot_[sub < 0 ? id : 256 + sub];
  if (index < 0) {
    index = int16_t(out_.streams.size());
    PsStream s;
    s.streamId = id;
    s.subId = int16_t(sub);
    out_.streams.push_back(s);
    StreamState& state = states_.emplace_back();
    state.kept = videoId(id) || audioId(id) || audioSubId(sub);
    state.units.clock = kMpegClock;
    if (videoId(id)) state.video = std::make_unique<PsVideo>();
    if (videoId(id) && out_.videoIndex < 0) out_.videoIndex = index;
    if ((audioId(id) || audioSubId(sub)) && out_.audioIndex < 0) out_.audioIndex = index;
  }
  const uint64_t bytes = total - end;
  PsStream& s = out_.streams[size_t(index)];
  ++s.pesPackets;
  s.bytes += bytes;
  StreamState& state = states_[size_t(index)];
  // The time stamp: DTS, else PTS, else the one before.
  if (stamped) state.stamp.take(raw);
  TimedUnit unit{state.stamp.last, uint32_t(bytes), state.video ? 0u : 1u};
  if (state.video) {
    videoPayload(*state.video, pos + end, bytes, unit);
    // Opening a file cuts none; a frame list the first video, or every one when it asks for
    // other tracks than the default ones.
    feedPictures(state, pos + end, bytes, stamped,
                 out_.cutPictures && (index == out_.videoIndex || out_.askedVideo != kDefaultTrack));
  }
  if (!state.stamp.any) return;
  ++state.unitCount;
  state.unitBytes += unit.bytes;
  if (!state.kept) return;
  if (state.video && state.video->pictures && state.units.jumps.unitTicks == 0)
    state.units.jumps.unitTicks = state.video->pictures->frameTicks();
  // The counted streams: the first video and audio, or those asked for (tracks are numbered
  // as the streams appear).
  const int asked[2] = {out_.askedVideo, out_.askedAudio};
  const int found[2] = {out_.videoIndex, out_.audioIndex};
  int side = -1;
  for (int k = 0; k < 2; ++k)
    if (index == (asked[k] != kDefaultTrack ? asked[k] : found[k])) side = k;
  TrackUnits& u = state.units;
  if (side < 0) {
    StampJoin::addAlone(u.jumps, u.units, u.stamps, unit, pos, kMpegClock);
    return;
  }
  if (!join_.attached(side)) join_.attach(side, u.jumps, u.units, u.stamps);
  join_.add(side, unit, pos);
}

void Walker::feedPictures(StreamState& s, uint64_t pos, uint64_t n, bool stamped, bool cut) {
  PsVideo& v = *s.video;
  if (!v.pictures) {
    if (v.coding.codec != codec::Codec::Unknown || v.codecTries >= kCodecTries) return;
    ++v.codecTries;
    payload_.resize(size_t(std::min<uint64_t>(n, kCodecScan)));
    if (!bytes_.read(pos, payload_.data(), payload_.size())) return;
    v.coding.codec = codecOfStream(payload_.data(), payload_.size());
    if (v.coding.codec == codec::Codec::Unknown) return;
    v.pictures = std::make_unique<codec::PesPictures>(v.coding.codec, !cut);
    if (!v.pictures->cuts()) {
      v.pictures.reset();
      return;
    }
  }
  if (v.pictures->done()) return;
  v.pictures->beginPes(stamped, s.stamp.last, s.units.units.size());
  while (n > 0) {
    size_t got = 0;
    const uint8_t* p = bytes_.span(pos, size_t(std::min<uint64_t>(n, InputFile::kBufferSize)), got);
    if (!p || got == 0) return;
    v.pictures->payload(p, got);
    pos += got;
    n -= got;
  }
}

// A video PES is key when it opens with a sequence or group of pictures header (aligned
// muxers, DVDs among them, start a PES with it; looking only there keeps the walk near the
// speed of reading); the first ones also give the picture size.
void Walker::videoPayload(PsVideo& v, uint64_t pos, uint64_t n, TimedUnit& unit) {
  const bool needSize = v.coded.width == 0 && v.sequence.size() < kSequenceKeep;
  payload_.resize(size_t(needSize ? n : std::min<uint64_t>(n, kKeyScan)));
  if (!bytes_.read(pos, payload_.data(), payload_.size())) return;
  for (size_t i = 0; i + 3 < std::min(payload_.size(), kKeyScan); ++i) {
    const uint8_t* p =
        static_cast<const uint8_t*>(std::memchr(payload_.data() + i, 1, payload_.size() - i - 1));
    if (!p) break;
    i = size_t(p - payload_.data());
    if (i >= 2 && p[-1] == 0 && p[-2] == 0 && (p[1] == 0xB3 || p[1] == 0xB8)) {
      unit.key = 1;
      break;
    }
  }
  if (!needSize) return;
  v.sequence.insert(v.sequence.end(), payload_.begin(),
                    payload_.begin() + long(std::min(payload_.size(), kSequenceKeep - v.sequence.size())));
  for (VideoSyntax syntax :
       {VideoSyntax::Mpeg12, VideoSyntax::Mpeg4Part2, VideoSyntax::H264, VideoSyntax::H265}) {
    PictureSize size;
    if (pictureSizeInStream(syntax, v.sequence.data(), v.sequence.size(), size) && size.width > 0 &&
        size.height > 0) {
      v.coded = size;
      // The sequence header as the payload holds it: the codec record that tells the declared
      // bit rate and buffer.
      if (syntax == VideoSyntax::Mpeg12)
        v.coding.config = mpeg12SequenceRecord(v.sequence.data(), v.sequence.size());
      v.sequence.clear();
      v.sequence.shrink_to_fit();
      return;
    }
  }
}

void Walker::choose() {
  std::vector<Track>& tracks = out_.tracks;
  for (size_t i = 0; i < out_.streams.size(); ++i) {
    const PsStream& s = out_.streams[i];
    StreamState& state = states_[i];
    Track t;
    const int sub = s.subId;
    t.kind = videoId(s.streamId)                      ? TrackKind::Video
             : audioId(s.streamId) || audioSubId(sub) ? TrackKind::Audio
             : sub >= 0x20 && sub <= 0x3F             ? TrackKind::Subtitle
                                                      : TrackKind::Other;
    t.codec = psStreamKind(s);
    t.id = sub < 0 ? s.streamId : 0xBD00u | unsigned(sub);
    if (const PsVideo* v = state.video.get()) {
      t.frameWidth = v->coded.width;
      t.frameHeight = v->coded.height;
      t.frameRateMilli = v->pictures ? v->pictures->declaredRateMilli() : 0;
      t.coding = v->coding;
    }
    t.unitCount = state.unitCount;
    t.bytes = state.unitBytes;
    if (state.kept) {
      t.units = std::move(state.units);
      t.units.present = true;
      t.units.clock = kMpegClock;
    }
    tracks.push_back(std::move(t));
  }
  out_.defaultVideo = out_.videoIndex;
  out_.defaultAudio = out_.audioIndex;
  out_.videoTrack = askedOr(tracks, out_.askedVideo, out_.defaultVideo, TrackKind::Video);
  out_.audioTrack = askedOr(tracks, out_.askedAudio, out_.defaultAudio, TrackKind::Audio);
  if (out_.videoTrack >= 0) {
    out_.video = std::exchange(tracks[size_t(out_.videoTrack)].units, TrackUnits());
    chosenVideo_ = states_[size_t(out_.videoTrack)].video.get();
    out_.coded = chosenVideo_->coded;
    out_.coding = chosenVideo_->coding;
  }
  if (out_.audioTrack >= 0) out_.audio = std::exchange(tracks[size_t(out_.audioTrack)].units, TrackUnits());
  putOnOneClock(out_.video, out_.audio);
}

LoadResult Walker::run(LoadControl* control) {
  for (TrackUnits* t : {&out_.video, &out_.audio}) t->clock = kMpegClock;
  out_.vcd = bytes_.openSectors();
  uint8_t head[14];
  if (!bytes_.read(0, head, 4) || head[0] != 0 || head[1] != 0 || head[2] != 1 || head[3] != kPack)
    return parseFailure(file_.readFailed(), false, 0);
  ProgressGate gate(control, file_.length());
  uint64_t pos = 0;
  for (;;) {
    if (!gate.at(pos)) return LoadResult::fail(LoadFailure::Cancelled, pos);
    if (!bytes_.read(pos, head, 4)) break;
    if (head[0] != 0 || head[1] != 0 || head[2] != 1 || head[3] < kEndCode) {
      uint64_t next;
      const bool found = nextStartCode(pos, next);
      if (!found) break;
      out_.skippedBytes += next - pos;
      pos = next;
      continue;
    }
    const uint8_t id = head[3];
    if (id == kEndCode) {
      pos += 4;
      continue;
    }
    if (id == kPack) {
      uint64_t length = 0;
      int syntax = 0;
      uint32_t rate = 0;
      if (!bytes_.read(pos, head, 5)) {
        out_.cutShort = true;
        break;
      }
      if ((head[4] >> 6) == 1) {
        if (!bytes_.read(pos, head, 14)) {
          out_.cutShort = true;
          break;
        }
        syntax = 2;
        length = 14 + (head[13] & 7);
        rate = (uint32_t(head[10]) << 14) | (uint32_t(head[11]) << 6) | (head[12] >> 2);
      } else if ((head[4] >> 4) == 2) {
        if (!bytes_.read(pos, head, 12)) {
          out_.cutShort = true;
          break;
        }
        syntax = 1;
        length = 12;
        rate = (uint32_t(head[9] & 0x7F) << 15) | (uint32_t(head[10]) << 7) | (head[11] >> 1);
      } else {
        pos += 4;  // no pack after all: looked for again from here
        continue;
      }
      if (!bytes_.has(pos, length)) {
        out_.cutShort = true;
        break;
      }
      if (out_.packs++ == 0) {
        out_.packSyntax = syntax;
        out_.muxRate = rate;
      }
      pos += length;
      continue;
    }
    // Everything else carries its length.
    if (!bytes_.read(pos, head, 6)) {
      out_.cutShort = true;
      break;
    }
    const uint64_t total = 6 + uint64_t(readU16be(head + 4));
    if (!bytes_.has(pos, total)) {  // cut by the end of the file: left out
      out_.cutShort = true;
      break;
    }
    if (videoId(id) || audioId(id) || id == kPrivate1) {
      pes(pos, id, total);
    } else {
      ++(id == kPadding ? out_.paddingPackets : out_.otherPackets);
    }
    pos += total;
  }
  if (file_.readFailed()) return LoadResult::fail(LoadFailure::CouldNotRead, pos);
  out_.form1Sectors = bytes_.form1();
  out_.form2Sectors = bytes_.form2();
  join_.finish();
  choose();
  if (chosenVideo_ && chosenVideo_->pictures) {
    const codec::PesPictures::Result r = chosenVideo_->pictures->finish(out_.pictures, out_.video.jumps);
    out_.pictures.present = r.any;
    out_.frameRateMilli = r.frameRateMilli;
    out_.rateAssumed = r.rateAssumed;
  }
  return LoadResult::success();
}

}  // namespace

const char* psStreamKind(const PsStream& s) {
  if (s.subId >= 0) {
    const int sub = s.subId;
    if (sub >= 0x20 && sub <= 0x3F) return "subpicture";
    if (sub >= 0x80 && sub <= 0x87) return "AC-3";
    if (sub >= 0x88 && sub <= 0x8F) return "DTS";
    if (sub >= 0x90 && sub <= 0x9F) return "SDDS";
    if (sub >= 0xA0 && sub <= 0xAF) return "LPCM";
    if (sub >= 0xB0 && sub <= 0xBF) return "MLP/TrueHD";
    if (sub >= 0xC0 && sub <= 0xCF) return "E-AC-3";
    return "private";
  }
  if (videoId(s.streamId)) return "MPEG video";
  if (audioId(s.streamId)) return "MPEG audio";
  return "";
}

LoadResult readPs(InputFile& file, PsFile& out, LoadControl* control) {
  try {
    Walker walker(file, out);
    return walker.run(control);
  } catch (const std::bad_alloc&) {
    return LoadResult::fail(LoadFailure::OutOfMemory);
  }
}

LoadResult walkPs(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  PsFile ps;
  // Pictures are cut when a frame list asks for them; opening reads the series only.
  ps.cutPictures = out.videoUnits.keepPlaces;
  ps.askedVideo = out.askedVideo;
  ps.askedAudio = out.askedAudio;
  if (const LoadResult r = readPs(file, ps, control); !r.ok()) return r;
  notes.cutShort = ps.cutShort;
  out.tracks = std::move(ps.tracks);
  out.videoTrack = ps.videoTrack;
  out.audioTrack = ps.audioTrack;
  out.defaultVideo = ps.defaultVideo;
  out.defaultAudio = ps.defaultAudio;
  out.frameWidth = ps.coded.width;
  out.frameHeight = ps.coded.height;
  out.videoCoding = std::move(ps.coding);
  out.videoUnits = std::move(ps.video);
  out.audioUnits = std::move(ps.audio);
  return codec::takePictures(ps.pictures, ps.frameRateMilli, ps.rateAssumed, out, notes);
}

bool looksLikeProgramStream(const uint8_t* head, size_t n) {
  if (n >= 12 && std::memcmp(head, "RIFF", 4) == 0) return std::memcmp(head + 8, "CDXA", 4) == 0;
  if (n < 14 || head[0] != 0 || head[1] != 0 || head[2] != 1 || head[3] != kPack) return false;
  // The marker bits of the system clock reference: '0010' and three 1s (MPEG-1), '01' and
  // four 1s (MPEG-2).
  if ((head[4] & 0xF1) == 0x21) return (head[6] & 1) && (head[8] & 1) && (head[9] & 0x80) && (head[11] & 1);
  return (head[4] & 0xC4) == 0x44 && (head[6] & 4) && (head[8] & 4) && (head[9] & 1) && (head[12] & 3) == 3;
}

}  // namespace mv
