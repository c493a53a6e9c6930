#include "mkv/mkv_reader.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/byte_cursor.h"
#include "platform/byte_order.h"

namespace mv {

namespace {

constexpr uint32_t kIdEbml = 0x1A45DFA3;
constexpr uint32_t kIdDocType = 0x4282;
constexpr uint32_t kIdDocTypeVersion = 0x4287;
constexpr uint32_t kIdSegment = 0x18538067;

constexpr uint32_t kIdSeekHead = 0x114D9B74;
constexpr uint32_t kIdInfo = 0x1549A966;
constexpr uint32_t kIdTracks = 0x1654AE6B;
constexpr uint32_t kIdCluster = 0x1F43B675;
constexpr uint32_t kIdCues = 0x1C53BB6B;
constexpr uint32_t kIdTags = 0x1254C367;
constexpr uint32_t kIdChapters = 0x1043A770;
constexpr uint32_t kIdAttachments = 0x1941A469;

constexpr uint32_t kIdTimestampScale = 0x2AD7B1;
constexpr uint32_t kIdDuration = 0x4489;
constexpr uint32_t kIdMuxingApp = 0x4D80;
constexpr uint32_t kIdWritingApp = 0x5741;
constexpr uint32_t kIdTitle = 0x7BA9;

constexpr uint32_t kIdTrackEntry = 0xAE;
constexpr uint32_t kIdTrackNumber = 0xD7;
constexpr uint32_t kIdTrackType = 0x83;
constexpr uint32_t kIdCodecId = 0x86;
constexpr uint32_t kIdCodecPrivate = 0x63A2;
constexpr uint32_t kIdLanguage = 0x22B59C;
constexpr uint32_t kIdName = 0x536E;
constexpr uint32_t kIdDefaultDuration = 0x23E383;
constexpr uint32_t kIdVideo = 0xE0;
constexpr uint32_t kIdPixelWidth = 0xB0;
constexpr uint32_t kIdPixelHeight = 0xBA;
constexpr uint32_t kIdDisplayWidth = 0x54B0;
constexpr uint32_t kIdDisplayHeight = 0x54BA;
constexpr uint32_t kIdAudio = 0xE1;
constexpr uint32_t kIdSamplingFrequency = 0xB5;
constexpr uint32_t kIdChannels = 0x9F;
constexpr uint32_t kIdBitDepth = 0x6264;

constexpr uint32_t kIdTimestamp = 0xE7;
constexpr uint32_t kIdPosition = 0xA7;
constexpr uint32_t kIdPrevSize = 0xAB;
constexpr uint32_t kIdSilentTracks = 0x5854;
constexpr uint32_t kIdEncryptedBlock = 0xAF;
constexpr uint32_t kIdSimpleBlock = 0xA3;
constexpr uint32_t kIdBlockGroup = 0xA0;
constexpr uint32_t kIdBlock = 0xA1;
constexpr uint32_t kIdReferenceBlock = 0xFB;
constexpr uint32_t kIdBlockDuration = 0x9B;

constexpr uint64_t kDefaultTimestampScale = 1000000;
constexpr uint64_t kStop = ~uint64_t(0);
constexpr size_t kMaxTextKept = 1024;
// Deeper nesting of unknown sizes than any muxer writes is damage; it ends the element.
constexpr int kMaxUnknownDepth = 8;
// Leaves room for the 16-bit relative time stamp without overflowing the tick type.
constexpr uint64_t kMaxClusterTimestamp = uint64_t(INT64_MAX) - 0x10000;
// The smallest block element: ID, size, track number, time stamp and flags.
constexpr uint64_t kMinBlockBytes = 6;
constexpr size_t kFirstUnitsReserved = 4096;
// A video track's CodecPrivate is read whole up to this; a larger one holds no record.
constexpr uint64_t kMaxVideoPrivate = 1 << 20;

struct Element {
  uint32_t id = 0;
  uint64_t start = 0;
  uint64_t data = 0;
  uint64_t size = 0;     // 0 when unknown
  bool unknown = false;  // all-ones size: ends where its children show
  uint64_t end() const { return data + size; }
};

// Where an element's children must end: its declared end, or for an unknown size the parent's.
uint64_t bound(const Element& e, uint64_t limit) { return e.unknown ? limit : std::min(e.end(), limit); }

// Where an ID stands in the element tree; -1 for IDs allowed anywhere (Void, CRC-32) or not
// known here. An element of unknown size ends at the first element of its own level or above.
int levelOf(uint32_t id) {
  switch (id) {
    case kIdEbml:
    case kIdSegment:
      return 0;
    case kIdSeekHead:
    case kIdInfo:
    case kIdTracks:
    case kIdCluster:
    case kIdCues:
    case kIdTags:
    case kIdChapters:
    case kIdAttachments:
      return 1;
    case kIdTrackEntry:
    case kIdTimestamp:
    case kIdPosition:
    case kIdPrevSize:
    case kIdSilentTracks:
    case kIdEncryptedBlock:
    case kIdSimpleBlock:
    case kIdBlockGroup:
      return 2;
    case kIdVideo:
    case kIdAudio:
    case kIdBlock:
    case kIdReferenceBlock:
    case kIdBlockDuration:
      return 3;
    default:
      return -1;
  }
}

// A variable-length integer of a block header: false when it is malformed or cut.
bool readVint(ByteCursor& in, uint64_t& value) {
  const uint8_t* first = in.look(1);
  if (!first || *first == 0) return false;
  const int length = __builtin_clz(unsigned(*first)) - 23;
  const uint8_t* q = in.take(size_t(length));
  if (!q) return false;
  value = uint64_t(q[0]) & (0xFFu >> length);
  for (int i = 1; i < length; ++i) value = (value << 8) | q[i];
  return true;
}

class Walker {
 public:
  Walker(InputFile& file, MkvFile& out, LoadControl* control)
      : file_(file), out_(out), length_(file.length()), gate_(control, file.length()) {}

