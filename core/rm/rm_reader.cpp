#include "rm/rm_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "codec/fourcc.h"
#include "platform/byte_order.h"

namespace mv {

namespace {

constexpr uint32_t kIdRmf = fourccBe(".RMF");
constexpr uint32_t kIdProp = fourccBe("PROP");
constexpr uint32_t kIdMdpr = fourccBe("MDPR");
constexpr uint32_t kIdCont = fourccBe("CONT");
constexpr uint32_t kIdData = fourccBe("DATA");
constexpr uint32_t kIdIndx = fourccBe("INDX");
// ".ra" and the byte 0xFD: the signature of a bare RealAudio file, not a RealMedia chunk.
constexpr uint32_t kIdRealAudio = 0x2E7261FDu;

constexpr size_t kChunkHeaderSize = 10;
constexpr size_t kPacketHeaderSize = 12;
// ffmpeg's DATA chunks declare this many bytes more than they hold.
constexpr uint64_t kDataOverstated = 10;
// At most this many frame units are reserved ahead: about 16 MiB.
constexpr uint64_t kUnitsReserved = uint64_t(1) << 20;
constexpr uint8_t kPacketKeyFrame = 2;
// The RealVideo block fields kept end with the frame rate at offset 22.
constexpr size_t kRealVideoDecodedSize = 26;

}  // namespace

RmReader::RmReader(InputFile* file) : file_(file), in_(cursorOver(file)) {
  if (!file_ || !file_->isOpen()) {
    result_ = LoadResult::fail(LoadFailure::CouldNotRead);
  } else if (!walk()) {
    result_ = parseFailure(file_->readFailed(), signatureSeen_, pos_);
  }
}

RmReader::~RmReader() = default;

bool RmReader::read(void* dst, size_t n) {
  if (n > remaining() || !in_.seek(pos_) || !in_.copy(dst, n)) return false;
  pos_ += n;
  return true;
}

bool RmReader::readU8(uint8_t& v) { return read(&v, 1); }

bool RmReader::readU16(uint16_t& v) {
  uint8_t b[2];
  if (!read(b, 2)) return false;
  v = readU16be(b);
  return true;
}

bool RmReader::readU32(uint32_t& v) {
  uint8_t b[4];
  if (!read(b, 4)) return false;
  v = readU32be(b);
  return true;
}

// The length is checked against the chunk before anything is allocated.
bool RmReader::readBytes(size_t n, std::string& out) {
  if (n > remaining()) return false;
  out.resize(n);
  return read(out.data(), n);
}

bool RmReader::readBytes(size_t n, std::vector<uint8_t>& out) {
  if (n > remaining()) return false;
  out.resize(n);
  return read(out.data(), n);
}

bool RmReader::walk() {
  end_ = file_->length();
  bool first = true;
  // Where the run of chunks smaller than their own header began: the walk has lost its way
  // there. A hole reads as such chunks, of no size.
  uint64_t lostFrom = UINT64_MAX;
  // Entered at least once: a file too short for its first chunk header is not RealMedia.
  do {
    const uint64_t start = pos_;
    limit_ = end_;
    uint8_t header[kChunkHeaderSize];
    if (!read(header, sizeof header)) return !first;
    const uint32_t id = readU32be(header);
    const uint32_t size = readU32be(header + 4);
    const uint16_t version = readU16be(header + 8);
    if (first && id != kIdRmf) return false;
    signatureSeen_ = true;
    first = false;
    if (size >= kChunkHeaderSize) {
      lostFrom = UINT64_MAX;
    } else {
      if (lostFrom == UINT64_MAX) lostFrom = start;
      if (start - lostFrom >= kResyncLimit) {
        cutShort_ = true;
        return true;
      }
      if (const uint64_t n =
              file_->recordsInHole(start, kChunkHeaderSize, kChunkHeaderSize, lostFrom + kResyncLimit)) {
        pos_ = start + n * kChunkHeaderSize;
        continue;
      }
    }
    const uint64_t chunkEnd = start + size;
    // A chunk cut off by the end of the file is dropped, except DATA: its packets up to the cut
    // still count (and ffmpeg declares ten bytes more DATA than it writes: no sign of a cut).
    if (chunkEnd > end_ && id != kIdData) {
      cutShort_ = true;
      return true;
    }
    if (id == kIdRealAudio) return false;

    // Body reads stay inside the chunk; a size below the header size leaves no body at all.
    limit_ = std::min(chunkEnd, end_);
    bool r = true;
    if (version == 0) {
      switch (id) {
        case kIdRmf:
          r = readFileHeader(size);
          break;
        case kIdProp:
          r = readProperties();
          break;
        case kIdMdpr:
          r = readMediaProperties();
          break;
        case kIdCont:
          r = readContent();
          break;
        case kIdData:
          r = readData(chunkEnd);
          break;
        case kIdIndx:
          r = readIndex();
          break;
        default:
          break;
      }
    }
    if (!r) return r;
    // Never back: a size below 10 leaves the position after the header.
    if (chunkEnd > pos_) pos_ = chunkEnd;
  } while (pos_ < end_);
  return true;
}

bool RmReader::readFileHeader(uint32_t chunkSize) {
  if (!readU32(fileVersion_)) return false;
  if (chunkSize == 16) {
    uint16_t n = 0;
    if (!readU16(n)) return false;
    numHeaders_ = n;
    return true;
  }
  return readU32(numHeaders_) ? true : false;
}

bool RmReader::readProperties() {
  RmProperties& p = properties_;
  uint16_t flags = 0;
  const bool ok = readU32(p.maxBitRate) && readU32(p.avgBitRate) && readU32(p.maxPacketSize) &&
                  readU32(p.avgPacketSize) && readU32(p.numPackets) && readU32(p.duration) &&
                  readU32(p.preroll) && readU32(p.indexOffset) && readU32(p.dataOffset) &&
                  readU16(p.numStreams) && readU16(flags);
  p.flags = flags;
  return ok ? true : false;
}

bool RmReader::readContent() {
  RmContent& c = content_;
  for (std::string* text : {&c.title, &c.author, &c.copyright, &c.comment}) {
    uint16_t n = 0;
    if (!readU16(n) || !readBytes(n, *text)) return false;
  }
  return true;
}

bool RmReader::readMediaProperties() {
  RmStream s;
  uint8_t nameLength = 0;
  uint8_t mimeLength = 0;
  uint32_t dataLength = 0;
  const bool ok =
      readU16(s.streamNumber) && readU32(s.maxBitRate) && readU32(s.avgBitRate) && readU32(s.maxPacketSize) &&
      readU32(s.avgPacketSize) && readU32(s.startTime) && readU32(s.preroll) && readU32(s.duration) &&
      readU8(nameLength) && readBytes(nameLength, s.streamName) && readU8(mimeLength) &&
      readBytes(mimeLength, s.mimeType) && readU32(dataLength) && readBytes(dataLength, s.typeSpecificData);
  if (!ok) return false;
  streams_.push_back(std::move(s));
  return true;
}

bool RmReader::readData(uint64_t chunkEnd) {
  RmDataChunk d;
  if (!readU32(d.numPackets) || !readU32(d.nextDataHeader)) return false;
  d.firstPacket = pos_;
  d.end = std::min(chunkEnd, end_);
  d.cut = chunkEnd > end_ && chunkEnd - end_ > kDataOverstated;
  dataChunks_.push_back(d);
  decodeRealVideo();
  return true;
}

bool RmReader::readIndex() {
  uint32_t count = 0;
  uint16_t streamNumber = 0;
  uint32_t next = 0;
  if (!readU32(count) || !readU16(streamNumber) || !readU32(next)) return false;
  // Every record holds at least its version field; a count the chunk cannot hold is damage.
  if (count > remaining() / 2) return false;
  for (uint32_t n = 0; n < count; ++n) {
    uint16_t version = 0;
    if (!readU16(version)) return false;
    if (version != 0) continue;
    RmIndexEntry e;
    if (!readU32(e.timestamp) || !readU32(e.offset) || !readU32(e.packetCountForThisPacket)) {
      return false;
    }
    indexEntries_.push_back(e);
  }
  return true;
}

void RmReader::decodeRealVideo() {
  for (RmStream& s : streams_) {
    if (s.mimeType != kRealVideoMime || s.typeSpecificData.size() < kRealVideoDecodedSize) continue;
    const uint8_t* b = s.typeSpecificData.data();
    s.codecFourcc = readU32be(b + 8);
    s.frameWidth = readU16be(b + 12);
    s.frameHeight = readU16be(b + 14);
    s.frameRate = readU32be(b + 22) >> 16;  // 16.16 fixed point
  }
}

bool RmReader::readPacket(ByteCursor& packets, RmPacketHeader& header) {
  const uint8_t* b = packets.look(2);
  if (!b) return false;
  header = RmPacketHeader{};
  header.objectVersion = readU16be(b);
  if (header.objectVersion > 1) return packets.skip(2);
  b = packets.look(kPacketHeaderSize);
  if (!b) return false;
  header.length = readU16be(b + 2);
  header.streamNumber = readU16be(b + 4);
  header.timestamp = readU32be(b + 6);
  header.packetGroup = b[10];
  header.flags = b[11];
  // The payload is skipped by position; a length below the header's own size has none. One that
  // runs past the end leaves no packet after it.
  if (!packets.skip(std::max<uint64_t>(header.length, kPacketHeaderSize))) packets.seek(packets.end());
  return true;
}

namespace {

// Per-second bytes of one stream kind while the packets are read. Runs of whole seconds are
// kept as differences and added at the end, so a packet after a long gap costs the same as any
// other and a file of alternating far-apart timestamps cannot make the pass crawl. The difference
// array is made only when a gap of whole seconds occurs.
class SecondsFill {
 public:
  SecondsFill(PerSecondSeries& series, uint32_t n) : series_(series), n_(n) {}

