#include "avi/avi_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <set>

#include "codec/fourcc.h"
#include "platform/byte_order.h"

namespace mv {
namespace {

constexpr uint32_t kIdRiff = fourccLe("RIFF");
constexpr uint32_t kIdList = fourccLe("LIST");
constexpr uint32_t kFormAvi = fourccLe("AVI ");
constexpr uint32_t kFormAvix = fourccLe("AVIX");
constexpr uint32_t kListMovi = fourccLe("movi");
constexpr uint32_t kIdAvih = fourccLe("avih");
constexpr uint32_t kIdStrh = fourccLe("strh");
constexpr uint32_t kIdStrf = fourccLe("strf");
constexpr uint32_t kIdStrn = fourccLe("strn");
constexpr uint32_t kIdIndx = fourccLe("indx");
constexpr uint32_t kIdIdx1 = fourccLe("idx1");
constexpr uint32_t kIdDmlh = fourccLe("dmlh");
constexpr uint32_t kTypeVids = fourccLe("vids");
constexpr uint32_t kTypeAuds = fourccLe("auds");
constexpr uint32_t kTypeTxts = fourccLe("txts");

constexpr uint32_t kIndexKeyFrame = 0x10;  // AVIIF_KEYFRAME
constexpr uint32_t kIndexNoTime = 0x100;   // AVIIF_NOTIME: not part of the play time
constexpr uint16_t kWaveMp3 = 0x0055;
constexpr uint16_t kMp3FrameSamples = 1152;

constexpr size_t kIndexEntrySize = AviReader::kIndexEntrySize;
constexpr size_t kChunkHeaderSize = 8;
// Index entries per block read through the file's buffer.
constexpr size_t kIndexBlockEntries = InputFile::kBufferSize / kIndexEntrySize;

// Stream positions 0-99 as AVI writers number them in chunk ids: two ASCII digits. Streams from
// position 100 on cannot be named by a two-digit code and match no index entry.
bool streamCode(size_t position, uint16_t& code) {
  if (position > 99) return false;
  const uint8_t hi = uint8_t('0' + position / 10), lo = uint8_t('0' + position % 10);
  code = uint16_t(hi | (lo << 8));
  return true;
}

// The stream position a chunk id's two digits name, or -1.
int streamOfCode(uint16_t code) {
  const int tens = int(code & 0xFF) - '0', ones = int(code >> 8) - '0';
  return tens >= 0 && tens <= 9 && ones >= 0 && ones <= 9 ? tens * 10 + ones : -1;
}

}  // namespace

void AviMainHeader::parse(const uint8_t* b) {
  dwMicroSecPerFrame = readU32le(b + 0);
  dwMaxBytesPerSec = readU32le(b + 4);
  dwPaddingGranularity = readU32le(b + 8);
  dwFlags = readU32le(b + 12);
  dwTotalFrames = readU32le(b + 16);
  dwInitialFrames = readU32le(b + 20);
  dwStreams = readU32le(b + 24);
  dwSuggestedBufferSize = readU32le(b + 28);
  dwWidth = readU32le(b + 32);
  dwHeight = readU32le(b + 36);
  for (size_t i = 0; i < 4; ++i) dwReserved[i] = readU32le(b + 40 + 4 * i);
}

void AviStreamHeader::parse(const uint8_t* b) {
  fccType = readU32le(b + 0);
  fccHandler = readU32le(b + 4);
  dwFlags = readU32le(b + 8);
  wPriority = readU16le(b + 12);
  wLanguage = readU16le(b + 14);
  dwInitialFrames = readU32le(b + 16);
  dwScale = readU32le(b + 20);
  dwRate = readU32le(b + 24);
  dwStart = readU32le(b + 28);
  dwLength = readU32le(b + 32);
  dwSuggestedBufferSize = readU32le(b + 36);
  dwQuality = readU32le(b + 40);
  dwSampleSize = readU32le(b + 44);
  for (size_t i = 0; i < 4; ++i) rcFrame[i] = int16_t(readU16le(b + 48 + 2 * i));
}

uint16_t AviStream::wFormatTag() const { return fieldU16le(format, 0); }
uint16_t AviStream::nChannels() const { return fieldU16le(format, 2); }
uint32_t AviStream::nSamplesPerSec() const { return fieldU32le(format, 4); }
uint32_t AviStream::nAvgBytesPerSec() const { return fieldU32le(format, 8); }
uint16_t AviStream::nBlockAlign() const { return fieldU16le(format, 12); }
uint16_t AviStream::wBitsPerSample() const { return fieldU16le(format, 14); }

AviReader::AviReader(InputFile* file) : file_(file), in_(cursorOver(file)) {
  if (file_ && file_->isOpen()) end_ = file_->length();
  if (!file_ || !file_->isOpen()) {
    result_ = LoadResult::fail(LoadFailure::CouldNotRead);
  } else if (!parse()) {
    result_ = parseFailure(file_->readFailed(), signatureSeen_, pos_);
  }
}

AviReader::~AviReader() = default;

bool AviReader::read(void* dst, size_t n) {
  if (!in_.seek(pos_) || !in_.copy(dst, n)) return false;
  pos_ += n;
  return true;
}

bool AviReader::readU32(uint32_t& v) {
  uint8_t b[4];
  if (!read(b, 4)) return false;
  v = readU32le(b);
  return true;
}

// Reads a chunk body of `size` bytes into `out` after `prefix` bytes already there. The size is
// checked against the file before anything is allocated.
bool AviReader::readBody(uint32_t size, std::vector<uint8_t>& out, size_t prefix) {
  if (!file_->contains(pos_, size)) return false;
  out.resize(prefix + size);
  return read(out.data() + prefix, size);
}

// A chunk kept as it stands in the file: id and size, then the body.
bool AviReader::readWholeChunk(uint64_t start, uint32_t size, std::vector<uint8_t>& out) {
  std::vector<uint8_t> block;
  if (!readBody(size, block, kChunkHeaderSize) || !file_->readAt(start, block.data(), kChunkHeaderSize))
    return false;
  out = std::move(block);
  return true;
}

bool AviReader::parse() {
  pos_ = 0;
  uint8_t head[12];
  if (!read(head, sizeof head)) return false;
  const uint32_t form = readU32le(head + 8);
  if (readU32le(head) != kIdRiff || (form != kFormAvi && form != kFormAvix)) return false;
  signatureSeen_ = true;
  pos_ = 0;
  if (const bool r = walk(end_, end_, 0); !r) return r;

  if (movis_.empty()) return false;
  if (mainHeader_.dwStreams == 0 && !streams_.empty()) mainHeader_.dwStreams = uint32_t(streams_.size());
  if (mainHeader_.dwStreams != streams_.size()) return false;

  // MP3 written with the byte rate as dwRate and dwScale 1: index entries are MPEG audio frames,
  // so count them at samples per second / 1152.
  for (auto& s : streams_) {
    AviStreamHeader& h = s->header;
    if (h.fccType != kTypeAuds || s->format.empty()) continue;
    if (s->wFormatTag() == kWaveMp3 && s->nBlockAlign() == kMp3FrameSamples && h.dwScale == 1 &&
        h.dwRate != s->nSamplesPerSec()) {
      h.dwScale = kMp3FrameSamples;
      h.dwRate = s->nSamplesPerSec();
    }
  }
  return true;
}

bool AviReader::walk(uint64_t rangeEnd, uint64_t topEnd, int depth) {
  if (depth > kMaxDepth) return false;
  std::unique_ptr<AviStream> current;  // the stream record of this level, if any
  auto stream = [&]() -> AviStream& {
    if (!current) current = std::make_unique<AviStream>();
    return *current;
  };
  while (pos_ < rangeEnd && !stop_) {
    const uint64_t start = pos_;
    uint32_t id = 0, size = 0;
    if (!readU32(id) || id == 0) return false;
    if (!readU32(size)) return false;
    const uint64_t extent = uint64_t(size) + (size & 1) + kChunkHeaderSize;
    const uint64_t bodyEnd = start + kChunkHeaderSize + size;
    if (id == kIdRiff || id == kIdList) {
      uint32_t listType = 0;
      if (!readU32(listType)) return false;
      if (listType == kListMovi) {
        // A recording that was killed leaves a movi running past the end of the file, or (as
        // GStreamer writes its header first) an empty movi with the chunks after the RIFF.
        if (bodyEnd > end_ || (size <= 4 && topEnd < end_)) {
          movis_.push_back({start, end_});
          endWalkCutShort();
        } else {
          movis_.push_back({start, bodyEnd});
        }
      } else {
        uint64_t listEnd = start + extent;
        if (depth == 0 && id == kIdRiff) {
          ++riffParts_;
          if (listType == kFormAvix) {
            avixFound_ = true;
            if (bodyEnd > end_) {  // a part cut short: what it holds is read up to the cut
              listEnd = end_;
              cutShort_ = true;
            }
          }
        }
        if (const bool r = walk(listEnd, depth == 0 ? start + extent : topEnd, depth + 1); !r) {
          return r;
        }
      }
    } else {
      bool ok = true;
      uint8_t fixed[56];
      switch (id) {
        case kIdAvih:
          mainHeaderAt_ = pos_;
          ok = read(fixed, AviMainHeader::kSize);
          if (ok) mainHeader_.parse(fixed);
          break;
        case kIdStrh: {
          AviStream& s = stream();
          ok = read(fixed, AviStreamHeader::kSize);
          s.header = AviStreamHeader{};
          if (ok) s.header.parse(fixed);
          break;
        }
        case kIdStrf:
          ok = readBody(size, stream().format, 0);
          break;
        case kIdStrn: {
          std::vector<uint8_t> name;
          ok = readBody(size, name, 0);
          if (ok) stream().name.assign(name.begin(), name.end());
          break;
        }
        case kIdIndx:
          ok = readWholeChunk(start, size, stream().superIndex);
          break;
        case kIdIdx1:
          // A later idx1 replaces an earlier one. Only its place is kept: the body, megabytes in a
          // long file, is read block by block when the entries are walked. One that runs past the
          // end of the file was cut short: it is dropped and the walk ends.
          if (!file_->contains(pos_, size)) {
            endWalkCutShort();
            break;
          }
          indexFound_ = true;
          indexPos_ = pos_;
          indexSize_ = size;
          break;
        case kIdDmlh:
          ok = readU32(odmlTotalFrames_);
          dmlhFound_ = dmlhFound_ || ok;
          break;
        default:
          break;  // JUNK and every chunk we do not use
      }
      if (!ok) return false;
    }
    if (!stop_) pos_ = start + extent;
  }
  if (current) streams_.push_back(std::move(current));
  return true;
}

AviIndexEntry AviReader::indexEntry(size_t i) const {
  uint8_t p[kIndexEntrySize];
  if (i >= indexEntryCount() || !file_->readAt(indexPos_ + i * kIndexEntrySize, p, sizeof p)) return {};
  return {readU32le(p), readU32le(p + 4), readU32le(p + 8), readU32le(p + 12)};
}

// Calls visit(entry) for each index entry in order; false when a block cannot be read.
template <typename Visit>
bool AviReader::forEachIndexEntry(Visit visit) const {
  const size_t count = indexEntryCount();
  for (size_t first = 0; first < count; first += kIndexBlockEntries) {
    const size_t n = std::min(kIndexBlockEntries, count - first);
    const uint8_t* block = file_->peek(indexPos_ + first * kIndexEntrySize, n * kIndexEntrySize);
    if (!block) return false;
    for (size_t i = 0; i < n; ++i) visit(block + i * kIndexEntrySize);
  }
  return true;
}

uint64_t AviReader::indexOffsetBase() const {
  // Writers differ; the first entry's chunk id found at its offset as a file position tells.
  const AviIndexEntry first = indexEntry(0);
  uint8_t id[4];
  if (first.dwChunkOffset != 0 && file_->readAt(first.dwChunkOffset, id, sizeof id) &&
      readU32le(id) == first.ckid)
    return 0;
  return movis_.empty() ? 0 : movis_.front().start + kChunkHeaderSize;
}

namespace {

// The per-second attribution of one stream's entries. It starts at once with the header's rate,
// which is nearly always kept, so that one pass over the entries usually does; when the entry
// count shows the rate implausible, the series is cleared for a second pass.
class StreamAttribution {
 public:
  StreamAttribution(const AviStreamHeader* header, PerSecondSeries& series)
      : series_(series), n_(series.elementCount()), active_(header != nullptr) {
    if (active_) restart(double(header->dwRate) / double(header->dwScale));
  }