  LoadResult run();

 private:
  bool header(uint64_t pos, uint64_t limit, Element& e);
  template <typename F>
  uint64_t children(uint64_t pos, uint64_t limit, bool unknown, int level, F&& f);
  template <typename F>
  uint64_t master(const Element& e, uint64_t limit, int level, F&& f);
  uint64_t skip(const Element& e, uint64_t limit, int level, int depth = 0);

  uint64_t unsignedValue(const Element& e, uint64_t limit, uint64_t fallback);
  double floatValue(const Element& e, uint64_t limit, double fallback);
  std::string textValue(const Element& e, uint64_t limit);

  uint64_t segmentChild(const Element& e, uint64_t limit);
  uint64_t readInfo(const Element& e, uint64_t limit);
  uint64_t readTracks(const Element& e, uint64_t limit);
  uint64_t readTrackEntry(const Element& e, uint64_t limit);
  void lookAheadForTracks(uint64_t pos, uint64_t limit);
  uint64_t walkCluster(const Element& e, uint64_t limit);
  uint64_t walkBlockGroup(const Element& e, uint64_t limit);
  // The unit of a block of a chosen track, and where its first frame lies; null when the block
  // is not one or is left out.
  TrackUnits* readBlock(const Element& e, uint64_t limit, TimedUnit& unit, UnitPlace& place);
  void add(TrackUnits& t, const TimedUnit& unit, const UnitPlace& place, uint64_t pos);
  void mapTracks();
  TrackUnits* unitsOf(uint64_t number) const {
    if (number < kDirectNumbers) return direct_[number];
    for (const auto& [n, units] : farNumbers_)
      if (n == number) return units;
    return nullptr;
  }
  bool progress(uint64_t pos) {
    if (gate_.at(pos)) return true;
    cancelled_ = true;
    return false;
  }

