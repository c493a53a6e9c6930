#include "ts/ts_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "codec/pes_pictures.h"
#include "media/mpeg_timestamps.h"
#include "platform/byte_order.h"

namespace mv {
namespace {

constexpr size_t kPacket = 188;
constexpr uint8_t kSync = 0x47;
constexpr uint16_t kPatPid = 0;
constexpr uint16_t kNullPid = 0x1FFF;
constexpr size_t kPidCount = 8192;
constexpr int kRunCheck = 4;
constexpr int kRunMinimum = 2;
constexpr uint32_t kPacketSizes[] = {188, 192, 204};
// Packets in a row that make the first bytes of a file a transport stream.
constexpr size_t kRunInHead = 5;
// A PES header is at most 9 + 255 bytes; two payload bytes more tell private data's sync word.
constexpr size_t kHeadKeep = 9 + 255 + 2;
// Sequence headers open the payload of the PES that carries them.
constexpr size_t kSequenceKeep = 64 * 1024;
// The opening of a video PES payload searched for its first picture: enough for the parameter
// sets and SEI an encoder puts before it.
constexpr size_t kPictureScan = 4096;

uint8_t syncWordOf(const uint8_t* p, size_t n) {
  if (n < 2) return kSyncOther;
  if (p[0] == 0xFF && (p[1] & 0xF6) == 0xF0) return kSyncAdts;
  if (p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && (p[1] & 0x06) != 0) return kSyncMpegAudio;
  if (p[0] == 0x0B && p[1] == 0x77) return kSyncAc3;
  if (((unsigned(p[0]) << 3) | (p[1] >> 5)) == 0x2B7) return kSyncLatm;
  return kSyncOther;
}

enum class PictureSyntax { None, Mpeg12, H264, H265 };

enum class Role : uint8_t { Other, Video, Audio };
// What a stream type's data is to the walk: its picture size is read where `sizeFrom` names
// a syntax; `keyFrom`, where a PES's first picture tells a key frame.
struct StreamType {
  uint8_t type;
  const char* name;
  Role role;
  std::optional<VideoSyntax> sizeFrom;
  PictureSyntax keyFrom;
  codec::Codec codec = codec::Codec::Unknown;
};

constexpr auto V = Role::Video, A = Role::Audio, O = Role::Other;
constexpr auto kNoKey = PictureSyntax::None;
constexpr StreamType kStreamTypes[] = {
    {0x01, "MPEG-1 Video", V, VideoSyntax::Mpeg12, PictureSyntax::Mpeg12, codec::Codec::Mpeg12},
    {0x02, "MPEG-2 Video", V, VideoSyntax::Mpeg12, PictureSyntax::Mpeg12, codec::Codec::Mpeg12},
    {0x03, "MPEG-1 Audio", A, {}, kNoKey},
    {0x04, "MPEG-2 Audio", A, {}, kNoKey},
    {0x05, "private sections", O, {}, kNoKey},
    {0x06, "private data", O, {}, kNoKey},
    {0x0F, "AAC (ADTS)", A, {}, kNoKey},
    {0x10, "MPEG-4 Visual", V, VideoSyntax::Mpeg4Part2, kNoKey, codec::Codec::Mpeg4Part2},
    {0x11, "AAC (LATM)", A, {}, kNoKey},
    {0x15, "metadata", O, {}, kNoKey},
    {0x1B, "H.264/AVC", V, VideoSyntax::H264, PictureSyntax::H264, codec::Codec::H264},
    {0x1C, "MPEG-4 Audio", A, {}, kNoKey},
    {0x20, "H.264/MVC", V, {}, PictureSyntax::H264},  // its parameter sets are the subset kind
    {0x24, "H.265/HEVC", V, VideoSyntax::H265, PictureSyntax::H265, codec::Codec::Hevc},
    {0x42, "AVS", V, {}, kNoKey},
    {0x80, "LPCM", O, {}, kNoKey},
    {0x81, "AC-3", A, {}, kNoKey},
    {0x82, "DTS", A, {}, kNoKey},
    {0x83, "TrueHD", A, {}, kNoKey},
    {0x84, "E-AC-3", A, {}, kNoKey},
    {0x85, "DTS-HD", A, {}, kNoKey},
    {0x86, "DTS-HD MA", A, {}, kNoKey},
    {0x87, "E-AC-3", A, {}, kNoKey},
    {0x8A, "DTS", A, {}, kNoKey},
    {0x90, "PGS subtitles", O, {}, kNoKey},
    {0xA1, "E-AC-3 (secondary)", A, {}, kNoKey},
    {0xA2, "DTS-HD (secondary)", A, {}, kNoKey},
    {0xD1, "Dirac", V, {}, kNoKey},
    {0xEA, "VC-1", V, {}, kNoKey, codec::Codec::Vc1},
};

const StreamType* streamTypeOf(uint8_t t) {
  for (const StreamType& k : kStreamTypes)
    if (k.type == t) return &k;
  return nullptr;
}

Role roleOf(uint8_t t) {
  const StreamType* k = streamTypeOf(t);
  return k ? k->role : Role::Other;
}

// Whether the first picture in `p` is one a decoder can start at: an H.264 IDR slice, an HEVC
// IRAP picture, an MPEG-1/2 I picture. Decided by the first coded picture's start code: 1 key,
// 0 not, -1 when the bytes end before it is known. The scan starts at `from` and leaves there
// where it stopped, so that a payload put together packet by packet is scanned once.
int firstPictureKind(PictureSyntax syntax, const uint8_t* p, size_t n, size_t& from) {
  size_t i = from;
  for (; i + 3 < n; ++i) {
    if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1) continue;
    const uint8_t b = p[i + 3];
    switch (syntax) {
      case PictureSyntax::H264: {
        const unsigned type = b & 0x1F;
        if (type >= 1 && type <= 5) return type == 5;
        break;
      }
      case PictureSyntax::H265: {
        const unsigned type = (b >> 1) & 0x3F;
        if (type <= 31) return type >= 16 && type <= 23;
        break;
      }
      case PictureSyntax::Mpeg12:
        // picture_start_code, then temporal_reference (10 bits) and picture_coding_type (3 bits).
        if (b == 0x00) {
          if (i + 5 < n) return ((p[i + 5] >> 3) & 7) == 1;
          from = i;
          return -1;
        }
        break;
      case PictureSyntax::None:
        return 0;
    }
  }
  from = i;
  return -1;
}

// The same for all the bytes there are: false when they end before the first picture.
bool startsKeyPicture(PictureSyntax syntax, const uint8_t* p, size_t n) {
  size_t from = 0;
  return firstPictureKind(syntax, p, n, from) == 1;
}

bool audioRegistration(uint32_t id) {
  static constexpr uint32_t kAudio[] = {fourccBe("AC-3"), fourccBe("EAC3"), fourccBe("DTS1"),
                                        fourccBe("DTS2"), fourccBe("DTS3"), fourccBe("Opus"),
                                        fourccBe("mlpa")};
  return std::find(std::begin(kAudio), std::end(kAudio), id) != std::end(kAudio);
}

// PSI sections of one PID, put together across packets by the pointer field and section length.
class SectionJoiner {
 public:
  template <typename Done>
  void feed(const uint8_t* p, size_t n, bool unitStart, Done&& done) {
    size_t i = 0;
    if (unitStart) {
      if (n == 0) return;
      const size_t pointer = p[0];
      if (active_) {  // the tail of the section begun earlier
        buf_.insert(buf_.end(), p + 1, p + 1 + std::min(pointer, n - 1));
        drain(done);
      }
      i = 1 + pointer;
      active_ = i < n;
      buf_.clear();
    }
    if (!active_) return;
    buf_.insert(buf_.end(), p + i, p + n);
    drain(done);
  }