  void add(uint32_t index, uint32_t bytes) {
    if (index < n_) series_[index] += bytes;
  }
  // Adds `bytes` to each element first … last that lies below N.
  void addRun(uint32_t first, uint32_t last, uint32_t bytes) {
    if (first > last || first >= n_) return;
    last = std::min(last, n_ - 1);
    if (runs_.empty()) runs_.assign(size_t(n_) + 1, 0);
    runs_[first] += bytes;
    runs_[size_t(last) + 1] -= bytes;
  }
  // 32-bit wrap-around is the same whether the run's bytes are added one by one or here.
  void finish() {
    if (runs_.empty()) return;
    uint32_t running = 0;
    for (uint32_t i = kFirstSecond; i < n_; ++i) {
      running += runs_[i];
      series_[i] += running;
    }
  }

 private:
  PerSecondSeries& series_;
  uint32_t n_;
  std::vector<uint32_t> runs_;
};

// Timestamp and bytes not yet spread, per stream kind, across all DATA chunks.
struct StampState {
  uint32_t lastStamp = 0;  // T, ms
  uint32_t pending = 0;    // A, bytes
};

// Spreads the bytes gathered since the last new timestamp over the time from it to `stamp`.
// Unsigned 32-bit throughout: a stamp in an earlier second makes the difference huge, so every
// byte lands on the last timestamp's second. Only the products a * 1000 and a * r are formed in
// 64 bits, so that a large a cannot wrap them and push more than a into the whole seconds.
void attribute(StampState& s, uint32_t stamp, uint32_t length, SecondsFill& out) {
  s.pending += length;
  if (stamp == s.lastStamp) return;  // spread with the next packet that has a new timestamp
  const uint32_t a = s.pending;
  const uint32_t i = s.lastStamp / 1000;
  const uint32_t k = stamp / 1000;
  const uint32_t d = stamp - s.lastStamp;
  const uint32_t r = stamp % 1000;
  if (k == i) {
    out.add(i + kFirstSecond, a);
  } else if (k == i + 1) {
    // a * r / d rounded half up, in integers.
    const uint32_t g = uint32_t((2 * uint64_t(a) * r + d) / (2 * uint64_t(d)));
    out.add(i + kFirstSecond, a - g);
    out.add(k + kFirstSecond, g);
  } else {
    const uint32_t e = uint32_t(uint64_t(a) * 1000 / d);  // bytes of one whole second
    const uint32_t g = uint32_t(uint64_t(a) * r / d);
    out.add(i + kFirstSecond, a - (k - i - 1) * e - g);
    out.add(k + kFirstSecond, g);
    out.addRun(i + kFirstSecond + 1, k + kFirstSecond - 1, e);
  }
  s.pending = 0;
  s.lastStamp = stamp;
}

int firstStreamWithMime(const std::vector<RmStream>& streams, const char* mime) {
  for (size_t i = 0; i < streams.size(); ++i) {
    if (streams[i].mimeType == mime) return int(i);
  }
  return -1;
}

// Seconds of the video series in which no video packet is stamped give their bytes to the last
// second that has one, so that a gap in the video shows as zero.
void mergeGaps(PerSecondSeries& video, const std::vector<uint32_t>& stampedBytes, uint32_t n) {
  uint32_t anchor = kFirstSecond;
  for (uint32_t i = kFirstSecond + 1; i < n; ++i) {
    if (stampedBytes[i] == 0) {
      video[anchor] += video[i];
      video[i] = 0;
    } else {
      anchor = i;
    }
  }
}

TrackKind kindOfMime(const std::string& mime) {
  if (mime.starts_with("video/")) return TrackKind::Video;
  if (mime.starts_with("audio/")) return TrackKind::Audio;
  return TrackKind::Other;
}

// A unit joins a stream's packets of one time stamp; the series count its first packet as it
// came and the others as bytes waiting for the next time stamp, as the packets themselves.
void spread(const TrackUnits& track, SecondsFill& fill) {
  StampState state;
  for (const TimedUnit& u : track.units) {
    attribute(state, uint32_t(u.ticks), u.lead, fill);
    state.pending += u.bytes - u.lead;
  }
}

// The video and audio series of the chosen tracks' units, durationSeconds long.
void fillSeries(FileAnalysis& out) {
  const uint32_t n = uint32_t(out.durationSeconds) + kFirstSecond;
  auto video = std::make_unique<PerSecondSeries>(n);
  auto audio = std::make_unique<PerSecondSeries>(n);
  if (out.videoTrack >= 0) {
    SecondsFill fill(*video, n);
    spread(out.videoUnits, fill);
    fill.finish();
    std::vector<uint32_t> stampedBytes(n, 0);  // video bytes by the second they are stamped in
    for (const TimedUnit& u : out.videoUnits.units)
      if (const uint64_t second = uint64_t(u.ticks) / 1000 + kFirstSecond; second < n)
        stampedBytes[second] += u.bytes;
    mergeGaps(*video, stampedBytes, n);
  }
  if (out.audioTrack >= 0) {
    SecondsFill fill(*audio, n);
    spread(out.audioUnits, fill);
    fill.finish();
  }
  out.videoSeries = std::move(video);
  out.audioSeries = std::move(audio);
}

codec::TrackCoding codingOf(const RmStream& s) {
  codec::TrackCoding coding;
  const uint32_t c = s.codecFourcc;
  coding.codec = codec::codecOfFourcc((c >> 24) | ((c >> 8) & 0xFF00) | ((c << 8) & 0xFF0000) | (c << 24));
  coding.config = s.typeSpecificData;
  return coding;
}

}  // namespace

LoadResult walkRealMedia(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  RmReader reader(&file);
  if (!reader.result().ok()) return reader.result();
  notes.cutShort = reader.cutShort();
  ProgressGate gate(control, file.length());

  // At most 4294967 seconds: the duration is a 32-bit count of milliseconds.
  const uint32_t seconds = reader.properties().duration / 1000;
  out.durationSeconds = int32_t(seconds);

  // Every MDPR is a track; the first of each MIME type below are the chosen ones, and a
  // packet belongs to every chosen one and to the first video or audio track of its number.
  const std::vector<RmStream>& streams = reader.streams();
  const int videoAt = firstStreamWithMime(streams, kRealVideoMime);
  const int audioAt = firstStreamWithMime(streams, kRealAudioMime);
  const int videoNumber = videoAt >= 0 ? streams[size_t(videoAt)].streamNumber : -1;
  const int audioNumber = audioAt >= 0 ? streams[size_t(audioAt)].streamNumber : -1;
  std::vector<int32_t> firstOfNumber(size_t(1) << 16, -1);
  out.tracks.reserve(streams.size());
  for (size_t i = 0; i < streams.size(); ++i) {
    const RmStream& s = streams[i];
    Track t;
    t.kind = kindOfMime(s.mimeType);
    t.codec = s.mimeType;
    t.name = s.streamName;
    t.id = s.streamNumber;
    if (t.kind == TrackKind::Video) {
      t.frameRateMilli = int32_t(s.frameRate * 1000);
      t.frameWidth = int32_t(s.frameWidth);
      t.frameHeight = int32_t(s.frameHeight);
      if (s.codecFourcc != 0) t.coding = codingOf(s);
    }
    if (t.kind != TrackKind::Other) {
      t.units.present = true;
      t.units.clock = {1, 0, 1000};
      t.units.keepPlaces = out.videoUnits.keepPlaces && t.kind == TrackKind::Video;
      if (firstOfNumber[s.streamNumber] < 0) firstOfNumber[s.streamNumber] = int32_t(i);
    }
    out.tracks.push_back(std::move(t));
  }
  // The chosen video track's facts are those of the first MDPR of its number, as ever.
  for (const RmStream& s : streams) {
    if (s.streamNumber != videoNumber) continue;
    out.frameRateMilli = int32_t(s.frameRate * 1000);
    out.frameWidth = int32_t(s.frameWidth);
    out.frameHeight = int32_t(s.frameHeight);
    break;
  }
  for (const RmStream& s : streams) {
    if (s.streamNumber != videoNumber || s.codecFourcc == 0) continue;
    out.videoCoding = codingOf(s);
    break;
  }
  if (videoAt >= 0) {
    Track& t = out.tracks[size_t(videoAt)];
    t.frameRateMilli = out.frameRateMilli;
    t.frameWidth = out.frameWidth;
    t.frameHeight = out.frameHeight;
    t.coding = out.videoCoding;
    // Room for every packet the file can hold up to what its header counts: growing the list
    // would copy it and touch fresh pages again.
    t.units.units.reserve(size_t(std::min<uint64_t>(
        {reader.properties().numPackets, file.length() / kPacketHeaderSize, kUnitsReserved})));
  }

  // Each packet joins its track's last unit when it has the same time stamp: RealVideo cuts a
  // picture into packets of one time stamp, each flagged key when the picture is.
  const auto addPacket = [&](int at, const RmPacketHeader& h, uint64_t packetAt) {
    TrackUnits& u = out.tracks[size_t(at)].units;
    if (!u.units.empty() && u.units.back().ticks == int64_t(h.timestamp)) {
      u.units.back().bytes += h.length;
      return;
    }
    TimedUnit unit{int64_t(h.timestamp), h.length, (h.flags & kPacketKeyFrame) ? 1u : 0u};
    unit.lead = h.length;
    u.units.push_back(unit);
    // The frame's first packet after its media packet header: the video packet header, then the
    // picture (or its first part).
    if (u.keepPlaces) {
      const uint32_t header = uint32_t(kPacketHeaderSize) + h.objectVersion;
      u.places.push_back({packetAt + header, h.length > header ? h.length - header : 0u});
    }
  };
  for (const RmDataChunk& chunk : reader.dataChunks()) {
    ByteCursor packets(file, chunk.firstPacket, chunk.end, RmReader::kPacketWindow);
    // Each packet moves the position forward, so a wild count stops at the chunk's end.
    for (uint32_t p = 0; p < chunk.numPackets; ++p) {
      if (!gate.at(packets.position())) return LoadResult::fail(LoadFailure::Cancelled, packets.position());
      RmPacketHeader h;
      const uint64_t packetAt = packets.position();
      // Packets the count promises but the cut file does not hold.
      if (!RmReader::readPacket(packets, h)) {
        notes.cutShort = notes.cutShort || chunk.cut;
        break;
      }
      if (h.objectVersion > 1) continue;
      const int first = firstOfNumber[h.streamNumber];
      if (first >= 0) addPacket(first, h, packetAt);
      if (h.streamNumber == videoNumber && videoAt != first) addPacket(videoAt, h, packetAt);
      if (h.streamNumber == audioNumber && audioAt != first && audioAt != videoAt)
        addPacket(audioAt, h, packetAt);
    }
  }
  // A packet walk cut short by a failed read is no result, however many packets it saw.
  if (file.readFailed()) return LoadResult::fail(LoadFailure::CouldNotRead);

  for (Track& t : out.tracks) countTrackUnits(t);
  const bool keepPlaces = out.videoUnits.keepPlaces;
  if (videoAt >= 0) {
    out.videoUnits = std::move(out.tracks[size_t(videoAt)].units);
    out.tracks[size_t(videoAt)].units = TrackUnits();
  }
  out.videoUnits.keepPlaces = keepPlaces;
  out.videoUnits.clock = {1, 0, 1000};
  if (audioAt >= 0) {
    out.audioUnits = std::move(out.tracks[size_t(audioAt)].units);
    out.tracks[size_t(audioAt)].units = TrackUnits();
  }
  out.videoTrack = out.defaultVideo = videoAt;
  out.audioTrack = out.defaultAudio = audioAt;
  // Bytes still pending after the last packet belong to no known interval and are dropped.
  fillSeries(out);
  return LoadResult::success();
}

LoadResult fillRealMediaChosenSeries(FileAnalysis& a) {
  fillSeries(a);
  // The frame rate is the stream's declared one, never measured.
  a.frameRateMilli = a.videoTrack >= 0 ? a.tracks[size_t(a.videoTrack)].frameRateMilli : 0;
  return LoadResult::success();
}

bool looksLikeRealMedia(const uint8_t* head, size_t n) {
  return n >= kChunkHeaderSize && readU32be(head) == kIdRmf && readU32be(head + 4) >= kChunkHeaderSize &&
         readU16be(head + 8) <= 1;
}

}  // namespace mv