  bool active() const { return active_; }
  // The header's rate was replaced by the entry count over the header's play time.
  bool rateReplaced() const { return second_; }

  void add(uint32_t len) {
    ++k_;
    acc_ += len;
    ++j_;
    if (double(j_) <= g_) return;
    if (s_ >= n_) {
      acc_ = 0;
      g_ += r_;
      return;
    }
    // The part of this entry carried into the next second; deliberately not a linear split.
    const double carried = double(len) - double(len) / (double(j_) + 1.0 - g_) + 0.5;
    const uint32_t m = carried > 0 ? (carried >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(carried)) : 0;
    series_[s_] += acc_ - m;
    ++s_;
    if (s_ < n_) series_[s_] += m;
    acc_ = 0;
    g_ += r_;
  }

  // After a pass: true when the rate had to change and the entries must be walked again.
  bool needsSecondPass(double headerSeconds, uint32_t durationSeconds) {
    if (!active_ || second_) return false;
    // A rate that does not fit the entry count and the play time is replaced by the count over
    // the header's exact duration.
    const double impliedSeconds = double(k_) / r_;
    if (std::isfinite(impliedSeconds) &&
        std::fabs(std::trunc(impliedSeconds) - double(durationSeconds)) <= 10.0) {
      return false;
    }
    for (size_t i = kFirstSecond; i < n_; ++i) series_[i] = 0;
    second_ = true;
    const double replaced = double(k_) / headerSeconds;
    if (std::isnan(replaced)) {  // no entries and no duration: nothing to attribute
      active_ = false;
      return false;
    }
    restart(replaced);
    return true;
  }