 private:
  template <typename Done>
  void drain(Done& done) {
    while (!buf_.empty() && buf_[0] != 0xFF) {  // stuffing ends the sections of a packet
      if (buf_.size() < 3) return;
      const size_t total = 3 + ((size_t(buf_[1] & 0x0F) << 8) | buf_[2]);
      if (buf_.size() < total) return;
      done(buf_.data(), total);
      buf_.erase(buf_.begin(), buf_.begin() + ptrdiff_t(total));
    }
    active_ = false;
    buf_.clear();
  }

  bool active_ = false;
  std::vector<uint8_t> buf_;
};

// What the walk reads of a video PID's PES payloads: its picture size, where its PES packets
// start a key picture, and its pictures (or, opening a file, only its declared rate).
struct VideoPid {
  PictureSyntax keyFrom = PictureSyntax::None;
  std::optional<VideoSyntax> sizeFrom;
  codec::TrackCoding coding;
  PictureSize coded;
  std::vector<uint8_t> sequence;                 // the PES payload opening, for its picture size
  std::vector<uint8_t> picture;                  // the PES payload opening, for its first picture's kind
  size_t pictureFrom = 0;                        // where the scan of `picture` goes on
  int pictureKind = -1;                          // firstPictureKind of `picture` once known: no more is kept
  std::unique_ptr<codec::PesPictures> pictures;  // null when the video is not cut into pictures
  bool cut = false;                              // into pictures, not only for its rate
  bool pictureFeed = false;                      // the open PES is a PES packet
};

// The PES packet being put together on one PID, and what its earlier ones left.
struct PidState {
  bool open = false;
  bool key = false;
  uint64_t collected = 0;  // PES bytes since its unit start
  size_t headLength = 0;
  uint8_t head[kHeadKeep];
  bool lost = false;     // a packet of it went missing: its continuity counter skipped
  int lastCounter = -1;  // of the PID's last packet with payload
  StampLine stamp;
  uint8_t syncWord = kSyncNone;
  uint64_t pesPackets = 0;
  uint64_t startAt = 0;  // file position of the packet that began the PES packet
  uint64_t dropped = 0;  // PES packets missing a part lost in the middle of the file
  UnitVector units;
  StampBounds stamps;
  StampJumps jumps;
  VideoPid* video = nullptr;  // once a PMT lists the PID as video
  uint16_t pid = 0;
  bool taken = false;  // its units went to a track
};

// The head bytes kept: the fixed PES header, then its declared rest and two payload bytes
// (never beyond kHeadKeep).
size_t headWanted(const PidState& s) { return s.headLength < 9 ? 9 : 9 + size_t(s.head[8]) + 2; }

class Walker {
 public:
  Walker(InputFile& file, TsFile& out)
      : file_(file), out_(out), slot_(kPidCount, -1), pmtSlot_(kPidCount, -1), videoOf_(kPidCount) {}

  LoadResult run(LoadControl* control);

