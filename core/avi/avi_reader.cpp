#include "avi/avi_reader.h"

#include <algorithm>
#include <cmath>
#include <new>

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

constexpr uint32_t kIndexNoTime = 0x100;  // AVIIF_NOTIME: not part of the play time
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

AviReader::AviReader(InputFile* file) : file_(file) {
  if (file_ && file_->isOpen()) end_ = file_->length();
  result_ = parse();
}

AviReader::~AviReader() = default;

bool AviReader::read(void* dst, size_t n) {
  if (!file_->readAt(pos_, dst, n)) return false;
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
  if (!readBody(size, block, kChunkHeaderSize) || !file_->readAt(start, block.data(), kChunkHeaderSize)) return false;
  out = std::move(block);
  return true;
}

ParseResult AviReader::parse() {
  pos_ = 0;
  if (!file_ || !file_->isOpen()) return ParseResult::UnexpectedState;
  uint8_t head[12];
  if (!read(head, sizeof head)) return ParseResult::GeneralFailure;
  const uint32_t form = readU32le(head + 8);
  if (readU32le(head) != kIdRiff || (form != kFormAvi && form != kFormAvix)) return ParseResult::GeneralFailure;
  signatureSeen_ = true;
  pos_ = 0;
  if (const ParseResult r = walk(end_, 0); r != ParseResult::Success) return r;

  if (moviPositions_.empty()) return ParseResult::GeneralFailure;
  if (mainHeader_.dwStreams == 0 && !streams_.empty()) mainHeader_.dwStreams = uint32_t(streams_.size());
  if (mainHeader_.dwStreams != streams_.size()) return ParseResult::GeneralFailure;

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
  return ParseResult::Success;
}