 private:
  void restart(double r) {
    r_ = r;
    g_ = r;
    k_ = 0;
    j_ = 0;
    acc_ = 0;
    s_ = kFirstSecond;
  }

  PerSecondSeries& series_;
  uint32_t n_;
  bool active_;
  bool second_ = false;
  double r_ = 0;
  double g_ = 0;
  uint32_t k_ = 0;  // entries counted
  uint32_t j_ = 0;
  uint32_t acc_ = 0;
  size_t s_ = kFirstSecond;
};

// One pass, then a second for the streams whose rate proved implausible. `pass(video, audio)`
// feeds the entries of the streams it is asked for; false when they could not be read.
template <typename Pass>
bool attributeStreams(StreamAttribution& v, StreamAttribution& a, double headerSeconds,
                      uint32_t durationSeconds, Pass pass) {
  if (!pass(v.active(), a.active())) return false;
  const bool againVideo = v.needsSecondPass(headerSeconds, durationSeconds);
  const bool againAudio = a.needsSecondPass(headerSeconds, durationSeconds);
  if (!againVideo && !againAudio) return true;
  return pass(againVideo, againAudio);
}

constexpr size_t kOdmlHeaderSize = 24;  // both index kinds: longs per entry ... reserved
constexpr size_t kSuperEntrySize = 16;  // qwOffset, dwSize, dwDuration
constexpr uint8_t kIndexOfIndexes = 0;
constexpr uint8_t kIndexOfChunks = 1;
constexpr uint32_t kOdmlSizeMask = 0x7FFFFFFF;  // bit 31 marks a chunk that is not a key frame

// "ix##" (as ffmpeg and mencoder write) or "##ix" (as the OpenDML document names it).
bool isStandardIndexId(uint32_t id) {
  const uint8_t b0 = uint8_t(id), b1 = uint8_t(id >> 8), b2 = uint8_t(id >> 16), b3 = uint8_t(id >> 24);
  return (b0 == 'i' && b1 == 'x') || (b2 == 'i' && b3 == 'x');
}

constexpr uint32_t kIdJunk = fourccLe("JUNK");

}  // namespace

int AviReader::firstStream(uint32_t fccType) const {
  for (size_t i = 0; i < streams_.size(); ++i) {
    if (streams_[i]->header.fccType == fccType) return int(i);
  }
  return -1;
}

bool AviReader::keepsEntries(size_t position) const {
  if (position >= streams_.size()) return false;
  const uint32_t type = streams_[position]->header.fccType;
  return type == kTypeVids || type == kTypeAuds;
}

bool AviReader::hasSuperIndex() const {
  for (const auto& s : streams_) {
    const auto& x = s->superIndex;
    if (x.size() >= kChunkHeaderSize + 4 && x[kChunkHeaderSize + 3] == kIndexOfIndexes) return true;
  }
  return false;
}

AviIndexSource AviReader::indexSource() const {
  if (cutShort_) return AviIndexSource::MoviWalk;  // the last part's indexes are usually lost
  if ((avixFound_ || !indexFound_) && hasSuperIndex()) return AviIndexSource::OpenDml;
  if (indexFound_) return AviIndexSource::Legacy;
  return AviIndexSource::MoviWalk;
}

LoadResult AviReader::readOpenDmlIndex(AviStreamEntries& out, ProgressGate& gate) const {
  out.sizes.resize(std::max(out.sizes.size(), streams_.size()));
  out.places.resize(std::max(out.places.size(), streams_.size()));
  std::vector<uint8_t> chunk;  // one standard index at a time, reused
  std::set<uint64_t> readChunks;
  for (size_t si = 0; si < streams_.size(); ++si) {
    const std::vector<uint8_t>& super = streams_[si]->superIndex;
    if (super.empty()) continue;
    const size_t bodySize = super.size() - kChunkHeaderSize;
    const uint8_t* body = super.data() + kChunkHeaderSize;
    if (bodySize < kOdmlHeaderSize) return LoadResult::fail(LoadFailure::Damaged);
    if (body[3] != kIndexOfIndexes) continue;  // a stream indexed some other way has no entries here
    const uint32_t count = readU32le(body + 4);
    if (count > (bodySize - kOdmlHeaderSize) / kSuperEntrySize) return LoadResult::fail(LoadFailure::Damaged);
    std::vector<uint32_t>* keep = keepsEntries(si) ? &out.sizes[si] : nullptr;
    const bool keepPlaces = out.keepPlaces && streams_[si]->header.fccType == kTypeVids;
    for (uint32_t e = 0; e < count; ++e) {
      const uint64_t at = readU64le(body + kOdmlHeaderSize + e * kSuperEntrySize);
      // A super index that names one index chunk again would count its chunks again.
      if (!readChunks.insert(at).second) continue;
      if (!gate.at(at)) return LoadResult::fail(LoadFailure::Cancelled, at);
      uint8_t header[kChunkHeaderSize];
      if (!file_->contains(at, kChunkHeaderSize) || !file_->readAt(at, header, sizeof header))
        return LoadResult::fail(file_->readFailed() ? LoadFailure::CouldNotRead : LoadFailure::Damaged, at);
      const uint32_t size = readU32le(header + 4);
      if (!isStandardIndexId(readU32le(header)) || size < kOdmlHeaderSize ||
          !file_->contains(at + kChunkHeaderSize, size)) {
        return LoadResult::fail(LoadFailure::Damaged, at);
      }
      try {
        chunk.resize(size);
      } catch (const std::bad_alloc&) {
        return LoadResult::fail(LoadFailure::OutOfMemory, at);
      }
      if (!file_->readAt(at + kChunkHeaderSize, chunk.data(), size))
        return LoadResult::fail(LoadFailure::CouldNotRead, at);
      const uint16_t longs = readU16le(chunk.data());
      const uint32_t entries = readU32le(chunk.data() + 4);
      // 3 longs per entry is a field index: offset, size, second field's offset.
      if (chunk[3] != kIndexOfChunks || (longs != 2 && longs != 3) ||
          entries > (size - kOdmlHeaderSize) / (4u * longs)) {
        return LoadResult::fail(LoadFailure::Damaged, at);
      }
      if (!keep) continue;
      try {
        keep->reserve(keep->size() + entries);
        if (keepPlaces) out.places[si].reserve(out.places[si].size() + entries);
      } catch (const std::bad_alloc&) {
        return LoadResult::fail(LoadFailure::OutOfMemory, at);
      }
      // Entry offsets count from the index's base and point at the chunk's data; a chunk the
      // file does not hold is no unit.
      const uint64_t base = readU64le(chunk.data() + 12);
      const uint8_t* p = chunk.data() + kOdmlHeaderSize;
      for (uint32_t i = 0; i < entries; ++i, p += 4u * longs) {
        const uint32_t offset = readU32le(p), entry = readU32le(p + 4);
        if (base > file_->length() || !file_->contains(base + offset, entry & kOdmlSizeMask)) {
          ++out.pastEnd;
          continue;
        }
        keep->push_back(entry);
        if (keepPlaces) out.places[si].push_back({base + offset, entry & kOdmlSizeMask});
      }
    }
  }
  return LoadResult::success();
}

LoadResult AviReader::walkMovi(AviStreamEntries& out, ProgressGate& gate) const {
  try {
    out.sizes.resize(std::max(out.sizes.size(), streams_.size()));
    out.places.resize(std::max(out.places.size(), streams_.size()));
    for (const AviMovi& m : movis_) {
      uint64_t pos = m.start + 12;
      while (pos <= m.end && m.end - pos >= kChunkHeaderSize) {
        if (!gate.at(pos)) return LoadResult::fail(LoadFailure::Cancelled, pos);
        const uint8_t* h = file_->peek(pos, kChunkHeaderSize);
        if (!h) break;
        const uint32_t id = readU32le(h);
        const uint32_t size = readU32le(h + 4);
        if (id == 0) break;
        if (id == kIdRiff || id == kIdList) {
          // Lists inside movi (rec, or the headers a killed recording leaves) are walked into.
          if (m.end - pos < 12) break;
          pos += 12;
          continue;
        }
        if (size > m.end - pos - kChunkHeaderSize) break;
        if (const int si = streamOfCode(uint16_t(id));
            si >= 0 && keepsEntries(size_t(si)) && id != kIdJunk && !isStandardIndexId(id)) {
          out.sizes[size_t(si)].push_back(size);
          if (out.keepPlaces && streams_[size_t(si)]->header.fccType == kTypeVids)
            out.places[size_t(si)].push_back({pos + kChunkHeaderSize, size});
        }
        pos += kChunkHeaderSize + uint64_t(size) + (size & 1);
      }
      if (file_->readFailed()) return LoadResult::fail(LoadFailure::CouldNotRead, pos);
    }
  } catch (const std::bad_alloc&) {
    return LoadResult::fail(LoadFailure::OutOfMemory);
  }
  return LoadResult::success();
}

bool AviReader::attribute(uint32_t durationSeconds, double headerSeconds, PerSecondSeries& video,
                          PerSecondSeries& audio, AviStreamEntries& kept, bool& videoRateReplaced) const {
  const int videoAt = firstStream(kTypeVids), audioAt = firstStream(kTypeAuds);
  uint16_t videoCode = 0, audioCode = 0;
  const bool haveVideo = videoAt >= 0 && streamCode(size_t(videoAt), videoCode);
  const bool haveAudio = audioAt >= 0 && streamCode(size_t(audioAt), audioCode);
  StreamAttribution v(haveVideo ? &streams_[size_t(videoAt)]->header : nullptr, video);
  StreamAttribution a(haveAudio ? &streams_[size_t(audioAt)]->header : nullptr, audio);
  kept.sizes.resize(std::max(kept.sizes.size(), streams_.size()));
  kept.places.resize(std::max(kept.places.size(), streams_.size()));
  if (haveVideo) kept.sizes[size_t(videoAt)].reserve(std::min<size_t>(indexEntryCount(), size_t(1) << 22));
  // The entries are kept on the first pass; a second one sees the same entries.
  bool keep = true;
  const uint64_t dataBase = kept.keepPlaces ? indexOffsetBase() + kChunkHeaderSize : 0;
  const bool read = attributeStreams(v, a, headerSeconds, durationSeconds, [&](bool doVideo, bool doAudio) {
    const bool ok = forEachIndexEntry([&](const uint8_t* e) {
      const uint32_t flags = readU32le(e + 4);
      if ((flags & kIndexNoTime) != 0) return;
      const uint16_t code = readU16le(e);
      const uint32_t len = readU32le(e + 12);
      if (const int si = keep ? streamOfCode(code) : -1; si >= 0 && keepsEntries(size_t(si))) {
        kept.sizes[size_t(si)].push_back(std::min(len, ~kNumberedKey) |
                                         ((flags & kIndexKeyFrame) ? kNumberedKey : 0u));
        if (kept.keepPlaces && streams_[size_t(si)]->header.fccType == kTypeVids)
          kept.places[size_t(si)].push_back({dataBase + readU32le(e + 8), len});
      }
      if (doVideo && code == videoCode) v.add(len);
      if (doAudio && code == audioCode) a.add(len);
    });
    keep = false;
    return ok;
  });
  videoRateReplaced = v.rateReplaced();
  return read;
}

bool AviReader::attribute(const AviStreamEntries& entries, uint32_t durationSeconds, double headerSeconds,
                          PerSecondSeries& video, PerSecondSeries& audio) const {
  const int videoAt = firstStream(kTypeVids), audioAt = firstStream(kTypeAuds);
  StreamAttribution v(videoAt >= 0 ? &streams_[size_t(videoAt)]->header : nullptr, video);
  StreamAttribution a(audioAt >= 0 ? &streams_[size_t(audioAt)]->header : nullptr, audio);
  static const std::vector<uint32_t> kNone;
  const auto sizesOf = [&](int at) -> const std::vector<uint32_t>& {
    return at >= 0 && size_t(at) < entries.sizes.size() ? entries.sizes[size_t(at)] : kNone;
  };
  attributeStreams(v, a, headerSeconds, durationSeconds, [&](bool doVideo, bool doAudio) {
    if (doVideo)
      for (uint32_t size : sizesOf(videoAt)) v.add(size & kOdmlSizeMask);
    if (doAudio)
      for (uint32_t size : sizesOf(audioAt)) a.add(size & kOdmlSizeMask);
    return true;
  });
  return v.rateReplaced();
}

namespace {

// Entry k's time, as the series spread it: k / the header's rate, or where that rate did not fit,
// k × the header's play time / the entry count.
UnitClock frameClock(const AviStreamHeader& h, bool rateReplaced, uint64_t playMicroseconds,
                     uint64_t entries) {
  UnitClock c;
  if (rateReplaced) {
    c.mul = Int128(playMicroseconds);
    c.den = entries * 1000000u;
  } else {
    c.mul = h.dwScale;
    c.den = h.dwRate;
  }
  if (c.den == 0) c = {0, 0, 1};  // no rate at all: every frame at the start
  return c;
}

std::string fourccText(uint32_t code) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = char(code >> (8 * i));
    if (c < 32 || c > 125) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%x", unsigned(code));
      return hex;
    }
    text += c;
  }
  return text;
}