 private:
  int byteAt(uint64_t pos) {
    const uint8_t* p = file_.peek(pos, 1);
    return p ? *p : -1;
  }
  bool wholePacketAt(uint64_t pos) const { return file_.contains(pos, kPacket); }
  // The sync byte at `pos` starts a run of packets of the given size: the next kRunCheck
  // packets (as far as the file goes) start with one too, or at least kRunMinimum of them do,
  // as when damage follows soon.
  bool runStartsAt(uint64_t pos, uint32_t size) {
    if (!wholePacketAt(pos) || byteAt(pos) != kSync) return false;
    int k = 1;
    for (; k <= kRunCheck; ++k) {
      const uint64_t at = pos + uint64_t(k) * size;
      if (at >= file_.length()) return true;
      if (byteAt(at) != kSync) break;
    }
    return k > kRunMinimum;
  }
  // The first sync byte from `pos` on that `starts` accepts; false when there is none, or none
  // within kResyncLimit bytes (gaveUp_).
  template <class Starts>
  bool scanSync(uint64_t pos, Starts starts, uint64_t& found);
  // The next sync byte from `pos` on that begins a run; false when there is none.
  bool nextSync(uint64_t pos, uint32_t size, uint64_t& found);
  bool findPacketSize();

  void packet(const uint8_t* p);
  // `counter`: the packet's continuity counter, -1 where the writer marks a discontinuity.
  void pesPayload(uint16_t pid, const uint8_t* p, size_t n, bool unitStart, bool key, int counter);
  // `atEnd`: the end of the file closes it, not the next PES; `atJoin`: the next recording of a
  // joined file begins after it. A PES cut short by either is no unit.
  void finishPes(PidState& s, bool atEnd, bool atJoin = false);
  // Whether the PES that the packet payload `p` begins starts with a time stamp that jumps from
  // that of the PES `s` has open.
  bool beginsRecording(const PidState& s, const uint8_t* p, size_t n) const;
  // Payload bytes of the video PES at PES offset `at`; `first` when they open its payload.
  void feedPictures(const PidState& s, VideoPid& v, const uint8_t* p, size_t n, bool first, uint64_t at);
  void onPat(const uint8_t* s, size_t n);
  void onPmt(uint16_t pid, const uint8_t* s, size_t n);
  // A stream a PMT lists as video: its PID read as one (once, whichever program lists it first).
  void watchVideo(const TsStream& st, const std::vector<TsStream>& listed, bool cut);
  // The counted PIDs once the PMTs tell them: the first program's first video and audio, or
  // the asked tracks' once every PMT has come.
  void countPids();
  void listTracks();
  void choose();