  InputFile& file_;
  MkvFile& out_;
  const uint64_t length_;
  ProgressGate gate_;
  bool infoSeen_ = false;
  bool tracksSeen_ = false;
  bool lookedAhead_ = false;
  bool cancelled_ = false;
  uint64_t clusterTimestamp_ = 0;
  struct GroupUnit {
    TrackUnits* track;
    TimedUnit unit;
    UnitPlace place;
  };
  std::vector<GroupUnit> groupUnits_;  // reused by every BlockGroup
  // The units a block's track number goes to: muxers number tracks from 1.
  static constexpr uint64_t kDirectNumbers = 128;
  TrackUnits* direct_[kDirectNumbers] = {};
  std::vector<std::pair<uint64_t, TrackUnits*>> farNumbers_;
};

bool Walker::header(uint64_t pos, uint64_t limit, Element& e) {
  if (pos >= limit || limit > length_) return false;
  const size_t n = size_t(std::min<uint64_t>(12, limit - pos));
  const uint8_t* p = file_.peek(pos, n);
  if (!p || p[0] < 0x10) return false;  // IDs take 1 to 4 bytes
  const size_t idLength = size_t(__builtin_clz(unsigned(p[0])) - 23);
  if (idLength >= n || p[idLength] == 0) return false;
  uint32_t id = 0;
  for (size_t i = 0; i < idLength; ++i) id = (id << 8) | p[i];
  const size_t sizeLength = size_t(__builtin_clz(unsigned(p[idLength])) - 23);
  if (idLength + sizeLength > n) return false;
  const uint64_t mask = 0xFFu >> sizeLength;
  uint64_t size = p[idLength] & mask;
  bool allOnes = size == mask;
  for (size_t i = 1; i < sizeLength; ++i) {
    size = (size << 8) | p[idLength + i];
    allOnes = allOnes && p[idLength + i] == 0xFF;
  }
  e.id = id;
  e.start = pos;
  e.data = pos + idLength + sizeLength;
  e.unknown = allOnes;
  e.size = allOnes ? 0 : size;
  return true;
}

// Calls f(child, limit) for each child from `pos`; f answers where the child ends, or kStop.
// Answers where the walk ended: for an unknown size at the first element of `level` or above,
// or where no element header could be read.
template <typename F>
uint64_t Walker::children(uint64_t pos, uint64_t limit, bool unknown, int level, F&& f) {
  while (pos < limit) {
    Element c;
    if (!header(pos, limit, c)) return unknown ? pos : limit;
    if (unknown) {
      const int l = levelOf(c.id);
      if (l >= 0 && l <= level) return pos;
    }
    const uint64_t next = f(c, limit);
    if (next == kStop) return kStop;
    pos = next;  // past c's header, so always forward
  }
  return std::min(pos, limit);
}

// Walks the children of `e` (at `level`); answers where `e` ends.
template <typename F>
uint64_t Walker::master(const Element& e, uint64_t limit, int level, F&& f) {
  const uint64_t end = children(e.data, bound(e, limit), e.unknown, level, f);
  if (end == kStop) return kStop;
  return e.unknown ? end : e.end();
}

uint64_t Walker::skip(const Element& e, uint64_t limit, int level, int depth) {
  if (!e.unknown) return e.end();
  if (depth >= kMaxUnknownDepth) return limit;
  return master(e, limit, level,
                [&](const Element& c, uint64_t l) { return skip(c, l, level + 1, depth + 1); });
}

// An empty element stands for its default value; sizes a type cannot have are ignored.
uint64_t Walker::unsignedValue(const Element& e, uint64_t limit, uint64_t fallback) {
  uint8_t b[8];
  if (e.unknown || e.size == 0 || e.size > 8 || e.end() > limit || !file_.readAt(e.data, b, size_t(e.size)))
    return fallback;
  uint64_t v = 0;
  for (size_t i = 0; i < e.size; ++i) v = (v << 8) | b[i];
  return v;
}

double Walker::floatValue(const Element& e, uint64_t limit, double fallback) {
  uint8_t b[8];
  if (e.unknown || (e.size != 4 && e.size != 8) || e.end() > limit ||
      !file_.readAt(e.data, b, size_t(e.size)))
    return fallback;
  if (e.size == 4) {
    const uint32_t bits = readU32be(b);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }
  const uint64_t bits = (uint64_t(readU32be(b)) << 32) | readU32be(b + 4);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// The text up to its first zero byte, at most kMaxTextKept bytes of it.
std::string Walker::textValue(const Element& e, uint64_t limit) {
  if (e.unknown || e.end() > limit) return {};
  std::string s(size_t(std::min<uint64_t>(e.size, kMaxTextKept)), '\0');
  if (!file_.readAt(e.data, s.data(), s.size())) return {};
  s.resize(std::strlen(s.c_str()));
  return s;
}

LoadResult Walker::run() {
  const uint8_t* sig = length_ >= 4 ? file_.peek(0, 4) : nullptr;
  if (!sig || readU32be(sig) != kIdEbml) return parseFailure(file_.readFailed(), false, 0);
  Element ebml;
  if (!header(0, length_, ebml)) return parseFailure(file_.readFailed(), true, 0);
  uint64_t pos = master(ebml, length_, 0, [&](const Element& c, uint64_t l) {
    if (c.id == kIdDocType) out_.docType = textValue(c, l);
    if (c.id == kIdDocTypeVersion) out_.docTypeVersion = unsignedValue(c, l, 1);
    return skip(c, l, 1);
  });
  // Anything before the Segment (Void, a stray element) is passed by its size.
  Element segment;
  for (;;) {
    if (!header(pos, length_, segment)) return parseFailure(file_.readFailed(), true, pos);
    if (segment.id == kIdSegment) break;
    if (segment.unknown) return parseFailure(file_.readFailed(), true, pos);
    pos = segment.end();
  }
  if (!segment.unknown && segment.end() > length_) out_.cutShort = true;
  // An unknown-size Segment runs to the end of the file.
  const uint64_t end = children(segment.data, bound(segment, length_), false, 0,
                                [&](const Element& c, uint64_t l) { return segmentChild(c, l); });
  if (cancelled_)
    return LoadResult::fail(LoadFailure::Cancelled, end == kStop ? LoadResult::kNoPosition : end);
  if (file_.readFailed()) return LoadResult::fail(LoadFailure::CouldNotRead);
  if (!tracksSeen_) return LoadResult::fail(LoadFailure::Damaged, segment.start);
  const auto setClock = [&](TrackUnits& t) {
    t.clock.mul = Int128(out_.timestampScale);
    t.clock.den = 1000000000;
  };
  setClock(out_.videoUnits);
  setClock(out_.audioUnits);
  for (TrackUnits& t : out_.units) {
    setClock(t);
    // What the other tracks' growth left spare goes back: the units stay at 16 bytes each.
    if (t.units.capacity() - t.units.size() > t.units.size() / 8 + 1024) t.units.shrink_to_fit();
  }
  return LoadResult::success();
}

uint64_t Walker::segmentChild(const Element& e, uint64_t limit) {
  switch (e.id) {
    case kIdInfo:
      if (!infoSeen_) {
        infoSeen_ = true;
        return readInfo(e, limit);
      }
      break;
    case kIdTracks:
      if (!tracksSeen_) return readTracks(e, limit);
      break;
    case kIdCluster:
      if (!tracksSeen_ && !lookedAhead_) {
        lookedAhead_ = true;
        lookAheadForTracks(e.start, limit);
      }
      return walkCluster(e, limit);
    case kIdSegment:
      // A live recording restarted in the same file: its elements are read on as this one's.
      if (e.unknown) return e.data;
      break;
    default:
      break;
  }
  return skip(e, limit, 1);
}

uint64_t Walker::readInfo(const Element& e, uint64_t limit) {
  return master(e, limit, 1, [&](const Element& c, uint64_t l) {
    switch (c.id) {
      case kIdTimestampScale:
        out_.timestampScale = unsignedValue(c, l, kDefaultTimestampScale);
        if (out_.timestampScale == 0) out_.timestampScale = kDefaultTimestampScale;
        break;
      case kIdDuration:
        out_.duration = floatValue(c, l, -1.0);
        out_.hasDuration = out_.duration >= 0;
        break;
      case kIdMuxingApp:
        out_.muxingApp = textValue(c, l);
        break;
      case kIdWritingApp:
        out_.writingApp = textValue(c, l);
        break;
      case kIdTitle:
        out_.title = textValue(c, l);
        break;
      default:
        break;
    }
    return skip(c, l, 2);
  });
}

uint64_t Walker::readTracks(const Element& e, uint64_t limit) {
  tracksSeen_ = true;
  const uint64_t end = master(e, limit, 1, [&](const Element& c, uint64_t l) {
    return c.id == kIdTrackEntry ? readTrackEntry(c, l) : skip(c, l, 2);
  });
  if (out_.hasVideo) out_.videoUnits.units.reserve(kFirstUnitsReserved);
  if (out_.hasAudio) out_.audioUnits.units.reserve(kFirstUnitsReserved);
  mapTracks();
  return end;
}

// The chosen tracks first: a number they share with another entry stays theirs.
void Walker::mapTracks() {
  std::vector<std::pair<uint64_t, TrackUnits*>> order;
  if (out_.hasVideo) order.push_back({out_.video.number, &out_.videoUnits});
  if (out_.hasAudio) order.push_back({out_.audio.number, &out_.audioUnits});
  if (out_.everyTrack) {
    out_.units.resize(out_.tracks.size());
    for (size_t i = 0; i < out_.tracks.size(); ++i) {
      if (int(i) == out_.videoIndex || int(i) == out_.audioIndex) continue;
      TrackUnits& t = out_.units[i];
      t.present = true;
      t.keepPlaces = out_.videoUnits.keepPlaces && out_.tracks[i].type == 1;
      order.push_back({out_.tracks[i].number, &t});
    }
  }
  for (const auto& [number, units] : order) {
    if (unitsOf(number)) continue;
    if (number < kDirectNumbers)
      direct_[number] = units;
    else
      farNumbers_.push_back({number, units});
  }
}

uint64_t Walker::readTrackEntry(const Element& e, uint64_t limit) {
  MkvTrack t;
  const uint64_t end = master(e, limit, 2, [&](const Element& c, uint64_t l) -> uint64_t {
    switch (c.id) {
      case kIdTrackNumber:
        t.number = unsignedValue(c, l, 0);
        break;
      case kIdTrackType:
        t.type = unsignedValue(c, l, 0);
        break;
      case kIdCodecId:
        t.codecId = textValue(c, l);
        break;
      case kIdCodecPrivate:
        if (!c.unknown && c.end() <= l) {
          t.codecPrivateSize = c.size;
          t.codecPrivateAt = c.data;
          t.codecPrivate.resize(size_t(std::min<uint64_t>(c.size, MkvFile::kMaxCodecPrivateKept)));
          if (!file_.readAt(c.data, t.codecPrivate.data(), t.codecPrivate.size())) t.codecPrivate.clear();
        }
        break;
      case kIdLanguage:
        t.language = textValue(c, l);
        break;
      case kIdName:
        t.name = textValue(c, l);
        break;
      case kIdDefaultDuration:
        t.defaultDuration = unsignedValue(c, l, 0);
        break;
      case kIdVideo:
        return master(c, l, 3, [&](const Element& v, uint64_t vl) {
          if (v.id == kIdPixelWidth) t.pixelWidth = unsignedValue(v, vl, 0);
          if (v.id == kIdPixelHeight) t.pixelHeight = unsignedValue(v, vl, 0);
          if (v.id == kIdDisplayWidth) t.displayWidth = unsignedValue(v, vl, 0);
          if (v.id == kIdDisplayHeight) t.displayHeight = unsignedValue(v, vl, 0);
          return skip(v, vl, 4);
        });
      case kIdAudio:
        return master(c, l, 3, [&](const Element& a, uint64_t al) {
          if (a.id == kIdSamplingFrequency) t.samplingFrequency = floatValue(a, al, 8000.0);
          if (a.id == kIdChannels) t.channels = unsignedValue(a, al, 1);
          if (a.id == kIdBitDepth) t.bitDepth = unsignedValue(a, al, 0);
          return skip(a, al, 4);
        });
      default:
        break;
    }
    return skip(c, l, 3);
  });
  ++out_.trackCount;
  const bool kept = out_.tracks.size() < MkvFile::kMaxTracksKept;
  if (t.type == 1 && !out_.hasVideo) {
    out_.hasVideo = true;
    out_.video = t;
    out_.videoUnits.present = true;
    if (kept) out_.videoIndex = int(out_.tracks.size());
  } else if (t.type == 2 && !out_.hasAudio) {
    out_.hasAudio = true;
    out_.audio = t;
    out_.audioUnits.present = true;
    if (kept) out_.audioIndex = int(out_.tracks.size());
  }
  if (kept) out_.tracks.push_back(std::move(t));
  return end;
}

// Tracks placed after the first Cluster: found by element headers alone, so that the clusters
// are still read once.
void Walker::lookAheadForTracks(uint64_t pos, uint64_t limit) {
  children(pos, limit, false, 0, [&](const Element& c, uint64_t l) -> uint64_t {
    if (c.id == kIdTracks) {
      readTracks(c, l);
      return kStop;
    }
    if (c.id == kIdSegment && c.unknown) return c.data;
    return skip(c, l, 1);
  });
}

uint64_t Walker::walkCluster(const Element& e, uint64_t limit) {
  clusterTimestamp_ = 0;
  if (!e.unknown && e.end() > length_) out_.cutShort = true;
  if (!progress(e.start)) return kStop;
  return master(e, limit, 1, [&](const Element& c, uint64_t l) -> uint64_t {
    switch (c.id) {
      case kIdTimestamp:
        clusterTimestamp_ = std::min(unsignedValue(c, l, 0), kMaxClusterTimestamp);
        break;
      case kIdSimpleBlock: {
        if (!progress(c.start)) return kStop;
        TimedUnit unit;
        UnitPlace place;
        if (TrackUnits* t = readBlock(c, l, unit, place)) add(*t, unit, place, c.start);
        return c.unknown ? l : c.end();
      }
      case kIdBlockGroup:
        return walkBlockGroup(c, l);
      default:
        break;
    }
    return skip(c, l, 2);
  });
}

// Fresh pages cost more than the walk itself on some machines, and every regrowth touches them
// again: once the first reserve is full, the rest of the file is assumed to hold units as densely
// as the part read so far (never more than the file could hold).
void Walker::add(TrackUnits& t, const TimedUnit& unit, const UnitPlace& place, uint64_t pos) {
  UnitVector& v = t.units;
  // The other tracks grow as vectors do: a reserve for each of many tracks could outweigh the file.
  const bool chosen = &t == &out_.videoUnits || &t == &out_.audioUnits;
  if (chosen && v.size() == v.capacity() && pos > 0) {
    const double byDensity = double(v.size()) * double(length_) / double(pos) * 1.1 + 1024;
    const uint64_t most = length_ / kMinBlockBytes + 16;
    const uint64_t want = std::max<uint64_t>(uint64_t(std::min(byDensity, double(most))), 2 * v.size());
    v.reserve(size_t(std::min(want, most)));
    // Large pages where the system gives them on request: a fifth fewer page faults.
    const uintptr_t from = (uintptr_t(v.data()) + 4095) & ~uintptr_t(4095);
    const uintptr_t to = uintptr_t(v.data() + v.capacity()) & ~uintptr_t(4095);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  }
  v.push_back(unit);
  t.stamps.note(unit.ticks, pos);
  if (t.keepPlaces) t.places.push_back(place);
}

// A Block is a key frame when its group refers to no other block; the group's children may come
// in any order, so its blocks are kept until the group ends.
uint64_t Walker::walkBlockGroup(const Element& e, uint64_t limit) {
  groupUnits_.clear();
  const uint64_t pos = e.start;
  bool referenced = false;
  const uint64_t end = master(e, limit, 2, [&](const Element& c, uint64_t l) -> uint64_t {
    if (c.id == kIdBlock) {
      if (!progress(c.start)) return kStop;
      GroupUnit g;
      if ((g.track = readBlock(c, l, g.unit, g.place))) groupUnits_.push_back(g);
      return c.unknown ? l : c.end();
    }
    if (c.id == kIdReferenceBlock) referenced = true;
    return skip(c, l, 3);
  });
  for (GroupUnit& g : groupUnits_) {
    g.unit.key = referenced ? 0 : 1;
    add(*g.track, g.unit, g.place, pos);
  }
  return end;
}

TrackUnits* Walker::readBlock(const Element& e, uint64_t limit, TimedUnit& unit, UnitPlace& place) {
  if (e.unknown) return nullptr;
  if (e.end() > limit) {  // cut: its frames are not all there
    if (e.end() > length_) out_.cutShort = true;
    return nullptr;
  }
  ByteCursor in(file_, e.data, e.end());
  uint64_t track = 0;
  if (!readVint(in, track)) return nullptr;
  TrackUnits* units = unitsOf(track);
  if (!units) return nullptr;
  const uint8_t* head = in.take(3);
  if (!head) return nullptr;
  const int16_t relative = int16_t(readU16be(head));
  const int flags = head[2];
  // The first frame's size where the lacing gives it (0: the whole block holds one frame).
  uint64_t first = 0;
  switch ((flags >> 1) & 3) {
    case 1: {  // Xiph: each size but the last as a run of 255s and a final byte below 255
      const int count = in.next();
      if (count < 0) return nullptr;
      for (int i = 0; i < count; ++i) {
        int b;
        do {
          b = in.next();
          if (b < 0) return nullptr;
          if (i == 0) first += uint64_t(b);
        } while (b == 255);
      }
      break;
    }
    case 2: {  // fixed: frames of equal size, only the count
      const int count = in.next();
      if (count < 0) return nullptr;
      first = (e.end() - in.position()) / uint64_t(count + 1);
      break;
    }
    case 3: {  // EBML: the first size, then signed differences, all as variable-length integers
      const int count = in.next();
      if (count < 0) return nullptr;
      for (int i = 0; i < count; ++i) {
        uint64_t v;
        if (!readVint(in, v)) return nullptr;
        if (i == 0) first = v;
      }
      break;
    }
    default:
      break;
  }
  const uint64_t frames = e.end() - in.position();
  place.at = in.position();
  place.contiguous = uint32_t(std::min<uint64_t>(first && first < frames ? first : frames, UINT32_MAX));
  unit.ticks = int64_t(clusterTimestamp_) + relative;
  unit.bytes =
      uint32_t(e.size - (in.position() - e.data));  // the bytes of all frames; wraps like every count
  unit.key = (flags & 0x80) ? 1 : 0;
  return units;
}

}  // namespace

LoadResult readMatroska(InputFile& file, MkvFile& out, LoadControl* control) {
  const bool keepPlaces = out.videoUnits.keepPlaces, everyTrack = out.everyTrack;
  out = MkvFile{};
  out.videoUnits.keepPlaces = keepPlaces;
  out.everyTrack = everyTrack;
  if (!file.isOpen()) return LoadResult::fail(LoadFailure::CouldNotRead);
  try {
    return Walker(file, out, control).run();
  } catch (const std::bad_alloc&) {
    out = MkvFile{};
    return LoadResult::fail(LoadFailure::OutOfMemory);
  }
}

namespace {

TrackKind kindOf(const MkvTrack& t) {
  switch (t.type) {
    case 1:
      return TrackKind::Video;
    case 2:
      return TrackKind::Audio;
    case 17:
      return TrackKind::Subtitle;
    default:
      return TrackKind::Other;
  }
}

Track trackOf(InputFile& file, MkvTrack& m, TrackUnits&& units) {
  const auto clamp = [](uint64_t v) { return int32_t(std::min<uint64_t>(v, INT32_MAX)); };
  Track t;
  t.kind = kindOf(m);
  t.codec = m.codecId;
  t.language = m.language;
  t.name = m.name;
  t.id = m.number;
  if (t.kind == TrackKind::Video) {
    t.frameWidth = clamp(m.pixelWidth);
    t.frameHeight = clamp(m.pixelHeight);
    // DefaultDuration is the declared frame interval in ns.
    if (m.defaultDuration > 0) t.frameRateMilli = clamp(1000000000000ull / m.defaultDuration);
    std::vector<uint8_t> codecPrivate = std::move(m.codecPrivate);
    if (m.codecPrivateSize > codecPrivate.size()) {
      codecPrivate.resize(size_t(std::min(m.codecPrivateSize, kMaxVideoPrivate)));
      if (m.codecPrivateSize > kMaxVideoPrivate ||
          !file.readAt(m.codecPrivateAt, codecPrivate.data(), codecPrivate.size()))
        codecPrivate.clear();
    }
    t.coding = mkvVideoCoding(m.codecId, codecPrivate);
  }
  t.units = std::move(units);
  countTrackUnits(t);
  return t;
}

}  // namespace

LoadResult walkMatroska(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  MkvFile mkv;
  mkv.videoUnits.keepPlaces = out.videoUnits.keepPlaces;
  mkv.everyTrack = true;
  if (const LoadResult r = readMatroska(file, mkv, control); !r.ok()) return r;
  out.tracks.reserve(mkv.tracks.size() + 2);
  for (size_t i = 0; i < mkv.tracks.size(); ++i) {
    TrackUnits& units = int(i) == mkv.videoIndex   ? mkv.videoUnits
                        : int(i) == mkv.audioIndex ? mkv.audioUnits
                                                   : mkv.units[i];
    out.tracks.push_back(trackOf(file, mkv.tracks[i], std::move(units)));
  }
  // A chosen track past the entries kept comes last.
  out.defaultVideo = mkv.videoIndex;
  out.defaultAudio = mkv.audioIndex;
  if (mkv.hasVideo && mkv.videoIndex < 0) {
    out.defaultVideo = int(out.tracks.size());
    out.tracks.push_back(trackOf(file, mkv.video, std::move(mkv.videoUnits)));
  }
  if (mkv.hasAudio && mkv.audioIndex < 0) {
    out.defaultAudio = int(out.tracks.size());
    out.tracks.push_back(trackOf(file, mkv.audio, std::move(mkv.audioUnits)));
  }
  swapChosenTracks(out, out.defaultVideo, out.defaultAudio);
  notes.cutShort = mkv.cutShort;
  return LoadResult::success();
}

codec::TrackCoding mkvVideoCoding(const std::string& codecId, const std::vector<uint8_t>& codecPrivate) {
  using codec::Codec;
  static const std::pair<const char*, Codec> kIds[] = {
      {"V_MPEG4/ISO/AVC", Codec::H264},
      {"V_MPEGH/ISO/HEVC", Codec::Hevc},
      {"V_MPEG4/ISO/ASP", Codec::Mpeg4Part2},
      {"V_MPEG4/ISO/SP", Codec::Mpeg4Part2},
      {"V_MPEG4/ISO/AP", Codec::Mpeg4Part2},
      {"V_MPEG4/MS/V3", Codec::MsMpeg4v3},
      {"V_MPEG1", Codec::Mpeg12},
      {"V_MPEG2", Codec::Mpeg12},
      {"V_REAL/RV10", Codec::RealVideo1},
      {"V_REAL/RV20", Codec::RealVideo2},
      {"V_REAL/RV30", Codec::RealVideo3},
      {"V_REAL/RV40", Codec::RealVideo4},
      {"V_VP8", Codec::Vp8},
      {"V_VP9", Codec::Vp9},
      {"V_AV1", Codec::Av1},
      {"V_MJPEG", Codec::IntraOnly},
      {"V_PRORES", Codec::IntraOnly},
      {"V_FFV1", Codec::IntraOnly},
      {"V_UNCOMPRESSED", Codec::IntraOnly},
  };
  codec::TrackCoding out;
  for (const auto& [id, c] : kIds) {
    if (codecId != id) continue;
    out.codec = c;
    out.config = codecPrivate;
    out.lengthPrefixed = c == Codec::H264 || c == Codec::Hevc;
  }
  return out;
}

bool looksLikeMatroska(const uint8_t* head, size_t n) {
  // The header's size is a variable-length integer: its first byte is not 0.
  return n >= 5 && readU32be(head) == kIdEbml && head[4] != 0;
}

}  // namespace mv