Track trackOf(const AviStream& s, size_t position) {
  Track t;
  const AviStreamHeader& h = s.header;
  t.kind = h.fccType == kTypeVids   ? TrackKind::Video
           : h.fccType == kTypeAuds ? TrackKind::Audio
           : h.fccType == kTypeTxts ? TrackKind::Subtitle
                                    : TrackKind::Other;
  t.id = position;
  t.name = s.name.substr(0, s.name.find('\0'));
  t.rate = h.dwRate;
  t.scale = h.dwScale;
  if (t.kind == TrackKind::Audio) {
    char tag[16];
    std::snprintf(tag, sizeof tag, "0x%x", unsigned(s.wFormatTag()));
    t.codec = tag;
  } else {
    t.codec = fourccText(h.fccHandler);
  }
  if (t.kind == TrackKind::Video) {
    t.frameWidth = int32_t(fieldU32le(s.format, 4));
    // A negative height marks a picture stored top-down.
    const int32_t height = int32_t(fieldU32le(s.format, 8));
    t.frameHeight = height >= 0 ? height : height == INT32_MIN ? INT32_MAX : -height;
    if (h.dwScale != 0)
      t.frameRateMilli = int32_t(std::min<uint64_t>(uint64_t(h.dwRate) * 1000 / h.dwScale, INT32_MAX));
    t.coding = codec::codingOfBitmapInfo(s.format.data(), s.format.size());
  }
  return t;
}