  InputFile& file_;
  TsFile& out_;
  std::vector<int32_t> slot_;  // PID → index into states_
  std::vector<std::unique_ptr<PidState>> states_;
  int lastPid_ = -1;  // the PID of the last PES payload, and its state
  PidState* lastState_ = nullptr;
  uint64_t packetAt_ = 0;  // file position of the packet being read
  SectionJoiner pat_;
  std::vector<SectionJoiner> pmts_;
  std::vector<int16_t> pmtSlot_;  // PID → index into pmts_ while a program on it lacks its PMT
  size_t pmtsMissing_ = 0;
  std::vector<std::unique_ptr<VideoPid>> videoOf_;  // PID → what is read of it as video
  std::vector<uint16_t> trackPids_;                 // of out_.tracks
  VideoPid* chosenVideo_ = nullptr;
  // The PIDs of the tracks the series count (video, audio), whose forward steps are decided
  // together; -1 until a PMT names them.
  int countedPid_[2] = {-1, -1};
  StampJoin join_{kMpegClock, int64_t(1) << 33};
  bool gaveUp_ = false;  // a search for the sync byte found none in kResyncLimit bytes
};

// Holes are jumped: their zeros hold no sync byte.
template <class Starts>
bool Walker::scanSync(uint64_t pos, Starts starts, uint64_t& found) {
  const uint64_t limit = pos + kResyncLimit;
  for (;;) {
    pos = file_.dataFrom(pos);
    if (pos >= limit && wholePacketAt(limit)) {
      gaveUp_ = true;
      return false;
    }
    if (!wholePacketAt(pos)) return false;
    const size_t n = size_t(std::min<uint64_t>({InputFile::kBufferSize, file_.length() - pos, limit - pos}));
    const uint8_t* p = file_.peek(pos, n);
    if (!p) return false;
    const void* hit = std::memchr(p, kSync, n);
    if (!hit) {
      pos += n;
      continue;
    }
    const uint64_t at = pos + uint64_t(static_cast<const uint8_t*>(hit) - p);
    if (starts(at)) {
      found = at;
      return true;
    }
    pos = at + 1;
  }
}

bool Walker::nextSync(uint64_t pos, uint32_t size, uint64_t& found) {
  return scanSync(
      pos, [&](uint64_t at) { return runStartsAt(at, size); }, found);
}

// The first sync byte that begins a run of packets of some size; 188 first among the sizes.
bool Walker::findPacketSize() {
  const auto starts = [&](uint64_t at) {
    for (uint32_t size : kPacketSizes) {
      if (runStartsAt(at, size)) {
        out_.packetSize = size;
        return true;
      }
    }
    return false;
  };
  return scanSync(0, starts, out_.firstSync);
}

void Walker::packet(const uint8_t* p) {
  const bool unitStart = (p[1] & 0x40) != 0;
  const uint16_t pid = uint16_t(((p[1] & 0x1F) << 8) | p[2]);
  const unsigned control = (p[3] >> 4) & 3;
  if (pid == kNullPid || !(control & 1)) return;  // no payload
  size_t at = 4;
  bool key = false;
  bool discontinuity = false;
  if (control & 2) {
    const size_t adaptation = p[4];
    if (adaptation > 0) {
      key = (p[5] & 0x40) != 0;
      discontinuity = (p[5] & 0x80) != 0;
    }
    at = 5 + adaptation;
    if (at >= kPacket) return;
  }
  const uint8_t* payload = p + at;
  const size_t n = kPacket - at;
  if (pid == kPatPid) {
    if (!out_.havePat) pat_.feed(payload, n, unitStart, [&](const uint8_t* s, size_t len) { onPat(s, len); });
    return;
  }
  if (pmtsMissing_ > 0 && pmtSlot_[pid] >= 0) {
    pmts_[size_t(pmtSlot_[pid])].feed(payload, n, unitStart,
                                      [&](const uint8_t* s, size_t len) { onPmt(pid, s, len); });
    return;
  }
  pesPayload(pid, payload, n, unitStart, key, discontinuity ? -1 : p[3] & 0x0F);
}

void Walker::onPat(const uint8_t* s, size_t n) {
  if (out_.havePat || s[0] != 0x00 || n < 12) return;
  out_.havePat = true;
  for (size_t i = 8; i + 4 <= n - 4; i += 4) {
    TsProgram& program = out_.programs.emplace_back();
    program.number = readU16be(s + i);
    program.pmtPid = uint16_t(readU16be(s + i + 2) & 0x1FFF);
    if (program.number == 0) continue;  // the network information table's PID
    if (out_.programNumber == 0) {
      out_.programNumber = program.number;
      out_.pmtPid = program.pmtPid;
    }
    ++pmtsMissing_;
    if (pmtSlot_[program.pmtPid] < 0) {
      pmtSlot_[program.pmtPid] = int16_t(pmts_.size());
      pmts_.emplace_back();
    }
  }
}

void Walker::onPmt(uint16_t pid, const uint8_t* s, size_t n) {
  if (s[0] != 0x02 || n < 16) return;
  const uint16_t number = readU16be(s + 3);
  TsProgram* program = nullptr;
  bool more = false;  // another program on the PID still lacks its PMT
  for (TsProgram& p : out_.programs) {
    if (p.number == 0 || p.havePmt || p.pmtPid != pid) continue;
    if (!program && p.number == number)
      program = &p;
    else
      more = true;
  }
  if (!program) return;
  program->havePmt = true;
  --pmtsMissing_;
  if (!more) pmtSlot_[pid] = -1;
  const bool first = number == out_.programNumber && !out_.havePmt;
  if (first) {
    out_.havePmt = true;
    out_.pcrPid = readU16be(s + 8) & 0x1FFF;
  }
  std::vector<TsStream>& streams = program->streams;
  const size_t end = n - 4;  // the CRC
  size_t i = 12 + (readU16be(s + 10) & 0x0FFF);
  bool firstVideo = first;
  while (i + 5 <= end) {
    TsStream st;
    st.streamType = s[i];
    st.pid = readU16be(s + i + 1) & 0x1FFF;
    const size_t infoEnd = std::min(end, i + 5 + (readU16be(s + i + 3) & 0x0FFF));
    std::string spoken;  // the language a subtitling or teletext descriptor names
    for (size_t d = i + 5; d + 2 <= infoEnd && d + 2 + s[d + 1] <= infoEnd; d += 2 + s[d + 1]) {
      const uint8_t tag = s[d], len = s[d + 1];
      if ((tag == 0x6A || tag == 0x7A || tag == 0x7B || tag == 0x7C) && st.audioTag == 0) st.audioTag = tag;
      if (tag == 0x05 && len >= 4 && st.registration == 0) st.registration = readU32be(s + d + 2);
      if (tag == 0x0A && len >= 3 && st.language.empty()) st.language.assign(s + d + 2, s + d + 5);
      if ((tag == 0x59 || (tag == 0x56 && st.streamType == 0x06)) && st.subtitleTag == 0) {
        st.subtitleTag = tag;
        if (len >= 3 && spoken.empty()) spoken.assign(s + d + 2, s + d + 5);
      }
    }
    if (st.language.empty()) st.language = std::move(spoken);
    // Only letters: a code of other bytes names no language.
    if (!std::all_of(st.language.begin(), st.language.end(),
                     [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }))
      st.language.clear();
    st.video = roleOf(st.streamType) == Role::Video;
    st.audio = roleOf(st.streamType) == Role::Audio ||
               (st.streamType == 0x06 && (st.audioTag != 0 || audioRegistration(st.registration)));
    streams.push_back(st);
    if (st.video) {
      // Opening a file cuts none; a frame list the first program's first video, or every one
      // when it asks for other tracks than the default ones.
      watchVideo(st, streams, out_.cutPictures && (firstVideo || out_.askedVideo != kDefaultTrack));
      firstVideo = false;
    }
    i = infoEnd;
  }
  if (first) out_.streams = streams;
  if (out_.havePmt) countPids();
}

void Walker::watchVideo(const TsStream& st, const std::vector<TsStream>& listed, bool cut) {
  if (VideoPid* seen = videoOf_[st.pid].get()) {
    // Another program's PMT, read first, listed it for its rate only: its pictures are cut from
    // here on, where a file of this program alone would begin cutting them.
    if (cut && !seen->cut && seen->pictures) {
      seen->pictures = std::make_unique<codec::PesPictures>(seen->coding.codec, false);
      seen->cut = true;
      seen->pictureFeed = false;
    }
    return;
  }
  auto v = std::make_unique<VideoPid>();
  const StreamType* type = streamTypeOf(st.streamType);
  v->keyFrom = type->keyFrom;
  v->coding.codec = type->codec;
  v->cut = cut;
  v->pictures = std::make_unique<codec::PesPictures>(v->coding.codec, !cut);
  if (!v->pictures->cuts()) v->pictures.reset();
  // The size comes from the syntax of the first stream listed on the PID.
  for (const TsStream& on : listed) {
    if (on.pid != st.pid) continue;
    if (const StreamType* k = streamTypeOf(on.streamType)) v->sizeFrom = k->sizeFrom;
    break;
  }
  if (slot_[st.pid] >= 0) states_[size_t(slot_[st.pid])]->video = v.get();
  videoOf_[st.pid] = std::move(v);
}

void Walker::pesPayload(uint16_t pid, const uint8_t* p, size_t n, bool unitStart, bool key, int counter) {
  // Packets of one PID mostly follow each other: its state is at hand without two look-ups.
  if (pid != lastPid_) {
    int32_t& index = slot_[pid];
    if (index < 0) {
      if (!unitStart) return;  // nothing to join it to
      index = int32_t(states_.size());
      states_.push_back(std::make_unique<PidState>());
      states_.back()->video = videoOf_[pid].get();
      states_.back()->pid = pid;
    }
    lastPid_ = pid;
    lastState_ = states_[size_t(index)].get();
  }
  PidState& s = *lastState_;
  // The counter steps by one from packet to packet; a repeat is a packet sent twice, a skip is
  // packets lost in between.
  const bool skipped =
      s.lastCounter >= 0 && counter >= 0 && counter != s.lastCounter && counter != ((s.lastCounter + 1) & 15);
  // Recordings joined end to end (cat a.ts b.ts) restart every counter: a skip on the packet
  // that begins a PES whose time stamp jumps begins the next recording, and the PES before it
  // ended with its own; one that ends short of its declared length there was cut by the join,
  // whatever the counters happen to say.
  const uint64_t declared = s.headLength >= 6 ? readU16be(s.head + 4) : 0;
  const bool endsShort = declared > 0 && s.collected < 6 + declared;
  const bool join = (skipped || endsShort) && unitStart && !s.lost && s.open && beginsRecording(s, p, n);
  if (skipped && !join) s.lost = true;
  s.lastCounter = counter;
  if (unitStart) {
    if (s.open) finishPes(s, false, join);
    s.open = true;
    s.lost = false;
    s.startAt = packetAt_;
    s.key = key;
    s.collected = 0;
    s.headLength = 0;
    if (VideoPid* v = s.video) {
      v->sequence.clear();
      v->picture.clear();
      v->pictureFrom = 0;
      v->pictureKind = -1;
      v->pictureFeed = false;
    }
  }
  if (!s.open) return;
  const uint64_t offset = s.collected;
  s.collected += n;
  // Only the PES header and the two payload bytes after it are read: copying no more than
  // those spares copying up to 266 bytes a PES packet.
  for (size_t used = 0; used < n && s.headLength < headWanted(s);) {
    const size_t take = std::min(n - used, headWanted(s) - s.headLength);
    std::memcpy(s.head + s.headLength, p + used, take);
    s.headLength += take;
    used += take;
  }
  if (!s.video || s.headLength < 9) return;
  VideoPid& v = *s.video;
  const uint64_t payloadStart = 9 + uint64_t(s.head[8]);
  if (offset + n <= payloadStart) return;
  const size_t skip = size_t(offset >= payloadStart ? 0 : payloadStart - offset);
  auto keep = [&](std::vector<uint8_t>& to, size_t limit) {
    if (to.size() < limit) to.insert(to.end(), p + skip, p + skip + std::min(n - skip, limit - to.size()));
  };
  if (v.coded.width == 0) keep(v.sequence, kSequenceKeep);
  if (v.pictures && !v.pictures->done())
    feedPictures(s, v, p + skip, n - skip, offset <= payloadStart, offset + skip);
  // A key frame marked by the writer needs no look at its picture.
  if (v.keyFrom != PictureSyntax::None && !s.key && v.pictureKind < 0) {
    keep(v.picture, kPictureScan);
    v.pictureKind = firstPictureKind(v.keyFrom, v.picture.data(), v.picture.size(), v.pictureFrom);
  }
}

void Walker::feedPictures(const PidState& s, VideoPid& v, const uint8_t* p, size_t n, bool first,
                          uint64_t at) {
  const uint8_t* h = s.head;
  if (first) {
    v.pictureFeed = h[0] == 0 && h[1] == 0 && h[2] == 1;
    if (!v.pictureFeed) return;
    uint64_t raw = 0;
    const bool stamped = mpeg2PesStamp(h + 6, s.headLength - 6, raw);
    // Unwrapped as the PES unit's stamp will be; the unit's index, should it be counted.
    v.pictures->beginPes(stamped, s.stamp.any ? unwrapStamp(s.stamp.last, raw) : int64_t(raw),
                         s.units.size());
  }
  if (!v.pictureFeed) return;
  // A declared length ends the payload before the packet does.
  if (const uint64_t declared = readU16be(h + 4); declared > 0)
    n = size_t(std::min<uint64_t>(n, at < 6 + declared ? 6 + declared - at : 0));
  v.pictures->payload(p, n);
}

bool Walker::beginsRecording(const PidState& s, const uint8_t* p, size_t n) const {
  const uint8_t* h = s.head;
  uint64_t before = 0, after = 0;
  if (n < 9 || p[0] != 0 || p[1] != 0 || p[2] != 1 || !mpeg2PesStamp(p + 6, n - 6, after)) return false;
  // The open PES's own stamp, else (a PES without one) the track's last.
  const bool stamped = s.headLength >= 9 && h[0] == 0 && h[1] == 0 && h[2] == 1 &&
                       mpeg2PesStamp(h + 6, s.headLength - 6, before);
  if (!stamped && !s.stamp.any) return false;
  const int64_t from = !stamped      ? s.stamp.last
                       : s.stamp.any ? unwrapStamp(s.stamp.last, before)
                                     : int64_t(before);
  return StampJumps::isJump(from, unwrapStamp(from, after), kMpegClock);
}

void Walker::finishPes(PidState& s, bool atEnd, bool atJoin) {
  s.open = false;
  const uint8_t* h = s.head;
  if (s.headLength < 9 || h[0] != 0 || h[1] != 0 || h[2] != 1) return;  // not a PES packet
  const uint64_t headerEnd = 9 + uint64_t(h[8]);
  if (s.pesPackets++ == 0) {
    s.syncWord = headerEnd <= s.headLength ? syncWordOf(h + headerEnd, s.headLength - size_t(headerEnd))
                                           : uint8_t(kSyncOther);
    // A private stream's first PES may tell the audio the series count.
    if (out_.havePmt && countedPid_[1] < 0) countPids();
  }
  if (VideoPid* v = s.video) {
    if (v->coded.width == 0 && !v->sequence.empty() && v->sizeFrom) {
      PictureSize size;
      if (pictureSizeInStream(*v->sizeFrom, v->sequence.data(), v->sequence.size(), size) && size.width > 0 &&
          size.height > 0) {
        v->coded = size;
        // The sequence header as the payload holds it, across packets: the codec record that
        // tells the declared bit rate and buffer.
        if (*v->sizeFrom == VideoSyntax::Mpeg12)
          v->coding.config = mpeg12SequenceRecord(v->sequence.data(), v->sequence.size());
      }
    }
    // Writers mark key frames with random_access_indicator, or do not: the picture itself tells.
    if (!s.key)
      s.key = v->pictureKind >= 0 ? v->pictureKind == 1
                                  : startsKeyPicture(v->keyFrom, v->picture.data(), v->picture.size());
  }
  // The time stamp: DTS, else PTS, else the one before.
  if (uint64_t raw; mpeg2PesStamp(h + 6, s.headLength - 6, raw)) s.stamp.take(raw);
  // Short: fewer bytes than it declares, or (declaring none) a packet lost on the way. One cut
  // by the end of the file (which is then cut short) or by the join of two recordings is left
  // out; one that lost packets in between counts the payload the file holds, as its pictures do.
  const uint64_t declared = readU16be(h + 4);
  if (declared > 0 ? s.collected < 6 + declared : s.lost) {
    const bool cutByEnd = atEnd && (declared > 0 || !s.lost);
    if (cutByEnd || (atJoin && !s.lost)) {
      out_.cutShort = out_.cutShort || cutByEnd;
      if (cutByEnd && s.video && s.video->pictures && s.video->pictureFeed) s.video->pictures->dropLastPes();
      return;
    }
    ++s.dropped;
  }
  uint64_t bytes = declared > 0 ? std::min(s.collected, 6 + declared) : s.collected;
  if (bytes < headerEnd || !s.stamp.any) return;
  bytes = std::min<uint64_t>(bytes - headerEnd, UINT32_MAX);
  if (s.video && s.video->pictures && s.jumps.unitTicks == 0)
    s.jumps.unitTicks = s.video->pictures->frameTicks();
  const TimedUnit unit{s.stamp.last, uint32_t(bytes), s.key ? 1u : 0u};
  const int side = s.pid == countedPid_[0] ? 0 : s.pid == countedPid_[1] ? 1 : -1;
  if (side < 0) {
    StampJoin::addAlone(s.jumps, s.units, s.stamps, unit, s.startAt, kMpegClock);
    return;
  }
  if (!join_.attached(side)) join_.attach(side, s.jumps, s.units, s.stamps);
  join_.add(side, unit, s.startAt);
}

void Walker::countPids() {
  int pids[2] = {-1, -1};
  const bool asked[2] = {out_.askedVideo != kDefaultTrack, out_.askedAudio != kDefaultTrack};
  if (asked[0] || asked[1]) {
    if (pmtsMissing_ > 0) return;
    int number = 0;  // as listTracks numbers them
    for (const TsProgram& program : out_.programs) {
      if (program.number == 0 || !program.havePmt) continue;
      for (const TsStream& st : program.streams) {
        if (asked[0] && number == out_.askedVideo) pids[0] = st.pid;
        if (asked[1] && number == out_.askedAudio) pids[1] = st.pid;
        ++number;
      }
    }
  }
  bool audioOpen = !asked[1];
  for (const TsStream& st : out_.streams) {
    if (!asked[0] && pids[0] < 0 && st.video) pids[0] = st.pid;
    if (!audioOpen || pids[1] >= 0) continue;
    bool audio = st.audio;
    // A private stream is audio when its first PES opens with an audio sync word: until that
    // PES has come, the counted audio is not known.
    if (st.streamType == 0x06 && !audio) {
      const int32_t index = slot_[st.pid];
      const PidState* state = index >= 0 ? states_[size_t(index)].get() : nullptr;
      if (!state || state->pesPackets == 0) {
        audioOpen = false;
        continue;
      }
      audio = state->syncWord >= kSyncAdts && state->syncWord <= kSyncLatm;
    }
    if (audio) pids[1] = st.pid;
  }
  for (int side = 0; side < 2; ++side) {
    if (pids[side] == countedPid_[side]) continue;
    join_.detach(side);
    countedPid_[side] = pids[side];
  }
}

void Walker::listTracks() {
  size_t firstBegin = 0;
  bool first = true;
  for (TsProgram& program : out_.programs) {
    if (program.number == 0 || !program.havePmt) continue;
    const size_t begin = out_.tracks.size();
    for (TsStream& st : program.streams) {
      const int32_t index = slot_[st.pid];
      if (index >= 0) {
        st.syncWord = states_[size_t(index)]->syncWord;
        st.pesPackets = states_[size_t(index)]->pesPackets;
      }
      if (st.streamType == 0x06 && !st.audio) st.audio = st.syncWord >= kSyncAdts && st.syncWord <= kSyncLatm;
      Track t;
      t.kind = st.video                                       ? TrackKind::Video
               : st.audio                                     ? TrackKind::Audio
               : st.subtitleTag != 0 || st.streamType == 0x90 ? TrackKind::Subtitle
                                                              : TrackKind::Other;
      t.codec = st.streamType == 0x06 ? tsPrivateDataName(st) : tsStreamTypeName(st.streamType);
      if (st.streamType == 0x06 && t.kind == TrackKind::Subtitle)
        t.codec = st.subtitleTag == 0x59 ? "DVB subtitles" : "teletext";
      if (t.codec.empty()) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        t.codec = {'0', 'x', kHex[st.streamType >> 4], kHex[st.streamType & 15]};
      }
      t.language = st.language;
      t.id = st.pid;
      t.program = program.number;
      if (t.kind == TrackKind::Video) {
        if (const VideoPid* v = videoOf_[st.pid].get()) {
          t.frameWidth = v->coded.width;
          t.frameHeight = v->coded.height;
          t.frameRateMilli = v->pictures ? v->pictures->declaredRateMilli() : 0;
          t.coding = v->coding;
        }
      }
      if (index >= 0) {
        const PidState& s = *states_[size_t(index)];
        t.unitCount = s.units.size();
        for (const TimedUnit& u : s.units) t.bytes += u.bytes;
      }
      out_.tracks.push_back(std::move(t));
      trackPids_.push_back(st.pid);
    }
    if (first && program.number == out_.programNumber) {
      first = false;
      firstBegin = begin;
      out_.streams = program.streams;
    }
  }
  // The rules choose among the first program's streams.
  for (size_t i = firstBegin; i < firstBegin + out_.streams.size(); ++i) {
    const TrackKind kind = out_.tracks[i].kind;
    if (kind == TrackKind::Video && out_.defaultVideo < 0) out_.defaultVideo = int(i);
    if (kind == TrackKind::Audio && out_.defaultAudio < 0) out_.defaultAudio = int(i);
  }
  out_.videoIndex = out_.defaultVideo < 0 ? -1 : out_.defaultVideo - int(firstBegin);
  out_.audioIndex = out_.defaultAudio < 0 ? -1 : out_.defaultAudio - int(firstBegin);
}