ParseResult AviReader::walk(uint64_t rangeEnd, int depth) {
  if (depth > kMaxDepth) return ParseResult::GeneralFailure;
  std::unique_ptr<AviStream> current;  // the stream record of this level, if any
  auto stream = [&]() -> AviStream& {
    if (!current) current = std::make_unique<AviStream>();
    return *current;
  };
  while (pos_ < rangeEnd) {
    const uint64_t start = pos_;
    uint32_t id = 0, size = 0;
    if (!readU32(id) || id == 0) return ParseResult::GeneralFailure;
    if (!readU32(size)) return ParseResult::GeneralFailure;
    const uint64_t extent = uint64_t(size) + (size & 1) + kChunkHeaderSize;
    if (id == kIdRiff || id == kIdList) {
      uint32_t listType = 0;
      if (!readU32(listType)) return ParseResult::GeneralFailure;
      if (listType == kListMovi) {
        moviPositions_.push_back(start);
      } else if (const ParseResult r = walk(start + extent, depth + 1); r != ParseResult::Success) {
        return r;
      }
    } else {
      bool ok = true;
      uint8_t fixed[56];
      switch (id) {
        case kIdAvih:
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
          // long file, is read block by block when the entries are walked.
          ok = file_->contains(pos_, size);
          if (ok) {
            indexFound_ = true;
            indexPos_ = pos_;
            indexSize_ = size;
          }
          break;
        case kIdDmlh:
          ok = readU32(odmlTotalFrames_);
          break;
        default:
          break;  // JUNK and every chunk we do not use
      }
      if (!ok) return ParseResult::GeneralFailure;
    }
    pos_ = start + extent;
  }
  if (current) streams_.push_back(std::move(current));
  return ParseResult::Success;
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

namespace {

// The per-second attribution of one stream's index entries. It starts at once with the header's
// rate, which is nearly always kept, so that one pass over the index usually does; when the
// entry count shows the rate implausible, the series is cleared for a second pass.
class StreamAttribution {
 public:
  StreamAttribution(const std::vector<std::unique_ptr<AviStream>>& streams, uint32_t fccType,
                    PerSecondSeries& series)
      : series_(series), n_(series.elementCount()) {
    size_t position = 0;
    for (; position < streams.size(); ++position) {
      if (streams[position]->header.fccType == fccType) {
        stream_ = streams[position].get();
        break;
      }
    }
    if (!stream_ || !streamCode(position, code_)) {
      stream_ = nullptr;
      return;
    }
    restart(double(stream_->header.dwRate) / double(stream_->header.dwScale));
  }

  void add(const uint8_t* e) {
    if (!stream_ || readU16le(e) != code_ || (readU32le(e + 4) & kIndexNoTime) != 0) return;
    ++k_;
    const uint32_t len = readU32le(e + 12);
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
  bool needsSecondPass(const AviMainHeader& main, uint32_t durationSeconds) {
    if (!stream_ || second_) return false;
    const uint32_t k = k_;
    const double r = r_;
    // A rate that does not fit the entry count and the play time is replaced by the count over
    // the header's exact duration.
    const double impliedSeconds = double(k) / r;
    if (std::isfinite(impliedSeconds) && std::fabs(std::trunc(impliedSeconds) - double(durationSeconds)) <= 10.0) {
      return false;
    }
    const double headerSeconds = double(uint64_t(main.dwTotalFrames) * main.dwMicroSecPerFrame) / 1000000.0;
    for (size_t i = kFirstSecond; i < n_; ++i) series_[i] = 0;
    second_ = true;
    const double replaced = double(k) / headerSeconds;
    if (std::isnan(replaced)) {  // no entries and no duration: nothing to attribute
      stream_ = nullptr;
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
  const AviStream* stream_ = nullptr;
  uint16_t code_ = 0;
  uint32_t n_;
  bool second_ = false;
  double r_ = 0;
  double g_ = 0;
  uint32_t k_ = 0;  // entries counted
  uint32_t j_ = 0;
  uint32_t acc_ = 0;
  size_t s_ = kFirstSecond;
};

}  // namespace

bool AviReader::attribute(uint32_t durationSeconds, PerSecondSeries& video, PerSecondSeries& audio) const {
  StreamAttribution v(streams_, kTypeVids, video);
  StreamAttribution a(streams_, kTypeAuds, audio);
  if (!forEachIndexEntry([&](const uint8_t* e) {
        v.add(e);
        a.add(e);
      })) {
    return false;
  }
  const bool againVideo = v.needsSecondPass(mainHeader_, durationSeconds);
  const bool againAudio = a.needsSecondPass(mainHeader_, durationSeconds);
  if (!againVideo && !againAudio) return true;
  return forEachIndexEntry([&](const uint8_t* e) {
    if (againVideo) v.add(e);
    if (againAudio) a.add(e);
  });
}

LoadResult loadAvi(const std::string& path, FileAnalysis& out, LoadControl* control) {
  out.videoSeries.reset();
  out.audioSeries.reset();
  InputFile file;
  if (!file.open(path)) return LoadResult::fail(LoadFailure::CouldNotRead);
  out.fileLength = file.length();
  ProgressGate gate(control, file.length());
  const AviReader reader(&file);
  if (reader.result() != ParseResult::Success)
    return parseFailure(file.readFailed(), reader.signatureSeen(), reader.position());
  // The walk skipped movi by its size; what is left, two passes over the index, is quick.
  if (!gate.at(file.length())) return LoadResult::fail(LoadFailure::Cancelled);

  const AviMainHeader& h = reader.mainHeader();
  out.frameWidth = int32_t(h.dwWidth);
  out.frameHeight = int32_t(h.dwHeight);
  out.frameRateMilli = h.dwMicroSecPerFrame ? int32_t(1000000000u / h.dwMicroSecPerFrame) : 0;
  const uint64_t duration = uint64_t(h.dwTotalFrames) * h.dwMicroSecPerFrame / 1000000u;
  if (duration > kMaxDurationSeconds) return LoadResult::fail(LoadFailure::Damaged);
  out.durationSeconds = int32_t(duration);

  const uint32_t n = uint32_t(duration) + kFirstSecond;
  try {
    out.videoSeries = std::make_unique<PerSecondSeries>(n);
    out.audioSeries = std::make_unique<PerSecondSeries>(n);
  } catch (const std::bad_alloc&) {
    out.videoSeries.reset();
    out.audioSeries.reset();
    return LoadResult::fail(LoadFailure::OutOfMemory);
  }
  PerSecondSeries& video = *out.videoSeries;
  PerSecondSeries& audio = *out.audioSeries;
  // An index that cannot be read to its end (the file shrank, an I/O error) gives no result.
  if (reader.hasIndex() && !reader.attribute(uint32_t(duration), video, audio)) {
    out.videoSeries.reset();
    out.audioSeries.reset();
    return LoadResult::fail(LoadFailure::CouldNotRead);
  }
  // A last second that came out empty in both series is play time the index never reached.
  if (out.durationSeconds != 0 && video[n - 1] == 0 && audio[n - 1] == 0) {
    --out.durationSeconds;
    video[kElementCount] = n - 1;
    audio[kElementCount] = n - 1;
  }
  return LoadResult::success();
}

}  // namespace mv