// The numbered units of a stream's kept sizes: the legacy index's are so already; OpenDML's bit
// 31 marks the frames that are not key ones; chunks found by walking movi carry no key flag.
void toNumbered(std::vector<uint32_t>& sizes, AviIndexSource source) {
  if (source == AviIndexSource::Legacy) return;
  const bool flagged = source == AviIndexSource::OpenDml;
  for (uint32_t& unit : sizes) unit = flagged ? unit ^ kNumberedKey : unit & ~kNumberedKey;
}

// Drops the last second when it came out empty in both series: play time the index never reached.
void trimEmptyEnd(FileAnalysis& out) {
  PerSecondSeries& video = *out.videoSeries;
  PerSecondSeries& audio = *out.audioSeries;
  const uint32_t n = video.elementCount();
  if (out.durationSeconds != 0 && video[n - 1] == 0 && audio[n - 1] == 0) {
    --out.durationSeconds;
    video[kElementCount] = n - 1;
    audio[kElementCount] = n - 1;
  }
}

}  // namespace

LoadResult walkAvi(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  ProgressGate gate(control, file.length());
  const AviReader reader(&file);
  if (!reader.result().ok()) return reader.result();

  const AviMainHeader& h = reader.mainHeader();
  out.frameWidth = int32_t(h.dwWidth);
  out.frameHeight = int32_t(h.dwHeight);
  out.frameRateMilli = h.dwMicroSecPerFrame ? int32_t(1000000000u / h.dwMicroSecPerFrame) : 0;

  // Where the chunk sizes come from, and the frame count the play time follows: writers
  // disagree on what avih and dmlh count in a file of several parts, and a file cut short holds
  // what it holds.
  const AviIndexSource source = reader.indexSource();
  const int videoAt = reader.firstStream(kTypeVids), audioAt = reader.firstStream(kTypeAuds);
  AviStreamEntries entries;
  entries.keepPlaces = out.videoUnits.keepPlaces;
  if (source != AviIndexSource::Legacy) {
    const LoadResult r = source == AviIndexSource::OpenDml ? reader.readOpenDmlIndex(entries, gate)
                                                           : reader.walkMovi(entries, gate);
    if (!r.ok()) return r;
  }
  if (!gate.at(file.length())) return LoadResult::fail(LoadFailure::Cancelled);
  const bool odmlFile = (reader.hasAvixPart() || !reader.hasIndex()) && reader.hasSuperIndex();
  const uint64_t entryFrames =
      videoAt >= 0 && size_t(videoAt) < entries.sizes.size() ? entries.sizes[size_t(videoAt)].size() : 0;
  uint64_t frames = h.dwTotalFrames;
  if (reader.cutShort()) {
    if (videoAt >= 0) {
      frames = entryFrames;
    } else if (odmlFile) {
      frames = std::max<uint64_t>(frames, reader.odmlTotalFrames());
    }
  } else if (source == AviIndexSource::OpenDml) {
    frames = std::max<uint64_t>({frames, reader.odmlTotalFrames(), entryFrames});
  }
  const uint64_t playMicroseconds = frames * h.dwMicroSecPerFrame;
  const uint64_t duration = playMicroseconds / 1000000u;
  // The play time is avih's frame time (its first field) times the frames: refused at that header.
  if (duration > kMaxDurationSeconds)
    return LoadResult::fail(LoadFailure::Damaged, reader.mainHeaderPosition());
  out.durationSeconds = int32_t(duration);
  const double headerSeconds = double(playMicroseconds) / 1000000.0;

  const uint32_t n = uint32_t(duration) + kFirstSecond;
  out.videoSeries = std::make_unique<PerSecondSeries>(n);
  out.audioSeries = std::make_unique<PerSecondSeries>(n);
  PerSecondSeries& video = *out.videoSeries;
  PerSecondSeries& audio = *out.audioSeries;
  bool rateReplaced = false;
  if (source == AviIndexSource::Legacy) {
    // An index that cannot be read to its end (the file shrank, an I/O error) gives no result.
    if (!reader.attribute(uint32_t(duration), headerSeconds, video, audio, entries, rateReplaced))
      return LoadResult::fail(LoadFailure::CouldNotRead);
  } else {
    rateReplaced = reader.attribute(entries, uint32_t(duration), headerSeconds, video, audio);
  }

  // Every stream is a track; the first video and audio stream are the chosen ones.
  const auto& streams = reader.streams();
  entries.sizes.resize(streams.size());
  entries.places.resize(streams.size());
  out.tracks.reserve(streams.size());
  for (size_t i = 0; i < streams.size(); ++i) {
    Track t = trackOf(*streams[i], i);
    t.playMicroseconds = playMicroseconds;
    if (t.kind == TrackKind::Video || t.kind == TrackKind::Audio) {
      TrackUnits& u = t.units;
      u.present = true;
      u.numbered = std::move(entries.sizes[i]);
      toNumbered(u.numbered, source);
      u.keepPlaces = entries.keepPlaces && t.kind == TrackKind::Video;
      u.places = std::move(entries.places[i]);
      u.clock = frameClock(streams[i]->header, false, playMicroseconds, u.numbered.size());
      t.unitCount = u.numbered.size();
      for (uint32_t unit : u.numbered) t.bytes += unit & ~kNumberedKey;
    }
    out.tracks.push_back(std::move(t));
  }
  if (videoAt >= 0) {
    Track& t = out.tracks[size_t(videoAt)];
    t.frameWidth = out.frameWidth;
    t.frameHeight = out.frameHeight;
    t.frameRateMilli = out.frameRateMilli;
    t.units.clock =
        frameClock(streams[size_t(videoAt)]->header, rateReplaced, playMicroseconds, t.units.numbered.size());
    out.videoCoding = t.coding;
    out.videoUnits = std::move(t.units);
    t.units = TrackUnits();
  }
  if (audioAt >= 0) {
    out.audioUnits = std::move(out.tracks[size_t(audioAt)].units);
    out.tracks[size_t(audioAt)].units = TrackUnits();
  }
  out.videoUnits.keepPlaces = entries.keepPlaces;
  out.videoTrack = out.defaultVideo = videoAt;
  out.audioTrack = out.defaultAudio = audioAt;
  trimEmptyEnd(out);
  notes.cutShort = reader.cutShort() || entries.pastEnd > 0;
  notes.indexRebuilt = source == AviIndexSource::MoviWalk;
  return LoadResult::success();
}