void Walker::choose() {
  listTracks();
  std::vector<Track>& tracks = out_.tracks;
  out_.videoTrack = askedOr(tracks, out_.askedVideo, out_.defaultVideo, TrackKind::Video);
  out_.audioTrack = askedOr(tracks, out_.askedAudio, out_.defaultAudio, TrackKind::Audio);
  // A PID's units go to one track: a chosen one, else the first that lists it.
  const auto take = [&](size_t i) {
    const int32_t index = slot_[trackPids_[i]];
    PidState* s = index >= 0 ? states_[size_t(index)].get() : nullptr;
    if (s && s->taken) return;
    TrackUnits& units = tracks[i].units;
    units.present = true;
    units.clock = kMpegClock;
    if (!s) return;
    s->taken = true;
    units.units = std::move(s->units);
    units.stamps = s->stamps;
    units.jumps = std::move(s->jumps);
    if (int(i) == out_.videoTrack || int(i) == out_.audioTrack) out_.droppedUnits += s->dropped;
  };
  for (int chosen : {out_.videoTrack, out_.audioTrack})
    if (chosen >= 0) take(size_t(chosen));
  for (size_t i = 0; i < tracks.size(); ++i)
    if (tracks[i].kind == TrackKind::Video || tracks[i].kind == TrackKind::Audio) take(i);
  for (auto& s : states_) s->units = UnitVector();  // subtitles' and others': counted, not kept
  if (out_.videoTrack >= 0) {
    out_.video = std::exchange(tracks[size_t(out_.videoTrack)].units, TrackUnits());
    chosenVideo_ = videoOf_[trackPids_[size_t(out_.videoTrack)]].get();
  }
  if (out_.audioTrack >= 0) out_.audio = std::exchange(tracks[size_t(out_.audioTrack)].units, TrackUnits());
  if (chosenVideo_) {
    out_.coded = chosenVideo_->coded;
    out_.coding = chosenVideo_->coding;
  }
  putOnOneClock(out_.video, out_.audio);
}

