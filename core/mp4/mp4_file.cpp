#include "mp4/mp4_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "mp4/mp4_reader.h"
#include "platform/byte_cursor.h"
#include "platform/byte_order.h"

namespace mv {
namespace {

constexpr uint32_t kFtyp = fourccBe("ftyp");
constexpr uint32_t kMoov = fourccBe("moov");
constexpr uint32_t kMdat = fourccBe("mdat");
constexpr uint32_t kMoof = fourccBe("moof");
constexpr uint32_t kMvhd = fourccBe("mvhd");
constexpr uint32_t kTrak = fourccBe("trak");
constexpr uint32_t kTkhd = fourccBe("tkhd");
constexpr uint32_t kEdts = fourccBe("edts");
constexpr uint32_t kElst = fourccBe("elst");
constexpr uint32_t kMdia = fourccBe("mdia");
constexpr uint32_t kMdhd = fourccBe("mdhd");
constexpr uint32_t kHdlr = fourccBe("hdlr");
constexpr uint32_t kMinf = fourccBe("minf");
constexpr uint32_t kStbl = fourccBe("stbl");
constexpr uint32_t kStsd = fourccBe("stsd");
constexpr uint32_t kStts = fourccBe("stts");
constexpr uint32_t kStsz = fourccBe("stsz");
constexpr uint32_t kStz2 = fourccBe("stz2");
constexpr uint32_t kStsc = fourccBe("stsc");
constexpr uint32_t kStco = fourccBe("stco");
constexpr uint32_t kCo64 = fourccBe("co64");
constexpr uint32_t kStss = fourccBe("stss");
constexpr uint32_t kMvex = fourccBe("mvex");
constexpr uint32_t kTrex = fourccBe("trex");
constexpr uint32_t kTraf = fourccBe("traf");
constexpr uint32_t kTfhd = fourccBe("tfhd");
constexpr uint32_t kTfdt = fourccBe("tfdt");
constexpr uint32_t kTrun = fourccBe("trun");
constexpr uint32_t kVide = fourccBe("vide");
constexpr uint32_t kSoun = fourccBe("soun");
constexpr uint32_t kUdta = fourccBe("udta");
constexpr uint32_t kName = fourccBe("name");
constexpr size_t kMaxNameKept = 1024;

constexpr uint32_t kNonSyncSample = 0x10000;

// A kept sample takes at least four bytes of the file: its size entry, or the data of a sample of
// a default size. Samples of fewer bytes declared only by a count take none.
constexpr uint64_t kSmallestSample = 4;

uint64_t readU64be(const uint8_t* p) { return (uint64_t(readU32be(p)) << 32) | readU32be(p + 4); }

bool printableType(uint32_t type) {
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = uint8_t(type >> (8 * i));
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// A child box inside a block held in memory.
struct Child {
  uint32_t type = 0;
  size_t start = 0;  // of the header
  size_t body = 0;   // after the header
  size_t end = 0;    // clamped to the parent
};

// The box at `pos` before `end`; false when no valid header fits, which ends the parent's list.
// A box that claims more than its parent holds is read up to the parent's end, as demuxers do.
bool nextChild(const uint8_t* b, size_t& pos, size_t end, Child& c) {
  if (pos > end || end - pos < 8) return false;
  uint64_t size = readU32be(b + pos);
  c.type = readU32be(b + pos + 4);
  size_t header = 8;
  if (size == 1) {
    if (end - pos < 16) return false;
    size = readU64be(b + pos + 8);
    header = 16;
  } else if (size == 0) {
    size = end - pos;
  }
  if (size < header) return false;
  c.start = pos;
  c.body = pos + header;
  c.end = size > end - pos ? end : pos + size_t(size);
  pos = c.end;
  return true;
}

// A full box's body after version and flags, if it holds `need` bytes past them.
bool fullBody(size_t at, size_t end, size_t need) { return end >= at && end - at >= 4 + need; }

// Boxes the moov walk descends into; the deepest box read is an stbl child, four levels down.
bool isContainer(uint32_t type) {
  return type == kTrak || type == kMdia || type == kMinf || type == kStbl || type == kEdts || type == kMvex;
}
constexpr int kDeepestContainer = 4;

bool isTable(uint32_t type) {
  return type == kStts || type == kStsz || type == kStz2 || type == kStsc || type == kStco || type == kCo64 ||
         type == kStss;
}
// Version, flags and the counts of a table, which are all the walk reads of it in memory.
constexpr size_t kTableHead = 12;

// The n bytes (n <= 8) at `offset` in a sample table read through `table`; zeros past its end or
// when they cannot be read (the file then reports the failure).
const uint8_t* tableBytes(ByteCursor& table, uint64_t offset, size_t n) {
  static const uint8_t kZeros[8] = {};
  const uint8_t* p = offset <= table.end() - table.start() ? table.at(table.start() + offset, n) : nullptr;
  return p ? p : kZeros;
}

}  // namespace

bool Mp4Track::isVideo() const { return handler == kVide; }
bool Mp4Track::isAudio() const { return handler == kSoun; }

uint32_t Mp4Track::width() const {
  if (isVideo() && sampleEntry.size() >= 36) return readU16be(sampleEntry.data() + 32);
  return tkhdWidth >> 16;
}

uint32_t Mp4Track::height() const {
  if (isVideo() && sampleEntry.size() >= 36) return readU16be(sampleEntry.data() + 34);
  return tkhdHeight >> 16;
}

UnitClock Mp4Track::clock(uint32_t movieTimescale) const {
  // On the movie clock: dts / ts + empty / movieTs − mediaTime / ts
  //   = (dts × movieTs + empty × ts − mediaTime × movieTs) / (ts × movieTs)
  const uint32_t ts = timescale ? timescale : 1;
  const uint32_t movie = movieTimescale ? movieTimescale : 1;
  UnitClock c;
  c.mul = movie;
  c.den = uint64_t(ts) * movie;
  c.add = Int128(edits.leadingEmpty) * ts;
  if (edits.hasMediaEdit) c.add -= Int128(edits.firstMediaTime) * movie;
  return c;
}

Mp4File::Mp4File(InputFile& file, LoadControl* control, Keep keep, bool keepPlaces)
    : file_(file), gate_(control, file.length()), keep_(keep), keepPlaces_(keepPlaces) {
  try {
    result_ = parse();
  } catch (const std::bad_alloc&) {
    result_ = LoadResult::fail(LoadFailure::OutOfMemory);
  }
  if (result_.ok() && file_.readFailed()) result_ = LoadResult::fail(LoadFailure::CouldNotRead);
}

LoadResult Mp4File::parse() {
  length_ = file_.length();
  // A track never counts more samples than the file has bytes: samples described only by
  // defaults could otherwise count without end. Kept samples are refused well before that.
  keptLimit_ = unitLimit(length_, kSmallestSample);
  unitCap_ = std::max(length_, keptLimit_);
  bool first = true, haveMoov = false;
  struct Span64 {
    uint64_t start, body, end;
  };
  std::vector<Span64> earlyMoofs;  // moofs before the moov, read once it is known
  uint64_t pos = 0;
  while (pos < length_) {
    if (!gate_.at(pos)) return LoadResult::fail(LoadFailure::Cancelled, pos);
    const size_t avail = size_t(std::min<uint64_t>(16, length_ - pos));
    if (avail < 8) {
      if (first) return LoadResult::fail(LoadFailure::NotThisFormat, pos);
      break;
    }
    const uint8_t* h = file_.peek(pos, avail);
    if (!h) return LoadResult::fail(LoadFailure::CouldNotRead, pos);
    uint64_t size = readU32be(h);
    const uint32_t type = readU32be(h + 4);
    uint64_t header = 8;
    if (size == 1) {
      if (avail < 16) {
        if (first) return LoadResult::fail(LoadFailure::NotThisFormat, pos);
        break;
      }
      size = readU64be(h + 8);
      header = 16;
    } else if (size == 0) {
      size = length_ - pos;
    }
    if (size < header || (first && !printableType(type))) {
      if (first) return LoadResult::fail(LoadFailure::NotThisFormat, pos);
      break;  // what follows is not a box: the file holds what came before
    }
    first = false;
    const bool cut = size > length_ - pos;
    cutShort_ = cutShort_ || cut;
    const uint64_t end = cut ? length_ : pos + size;
    if (type == kMoov && !haveMoov) {
      if (cut) return LoadResult::fail(LoadFailure::Damaged, pos);
      if (LoadResult r = readMoov(pos + header, end); !r.ok()) return r;
      haveMoov = true;
      for (const Span64& m : earlyMoofs) {
        if (LoadResult r = readMoof(m.start, m.body, m.end); !r.ok()) return r;
      }
      earlyMoofs.clear();
    } else if (type == kMoof && !cut) {
      ++fragmentCount_;
      if (haveMoov) {
        if (LoadResult r = readMoof(pos, pos + header, end); !r.ok()) return r;
      } else {
        earlyMoofs.push_back({pos, pos + header, end});
      }
    } else if (type == kFtyp && !cut && !hasFtyp_) {
      readFtyp(pos + header, end);
    }
    if (cut) break;
    pos = end;
  }
  if (first) return LoadResult::fail(LoadFailure::NotThisFormat, 0);
  if (!haveMoov) return LoadResult::fail(LoadFailure::Damaged, pos);
  // What the fragments' growth left spare in the other tracks goes back: 16 bytes a unit.
  for (Mp4Track& t : tracks_) {
    if (t.sharesRoom && t.units.capacity() - t.units.size() > t.units.size() / 8 + 1024)
      t.units.shrink_to_fit();
  }
  return LoadResult::success();
}

void Mp4File::readFtyp(uint64_t body, uint64_t end) {
  const size_t n = size_t(std::min<uint64_t>(end - body, InputFile::kBufferSize));
  if (n < 8) return;
  const uint8_t* b = file_.peek(body, n);
  if (!b) return;
  hasFtyp_ = true;
  majorBrand_ = readU32be(b);
  minorVersion_ = readU32be(b + 4);
  for (size_t i = 8; i + 4 <= n; i += 4) compatible_.push_back(readU32be(b + i));
}

LoadResult Mp4File::readMoov(uint64_t body, uint64_t end) {
  // The moov lies wholly in the file (checked by the caller), so its size is bounded by it.
  moovSize_ = size_t(end - body);
  moovBody_ = body;
  moov_.reset(static_cast<uint8_t*>(std::calloc(moovSize_ ? moovSize_ : 1, 1)));
  if (!moov_) return LoadResult::fail(LoadFailure::OutOfMemory, body);
  if (!fillMoov(0, moovSize_, 0)) return LoadResult::fail(LoadFailure::CouldNotRead, body);
  const uint8_t* b = moov_.get();
  std::vector<size_t> trexes;
  size_t pos = 0;
  for (Child c; nextChild(b, pos, moovSize_, c);) {
    if (c.type == kMvhd && fullBody(c.body, c.end, 0)) {
      const bool v1 = b[c.body] == 1;
      if (fullBody(c.body, c.end, v1 ? 28 : 16)) {
        const size_t at = c.body + 4 + (v1 ? 16 : 8);
        movieTimescale_ = readU32be(b + at);
        movieDuration_ = v1 ? readU64be(b + at + 4) : readU32be(b + at + 4);
      }
    } else if (c.type == kTrak) {
      readTrak(c.body, c.end);
    } else if (c.type == kMvex) {
      hasMvex_ = true;
      size_t p = c.body;
      for (Child e; nextChild(b, p, c.end, e);) {
        if (e.type == kTrex) trexes.push_back(e.body), trexes.push_back(e.end);
      }
    }
  }
  for (size_t i = 0; i + 1 < trexes.size(); i += 2) readTrex(trexes[i], trexes[i + 1]);
  for (size_t i = 0; i < tracks_.size(); ++i) {
    if (video_ < 0 && tracks_[i].isVideo()) video_ = int(i);
    if (audio_ < 0 && tracks_[i].isAudio()) audio_ = int(i);
  }
  // The tracks besides the first video and audio share one track's room: however many tracks a
  // moov declares over the same bytes, they keep no more units than the file could hold.
  sharedRoom_ = keptLimit_;
  for (size_t i = 0; i < tracks_.size(); ++i) {
    Mp4Track& t = tracks_[i];
    const bool chosen = int(i) == video_ || int(i) == audio_;
    t.read = true;
    t.keepUnits = keep_ == Keep::Units;
    t.sharesRoom = !chosen;
    t.room = keptLimit_;
    t.keepPlaces = t.keepUnits && keepPlaces_ && t.isVideo();
    collectMoovSamples(t);
  }
  return refused_;
}

// Copies the boxes of [pos, end) into the moov block, descending the way the walk does, so that
// the walk finds every box where it is; false on a read error.
bool Mp4File::fillMoov(size_t pos, size_t end, int depth) {
  uint8_t* b = moov_.get();
  while (end > pos && end - pos >= 8) {
    if (!file_.readAt(moovBody_ + pos, b + pos, std::min<size_t>(16, end - pos))) return false;
    Child c;
    if (!nextChild(b, pos, end, c)) break;
    if (isContainer(c.type)) {
      if (depth < kDeepestContainer && !fillMoov(c.body, c.end, depth + 1)) return false;
      continue;
    }
    const size_t keep = isTable(c.type) ? std::min(kTableHead, c.end - c.body) : c.end - c.body;
    if (keep && !file_.readAt(moovBody_ + c.body, b + c.body, keep)) return false;
  }
  return true;
}

void Mp4File::readTrak(size_t at, size_t end) {
  Mp4Track t;
  const uint8_t* b = moov_.get();
  std::string udtaName;
  for (Child c; nextChild(b, at, end, c);) {
    if (c.type == kUdta) {
      size_t p = c.body;
      for (Child e; nextChild(b, p, c.end, e);) {
        if (e.type == kName && udtaName.empty()) {
          udtaName.assign(reinterpret_cast<const char*>(b + e.body), std::min(e.end - e.body, kMaxNameKept));
          udtaName.resize(std::strlen(udtaName.c_str()));
        }
      }
    } else if (c.type == kTkhd) {
      readTkhd(c.body, c.end, t);
    } else if (c.type == kEdts) {
      size_t p = c.body;
      for (Child e; nextChild(b, p, c.end, e);) {
        if (e.type == kElst) {
          readElst(e.body, e.end, t);
          break;
        }
      }
    } else if (c.type == kMdia) {
      readMdia(c.body, c.end, t);
    }
  }
  if (!udtaName.empty()) t.name = std::move(udtaName);
  tracks_.push_back(std::move(t));
}

void Mp4File::readTkhd(size_t at, size_t end, Mp4Track& t) {
  const uint8_t* b = moov_.get();
  if (!fullBody(at, end, 0)) return;
  const bool v1 = b[at] == 1;
  // creation, modification, track_ID, reserved, duration, reserved[2], layer, group, volume,
  // reserved, matrix, width, height
  const size_t id = at + 4 + (v1 ? 16 : 8);
  if (fullBody(at, end, (v1 ? 16 : 8) + 4)) t.trackId = readU32be(b + id);
  const size_t size = id + 4 + 4 + (v1 ? 8 : 4) + 8 + 8 + 36;
  if (size <= end && end - size >= 8) {
    t.tkhdWidth = readU32be(b + size);
    t.tkhdHeight = readU32be(b + size + 4);
  }
}

void Mp4File::readElst(size_t at, size_t end, Mp4Track& t) {
  const uint8_t* b = moov_.get();
  if (!fullBody(at, end, 4)) return;
  const bool v1 = b[at] == 1;
  const size_t entry = v1 ? 20 : 12;
  const uint64_t count = std::min<uint64_t>(readU32be(b + at + 4), (end - at - 8) / entry);
  t.edits.count = uint32_t(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = b + at + 8 + i * entry;
    const uint64_t duration = v1 ? readU64be(e) : readU32be(e);
    const int64_t mediaTime = v1 ? int64_t(readU64be(e + 8)) : int64_t(int32_t(readU32be(e + 4)));
    if (mediaTime == -1) {
      t.edits.leadingEmpty += duration;
      continue;
    }
    t.edits.hasMediaEdit = true;
    t.edits.firstMediaTime = mediaTime;
    break;  // later edits do not move the track
  }
}

void Mp4File::readMdia(size_t at, size_t end, Mp4Track& t) {
  const uint8_t* b = moov_.get();
  for (Child c; nextChild(b, at, end, c);) {
    if (c.type == kMdhd && fullBody(c.body, c.end, 0)) {
      const bool v1 = b[c.body] == 1;
      const size_t ts = c.body + 4 + (v1 ? 16 : 8);
      if (fullBody(c.body, c.end, (v1 ? 16 : 8) + 4)) t.timescale = std::max<uint32_t>(readU32be(b + ts), 1);
      if (fullBody(c.body, c.end, (v1 ? 16 : 8) + 4 + (v1 ? 8 : 4) + 2)) {
        t.mediaDuration = v1 ? readU64be(b + ts + 4) : readU32be(b + ts + 4);
        t.language = readU16be(b + ts + (v1 ? 12 : 8));
      }
    } else if (c.type == kHdlr && fullBody(c.body, c.end, 8)) {
      t.handler = readU32be(b + c.body + 8);
      readHdlrName(c.body + 24, c.end, t);
    } else if (c.type == kMinf) {
      size_t p = c.body;
      for (Child m; nextChild(b, p, c.end, m);) {
        if (m.type == kStbl) readStbl(m.body, m.end, t);
      }
    }
  }
}

// A C string in MP4, a counted one in QuickTime.
void Mp4File::readHdlrName(size_t at, size_t end, Mp4Track& t) {
  if (at >= end) return;
  const char* p = reinterpret_cast<const char*>(moov_.get() + at);
  size_t n = std::min(end - at, kMaxNameKept);
  if (uint8_t(p[0]) < 0x20 && uint8_t(p[0]) < n) n = uint8_t(p[0]), ++p;
  t.name.assign(p, n);
  t.name.resize(std::strlen(t.name.c_str()));
}

void Mp4File::readStbl(size_t at, size_t end, Mp4Track& t) {
  const uint8_t* b = moov_.get();
  for (Child c; nextChild(b, at, end, c);) {
    Mp4Track::Span span{c.body, c.end - c.body, true, moovBody_ + c.start};
    switch (c.type) {
      case kStsd: {
        // version, flags, entry_count, then the entries as boxes: the first one names the codec.
        size_t p = c.body + 8;
        Child e;
        if (fullBody(c.body, c.end, 4) && nextChild(b, p, c.end, e)) {
          t.codec = e.type;
          t.sampleEntry.assign(b + c.body + 8, b + e.end);
        }
        break;
      }
      case kStts:
        t.stts = span;
        break;
      case kStsz:
        t.stsz = span;
        break;
      case kStz2:
        t.stz2 = span;
        break;
      case kStsc:
        t.stsc = span;
        break;
      case kStco:
        t.stco = span;
        break;
      case kCo64:
        t.co64 = span;
        break;
      case kStss:
        t.stss = span;
        break;
      default:
        break;
    }
  }
}

void Mp4File::readTrex(size_t at, size_t end) {
  const uint8_t* b = moov_.get();
  if (!fullBody(at, end, 20)) return;
  const uint32_t id = readU32be(b + at + 4);
  for (Mp4Track& t : tracks_) {
    if (t.trackId != id) continue;
    t.trexDuration = readU32be(b + at + 12);
    t.trexSize = readU32be(b + at + 16);
    t.trexFlags = readU32be(b + at + 20);
    break;
  }
}

// Inlined into the sample loops: a call a sample was a sixth of an MP4 walk.
[[gnu::always_inline]] inline void Mp4File::addSample(Mp4Track& t, int64_t dts, uint32_t size, bool key,
                                                      uint64_t declaredAt, uint64_t timedAt,
                                                      uint64_t offset) {
  if (t.keepUnits && roomOf(t) == 0) {
    outOfRoom(t, declaredAt);
    if (t.keepUnits || !refused_.ok()) return;
  }
  if (t.sampleCount == 0) t.firstDts = dts;
  t.lastDts = dts;
  ++t.sampleCount;
  t.sampleBytes += size;
  if (!t.keepUnits) return;
  t.stamps.note(dts, timedAt);
  if (t.asRuns && key) {
    const size_t runs = t.runs.size();
    addToRun(t.runs, dts, size);
    roomOf(t) -= t.runs.size() - runs;
  } else {
    t.units.push_back(TimedUnit{dts, size, key ? 1u : 0u});
    --roomOf(t);
  }
  // A sample lies in one piece.
  if (t.keepPlaces) t.places.push_back(UnitPlace{offset, size});
}

void Mp4File::outOfRoom(Mp4Track& t, uint64_t declaredAt) {
  if (!t.sharesRoom) {
    refused_ = LoadResult::fail(LoadFailure::Damaged, declaredAt);
    return;
  }
  // Only a damaged file gets here: what the track kept goes back to the others.
  sharedRoom_ += t.units.size() + t.runs.size();
  t.keepUnits = t.keepPlaces = false;
  t.unitsDropped = true;
  t.units = UnitVector();
  t.runs = {};
  t.places = {};
  t.stamps = {};
}

void Mp4File::collectMoovSamples(Mp4Track& t) {
  const uint8_t* b = moov_.get();
  // Entry counts are trusted only as far as their box holds entries.
  const auto entries = [&](const Mp4Track::Span& s, size_t head, size_t entrySize) -> uint64_t {
    if (!s.present || s.size < head) return 0;
    return std::min<uint64_t>(readU32be(b + s.at + head - 4), (s.size - head) / entrySize);
  };
  // Sizes: stsz (one size for all, or a table) or stz2 (4, 8 or 16 bits per sample).
  uint64_t count = 0;
  uint32_t fixedSize = 0;
  unsigned fieldBits = 32;
  size_t sizesAt = 0;
  const bool useStsz = t.stsz.present && t.stsz.size >= 12;
  if (useStsz) {
    fixedSize = readU32be(b + t.stsz.at + 4);
    count = readU32be(b + t.stsz.at + 8);
    sizesAt = 12;
    // Samples of one size each hold their own bytes of the file.
    count = fixedSize ? std::min<uint64_t>(count, length_ / fixedSize)
                      : std::min<uint64_t>(count, (t.stsz.size - 12) / 4);
  } else if (t.stz2.present && t.stz2.size >= 12) {
    fieldBits = b[t.stz2.at + 7];
    count = readU32be(b + t.stz2.at + 8);
    sizesAt = 12;
    count = fieldBits == 4 || fieldBits == 8 || fieldBits == 16
                ? std::min<uint64_t>(count, (t.stz2.size - 12) * 8 / fieldBits)
                : 0;
  }
  const uint64_t sttsCount = entries(t.stts, 8, 8);
  const uint64_t stscCount = entries(t.stsc, 8, 12);
  const bool wide = !t.stco.present && t.co64.present;
  const uint64_t chunkCount = wide ? entries(t.co64, 8, 8) : entries(t.stco, 8, 4);
  const uint64_t syncCount = entries(t.stss, 8, 4);
  const bool allKey = !t.stss.present;
  // Each table is read in order through its own window.
  const auto reader = [&](const Mp4Track::Span& s) {
    const uint64_t at = moovBody_ + s.at;
    return ByteCursor(file_, at, at + (s.present ? s.size : 0), InputFile::kBufferSize);
  };
  ByteCursor sizes = reader(useStsz ? t.stsz : t.stz2), stts = reader(t.stts), stsc = reader(t.stsc),
             chunks = reader(wide ? t.co64 : t.stco), stss = reader(t.stss);
  t.asRuns = fixedSize != 0 && t.isAudio();
  if (t.keepUnits && !t.asRuns)
    t.units.reserve(size_t(std::min<uint64_t>({count, roomOf(t), uint64_t(1) << 22})));

  uint64_t dts = t.nextDts;
  uint64_t sttsIndex = 0, runLeft = 0;
  uint32_t delta = 0;
  uint64_t chunk = 0, stscIndex = 0, inChunk = 0, offset = 0;
  bool haveChunk = true;
  uint64_t syncIndex = 0;
  for (uint64_t i = 0; i < count; ++i) {
    uint32_t size = fixedSize;
    if (!fixedSize) {
      if (fieldBits == 32) {
        size = readU32be(tableBytes(sizes, sizesAt + 4 * i, 4));
      } else if (fieldBits == 16) {
        size = readU16be(tableBytes(sizes, sizesAt + 2 * i, 2));
      } else if (fieldBits == 8) {
        size = *tableBytes(sizes, sizesAt + i, 1);
      } else {
        const uint8_t v = *tableBytes(sizes, sizesAt + i / 2, 1);
        size = i % 2 ? v & 0x0F : v >> 4;
      }
    }
    while (runLeft == 0 && sttsIndex < sttsCount) {
      const uint8_t* e = tableBytes(stts, 8 + 8 * sttsIndex, 8);
      runLeft = readU32be(e);
      delta = readU32be(e + 4);
      ++sttsIndex;
    }
    // Samples past the last stts entry take no time.
    const uint32_t duration = runLeft ? delta : 0;
    if (runLeft) --runLeft;
    while (haveChunk && inChunk == 0) {
      if (chunk >= chunkCount || stscCount == 0) {
        haveChunk = false;
        break;
      }
      offset = wide ? readU64be(tableBytes(chunks, 8 + 8 * chunk, 8))
                    : readU32be(tableBytes(chunks, 8 + 4 * chunk, 4));
      ++chunk;
      while (stscIndex + 1 < stscCount && readU32be(tableBytes(stsc, 8 + 12 * (stscIndex + 1), 4)) <= chunk)
        ++stscIndex;
      inChunk = readU32be(tableBytes(stsc, 12 + 12 * stscIndex, 4));
    }
    bool key = allKey;
    if (!allKey) {
      while (syncIndex < syncCount && readU32be(tableBytes(stss, 8 + 4 * syncIndex, 4)) < i + 1) ++syncIndex;
      key = syncIndex < syncCount && readU32be(tableBytes(stss, 8 + 4 * syncIndex, 4)) == i + 1;
    }
    if (haveChunk) {
      --inChunk;
      const bool inFile = offset <= length_ && size <= length_ - offset;
      if (inFile && !full(t))
        addSample(t, int64_t(dts), size, key, (useStsz ? t.stsz : t.stz2).box, t.stts.box, offset);
      if (!refused_.ok()) break;
      if (!inFile && offset <= length_) cutShort_ = true;  // begins in the file, ends past it
      offset = offset > UINT64_MAX - size ? UINT64_MAX : offset + size;
    }
    dts += duration;
  }
  t.nextDts = dts;
  // Samples the table declares past the file's end leave their room unused: a track sharing
  // room keeps only what it holds, or many such tracks would each hold a reserve.
  if (t.sharesRoom && t.units.capacity() > 2 * t.units.size() + 1024) t.units.shrink_to_fit();
}

LoadResult Mp4File::readMoof(uint64_t start, uint64_t body, uint64_t end) {
  if (!gate_.at(start)) return LoadResult::fail(LoadFailure::Cancelled, start);
  moof_.resize(size_t(end - body));
  moofBody_ = body;
  if (!moof_.empty() && !file_.readAt(body, moof_.data(), moof_.size()))
    return LoadResult::fail(LoadFailure::CouldNotRead, body);
  // Without explicit offsets, a track fragment's data follows the previous one's, the first
  // starting at the moof.
  uint64_t implicitOffset = start;
  size_t pos = 0;
  for (Child c; nextChild(moof_.data(), pos, moof_.size(), c);) {
    if (c.type == kTraf) readTraf(c.body, c.end, start, implicitOffset);
  }
  return refused_;
}

void Mp4File::readTraf(size_t at, size_t end, uint64_t moofStart, uint64_t& implicitOffset) {
  const uint8_t* b = moof_.data();
  bool haveTfhd = false, haveTfdt = false;
  uint32_t tfhdFlags = 0;
  uint64_t base = 0, baseTime = 0;
  Mp4Track* t = nullptr;
  uint32_t defDuration = 0, defSize = 0, defFlags = 0;
  size_t p = at;
  for (Child c; nextChild(b, p, end, c);) {
    if (c.type == kTfhd && !haveTfhd && fullBody(c.body, c.end, 4)) {
      haveTfhd = true;
      tfhdFlags = readU32be(b + c.body) & 0xFFFFFF;
      const uint32_t id = readU32be(b + c.body + 4);
      for (Mp4Track& k : tracks_) {
        if (k.trackId == id) {
          t = &k;
          break;
        }
      }
      if (t) {
        defDuration = t->trexDuration;
        defSize = t->trexSize;
        defFlags = t->trexFlags;
      }
      base = tfhdFlags & 0x20000 ? moofStart : implicitOffset;
      size_t f = c.body + 8;
      const auto field = [&](uint32_t flag, size_t bytes, auto&& use) {
        if (!(tfhdFlags & flag)) return;
        if (f + bytes <= c.end) use(b + f);
        f += bytes;
      };
      field(0x1, 8, [&](const uint8_t* v) { base = readU64be(v); });
      field(0x2, 4, [](const uint8_t*) {});
      field(0x8, 4, [&](const uint8_t* v) { defDuration = readU32be(v); });
      field(0x10, 4, [&](const uint8_t* v) { defSize = readU32be(v); });
      field(0x20, 4, [&](const uint8_t* v) { defFlags = readU32be(v); });
    } else if (c.type == kTfdt && !haveTfdt && fullBody(c.body, c.end, 4)) {
      const bool v1 = b[c.body] == 1;
      if (!v1 || fullBody(c.body, c.end, 8)) {
        haveTfdt = true;
        baseTime = v1 ? readU64be(b + c.body + 4) : readU32be(b + c.body + 4);
      }
    }
  }
  if (!haveTfhd) return;
  if (t && !t->read) t = nullptr;
  if (t && haveTfdt) t->nextDts = baseTime;

  bool firstRun = true;
  uint64_t dataEnd = base;
  p = at;
  for (Child c; nextChild(b, p, end, c);) {
    if (c.type != kTrun || !fullBody(c.body, c.end, 4)) continue;
    const uint32_t flags = readU32be(b + c.body) & 0xFFFFFF;
    uint64_t count = readU32be(b + c.body + 4);
    size_t f = c.body + 8;
    bool offsetValid = true;
    uint64_t offset = firstRun ? base : dataEnd;
    if (flags & 0x1) {
      if (f + 4 > c.end) continue;
      const int32_t dataOffset = int32_t(readU32be(b + f));
      f += 4;
      if (dataOffset < 0 && uint64_t(-int64_t(dataOffset)) > base) {
        offsetValid = false;
      } else {
        offset = base + uint64_t(int64_t(dataOffset));
        if (dataOffset >= 0 && offset < base) offsetValid = false;  // wrapped
      }
    }
    bool haveFirstFlags = false;
    uint32_t firstFlags = 0;
    if (flags & 0x4) {
      if (f + 4 > c.end) continue;
      haveFirstFlags = true;
      firstFlags = readU32be(b + f);
      f += 4;
    }
    const size_t entrySize =
        4 * (((flags >> 8) & 1) + ((flags >> 9) & 1) + ((flags >> 10) & 1) + ((flags >> 11) & 1));
    if (entrySize) count = std::min<uint64_t>(count, (c.end - std::min(f, c.end)) / entrySize);
    firstRun = false;
    // Samples of a default size are declared by the count alone: refused before they are kept
    // when the file cannot hold them.
    if (t && t->keepUnits && !t->asRuns && !entrySize && offsetValid && offset <= length_) {
      const uint64_t kept = std::min(count, defSize ? (length_ - offset) / defSize : count);
      if (kept > roomOf(*t)) {
        outOfRoom(*t, moofBody_ + c.start);
        if (!refused_.ok()) return;
      }
    }
    uint64_t dts = t ? t->nextDts : 0;
    for (uint64_t i = 0; i < count; ++i) {
      uint32_t duration = defDuration, size = defSize, sampleFlags = defFlags;
      if (i == 0 && haveFirstFlags) sampleFlags = firstFlags;
      if (entrySize) {
        const uint8_t* e = b + f + i * entrySize;
        if (flags & 0x100) duration = readU32be(e), e += 4;
        if (flags & 0x200) size = readU32be(e), e += 4;
        if (flags & 0x400) sampleFlags = readU32be(e);
      } else if (i > 0 && (!t || full(*t) || !offsetValid || offset > length_ || size > length_ - offset)) {
        // The rest of a run of default samples adds nothing more: step over it at once.
        const uint64_t rest = count - i;
        dts += rest * duration;
        uint64_t bytes = 0;
        offset = __builtin_mul_overflow(rest, uint64_t(size), &bytes) || bytes > UINT64_MAX - offset
                     ? UINT64_MAX
                     : offset + bytes;
        break;
      }
      const bool inFile = offsetValid && offset <= length_ && size <= length_ - offset;
      if (t && inFile && !full(*t))
        addSample(*t, int64_t(dts), size, !(sampleFlags & kNonSyncSample), moofBody_ + c.start,
                  moofBody_ + c.start, offset);
      if (t && !inFile && offsetValid && offset <= length_) cutShort_ = true;
      offset = offset > UINT64_MAX - size ? UINT64_MAX : offset + size;
      dts += duration;
    }
    if (t) t->nextDts = dts;
    dataEnd = offset;
    implicitOffset = offset;
  }
}

bool looksLikeMp4(const uint8_t* head, size_t n) {
  if (n < 16) return false;
  const uint32_t type = readU32be(head + 4);
  static constexpr uint32_t kOpening[] = {kFtyp,           kMoov, kMdat, fourccBe("free"), fourccBe("wide"),
                                          fourccBe("skip")};
  if (std::find(std::begin(kOpening), std::end(kOpening), type) == std::end(kOpening)) return false;
  uint64_t size = readU32be(head);
  if (size == 1) {
    size = readU64be(head + 8);
    if (size < 16) return false;
  } else if (size == 0) {
    return type == kMdat;  // only the last box runs to the end of the file
  } else if (size < 8) {
    return false;
  }
  if (type == kFtyp && (size < 16 || !printableType(readU32be(head + 8)))) return false;
  // A box the head holds whole is followed by another.
  return size + 8 > n || printableType(readU32be(head + size + 4));
}

}  // namespace mv