LoadResult fillAviChosenSeries(FileAnalysis& a) {
  if (a.tracks.empty()) return LoadResult::fail(LoadFailure::Damaged);
  const uint64_t playMicroseconds = a.tracks.front().playMicroseconds;
  const uint64_t duration = playMicroseconds / 1000000u;
  if (duration > kMaxDurationSeconds) return LoadResult::fail(LoadFailure::Damaged);
  const double headerSeconds = double(playMicroseconds) / 1000000.0;
  const uint32_t n = uint32_t(duration) + kFirstSecond;
  a.videoSeries = std::make_unique<PerSecondSeries>(n);
  a.audioSeries = std::make_unique<PerSecondSeries>(n);
  a.durationSeconds = int32_t(duration);
  const auto headerOf = [&](int track) {
    AviStreamHeader h;
    if (track >= 0) {
      h.dwRate = a.tracks[size_t(track)].rate;
      h.dwScale = a.tracks[size_t(track)].scale;
    }
    return h;
  };
  const AviStreamHeader videoHeader = headerOf(a.videoTrack), audioHeader = headerOf(a.audioTrack);
  StreamAttribution v(a.videoTrack >= 0 ? &videoHeader : nullptr, *a.videoSeries);
  StreamAttribution s(a.audioTrack >= 0 ? &audioHeader : nullptr, *a.audioSeries);
  attributeStreams(v, s, headerSeconds, uint32_t(duration), [&](bool doVideo, bool doAudio) {
    if (doVideo)
      for (uint32_t unit : a.videoUnits.numbered) v.add(unit & ~kNumberedKey);
    if (doAudio)
      for (uint32_t unit : a.audioUnits.numbered) s.add(unit & ~kNumberedKey);
    return true;
  });
  if (a.videoTrack >= 0)
    a.videoUnits.clock =
        frameClock(videoHeader, v.rateReplaced(), playMicroseconds, a.videoUnits.numbered.size());
  if (a.audioTrack >= 0)
    a.audioUnits.clock =
        frameClock(audioHeader, s.rateReplaced(), playMicroseconds, a.audioUnits.numbered.size());
  trimEmptyEnd(a);
  return LoadResult::success();
}

bool looksLikeAvi(const uint8_t* head, size_t n) {
  return n >= 12 && std::memcmp(head, "RIFF", 4) == 0 && readU32le(head + 8) == kFormAvi;
}

}  // namespace mv