LoadResult Walker::run(LoadControl* control) {
  for (TrackUnits* t : {&out_.video, &out_.audio}) t->clock = kMpegClock;
  if (!findPacketSize()) return parseFailure(file_.readFailed(), false, 0);
  const uint32_t size = out_.packetSize;
  ProgressGate gate(control, file_.length());
  uint64_t pos = out_.firstSync;
  try {
    while (wholePacketAt(pos)) {
      if (!gate.at(pos)) return LoadResult::fail(LoadFailure::Cancelled, pos);
      // The packets of one buffer whose next packet starts with a sync byte too, without a
      // look-up of the buffer each: the walk of a small-packet file is mostly this loop.
      if (const size_t room = size_t(std::min<uint64_t>(InputFile::kBufferSize, file_.length() - pos));
          room > size) {
        if (const uint8_t* b = file_.peek(pos, room)) {
          size_t i = 0;
          for (; i + size < room && b[i] == kSync && b[i + size] == kSync; i += size) {
            ++out_.packets;
            packetAt_ = pos + i;
            packet(b + i);
          }
          pos += i;
          if (i > 0) continue;
        }
      }
      // With the next packet's sync byte when the file goes on.
      const bool more = file_.contains(pos, uint64_t(size) + 1);
      const uint8_t* p = file_.peek(pos, more ? size + 1 : kPacket);
      if (!p) break;
      const bool synced = p[0] == kSync;
      if (!synced || (more && p[size] != kSync)) {
        // Damage here or just after: a run of packets beginning inside these 188 bytes shows
        // that this one is no packet.
        uint64_t next;
        const bool found = nextSync(pos + 1, size, next);
        if (!synced || (found && next < pos + kPacket)) {
          out_.skippedBytes += (found ? next : file_.length()) - pos;
          if (!found) break;
          pos = next;
          continue;
        }
        p = file_.peek(pos, kPacket);
        if (!p) break;
      }
      ++out_.packets;
      packetAt_ = pos;
      packet(p);
      pos += size;
    }
    if (file_.readFailed()) return LoadResult::fail(LoadFailure::CouldNotRead, pos);
    if (gaveUp_ || (pos < file_.length() && !wholePacketAt(pos))) out_.cutShort = true;
    for (size_t pid = 0; pid < kPidCount; ++pid)
      if (slot_[pid] >= 0 && states_[size_t(slot_[pid])]->open) finishPes(*states_[size_t(slot_[pid])], true);
    join_.finish();
    if (!out_.havePat || !out_.havePmt) return LoadResult::fail(LoadFailure::Damaged, pos);
    choose();
    if (chosenVideo_ && chosenVideo_->pictures) {
      const codec::PesPictures::Result r = chosenVideo_->pictures->finish(out_.pictures, out_.video.jumps);
      out_.pictures.present = r.any;
      out_.frameRateMilli = r.frameRateMilli;
      out_.rateAssumed = r.rateAssumed;
    }
  } catch (const std::bad_alloc&) {
    return LoadResult::fail(LoadFailure::OutOfMemory, pos);
  }
  return LoadResult::success();
}

}  // namespace

const char* tsStreamTypeName(uint8_t t) {
  const StreamType* k = streamTypeOf(t);
  return k ? k->name : "";
}

std::string tsPrivateDataName(const TsStream& st) {
  switch (st.audioTag) {
    case 0x6A:
      return "AC-3";
    case 0x7A:
      return "E-AC-3";
    case 0x7B:
      return "DTS";
    case 0x7C:
      return "AAC";
    default:
      break;
  }
  if (st.registration != 0) {
    std::string id;
    for (int shift = 24; shift >= 0; shift -= 8) {
      const char c = char((st.registration >> shift) & 0xFF);
      id += c >= 0x20 && c < 0x7F ? c : '.';
    }
    if (st.audio) return id;
  }
  switch (st.syncWord) {
    case kSyncAdts:
      return "AAC (ADTS)";
    case kSyncMpegAudio:
      return "MPEG Audio";
    case kSyncAc3:
      return "AC-3";
    case kSyncLatm:
      return "AAC (LATM)";
    default:
      return "private data";
  }
}

LoadResult readTs(InputFile& file, TsFile& out, LoadControl* control) {
  try {
    Walker walker(file, out);
    return walker.run(control);
  } catch (const std::bad_alloc&) {
    return LoadResult::fail(LoadFailure::OutOfMemory);
  }
}

LoadResult walkTs(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  TsFile ts;
  // Pictures are cut when a frame list asks for them; opening reads the series only.
  ts.cutPictures = out.videoUnits.keepPlaces;
  ts.askedVideo = out.askedVideo;
  ts.askedAudio = out.askedAudio;
  if (const LoadResult r = readTs(file, ts, control); !r.ok()) return r;
  notes.cutShort = ts.cutShort;
  notes.unitsIncomplete = ts.droppedUnits;
  out.tracks = std::move(ts.tracks);
  out.videoTrack = ts.videoTrack;
  out.audioTrack = ts.audioTrack;
  out.defaultVideo = ts.defaultVideo;
  out.defaultAudio = ts.defaultAudio;
  out.frameWidth = ts.coded.width;
  out.frameHeight = ts.coded.height;
  out.videoCoding = std::move(ts.coding);
  out.videoUnits = std::move(ts.video);
  out.audioUnits = std::move(ts.audio);
  return codec::takePictures(ts.pictures, ts.frameRateMilli, ts.rateAssumed, out, notes);
}

bool looksLikeTransportStream(const uint8_t* head, size_t n) {
  // Recorders' 192-byte packets put a time code before the sync byte.
  for (uint32_t size : kPacketSizes) {
    const size_t first = size == 192 ? 4 : 0;
    size_t k = 0;
    while (k < kRunInHead && first + k * size < n && head[first + k * size] == kSync) ++k;
    if (k == kRunInHead) return true;
  }
  return false;
}

}  // namespace mv
