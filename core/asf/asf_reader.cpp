#include "asf/asf_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <span>

#include "codec/fourcc.h"
#include "platform/byte_cursor.h"
#include "platform/byte_order.h"

namespace mv {
namespace {

// GUIDs as they lie in the file: the first three fields little-endian, the last eight bytes as
// written.
struct Guid {
  uint8_t b[16];
};

constexpr Guid guid(uint32_t d1, uint16_t d2, uint16_t d3, uint64_t d4) {
  Guid g{};
  for (int i = 0; i < 4; ++i) g.b[i] = uint8_t(d1 >> (8 * i));
  for (int i = 0; i < 2; ++i) g.b[4 + i] = uint8_t(d2 >> (8 * i));
  for (int i = 0; i < 2; ++i) g.b[6 + i] = uint8_t(d3 >> (8 * i));
  for (int i = 0; i < 8; ++i) g.b[8 + i] = uint8_t(d4 >> (56 - 8 * i));
  return g;
}

constexpr Guid kHeader = guid(0x75B22630, 0x668E, 0x11CF, 0xA6D900AA0062CE6C);
constexpr Guid kData = guid(0x75B22636, 0x668E, 0x11CF, 0xA6D900AA0062CE6C);
constexpr Guid kFileProperties = guid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE400C00C205365);
constexpr Guid kStreamProperties = guid(0xB7DC0791, 0xA9B7, 0x11CF, 0x8EE600C00C205365);
constexpr Guid kHeaderExtension = guid(0x5FBF03B5, 0xA92E, 0x11CF, 0x8EE300C00C205365);
constexpr Guid kExtendedStreamProperties = guid(0x14E6A5CB, 0xC672, 0x4332, 0x8399A96952065B5A);
constexpr Guid kContentDescription = guid(0x75B22633, 0x668E, 0x11CF, 0xA6D900AA0062CE6C);
constexpr Guid kAudioMedia = guid(0xF8699E40, 0x5B4D, 0x11CF, 0xA8FD00805F5C442B);
constexpr Guid kVideoMedia = guid(0xBC19EFC0, 0x5B4D, 0x11CF, 0xA8FD00805F5C442B);
constexpr Guid kLanguageList = guid(0x7C4346A9, 0xEFE0, 0x4BFC, 0xB229393EDE415C85);

bool is(const uint8_t* p, const Guid& g) { return std::memcmp(p, g.b, 16) == 0; }

constexpr size_t kObjectHeader = 24;      // GUID, 64-bit size
constexpr size_t kHeaderObjectHead = 30;  // + object count, two reserved bytes
constexpr size_t kDataObjectHead = 50;    // + file id, packet count, reserved
// Header objects the reader looks into are small; one claiming more is passed over rather than
// read into memory.
constexpr uint64_t kMaxHeaderObject = 16 << 20;

// UTF-16LE up to the first NUL, as UTF-8; unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(const uint8_t* p, size_t n) {
  std::string s;
  for (size_t i = 0; i + 1 < n; i += 2) {
    uint32_t c = readU16le(p + i);
    if (c == 0) break;
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < n && readU16le(p + i + 2) >= 0xDC00 &&
        readU16le(p + i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (readU16le(p + i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      s += char(c);
    } else if (c < 0x800) {
      s += char(0xC0 | (c >> 6));
      s += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      s += char(0xE0 | (c >> 12));
      s += char(0x80 | ((c >> 6) & 0x3F));
      s += char(0x80 | (c & 0x3F));
    } else {
      s += char(0xF0 | (c >> 18));
      s += char(0x80 | ((c >> 12) & 0x3F));
      s += char(0x80 | ((c >> 6) & 0x3F));
      s += char(0x80 | (c & 0x3F));
    }
  }
  return s;
}

// The header objects, from a copy of each object the reader looks into.
class HeaderParser {
 public:
  explicit HeaderParser(AsfFile& out) : out_(out) {}

  void object(const uint8_t* p, size_t n) {
    if (is(p, kFileProperties))
      fileProperties(p, n);
    else if (is(p, kStreamProperties))
      streamProperties(p, n, false);
    else if (is(p, kHeaderExtension))
      headerExtension(p, n);
    else if (is(p, kContentDescription))
      contentDescription(p, n);
  }

  static bool wanted(const uint8_t* p) {
    return is(p, kFileProperties) || is(p, kStreamProperties) || is(p, kHeaderExtension) ||
           is(p, kContentDescription);
  }

 private:
  void fileProperties(const uint8_t* p, size_t n) {
    if (n < 104 || out_.fileProperties) return;
    out_.fileProperties = true;
    out_.declaredPackets = readU64le(p + 56);
    out_.playDuration = readU64le(p + 64);
    out_.sendDuration = readU64le(p + 72);
    out_.preroll = readU64le(p + 80);
    out_.flags = readU32le(p + 88);
    // Packets are read at one size only; a file whose minimum and maximum differ has none.
    const uint32_t minSize = readU32le(p + 92), maxSize = readU32le(p + 96);
    out_.packetSize = minSize == maxSize ? minSize : 0;
    out_.maxBitrate = readU32le(p + 100);
  }

  void streamProperties(const uint8_t* p, size_t n, bool extended) {
    if (n < 78) return;
    AsfStream s;
    s.extended = extended;
    s.kind = is(p + 24, kVideoMedia)   ? AsfStreamKind::Video
             : is(p + 24, kAudioMedia) ? AsfStreamKind::Audio
                                       : AsfStreamKind::Other;
    s.number = readU16le(p + 72) & 0x7F;
    const std::span<const uint8_t> data(p + 78, std::min<uint64_t>(readU32le(p + 64), n - 78));
    if (s.kind == AsfStreamKind::Video) {
      s.encodedWidth = fieldU32le(data, 0);
      s.encodedHeight = fieldU32le(data, 4);
      s.bitmapWidth = int32_t(fieldU32le(data, 15));
      s.bitmapHeight = int32_t(fieldU32le(data, 19));
      s.bitCount = fieldU16le(data, 25);
      s.compression = fieldU32le(data, 27);
      constexpr size_t kBitmapInfoAt = 11;
      if (data.size() > kBitmapInfoAt)
        s.bitmapInfo.assign(
            data.begin() + kBitmapInfoAt,
            data.begin() + long(std::min<size_t>(data.size(), kBitmapInfoAt + fieldU16le(data, 9))));
    } else if (s.kind == AsfStreamKind::Audio) {
      s.formatTag = fieldU16le(data, 0);
      s.channels = fieldU16le(data, 2);
      s.sampleRate = fieldU32le(data, 4);
      s.avgBytesPerSecond = fieldU32le(data, 8);
      s.bitsPerSample = fieldU16le(data, 14);
    }
    const int index = int(out_.streams.size());
    if (s.kind == AsfStreamKind::Video && out_.videoStream < 0) out_.videoStream = index;
    if (s.kind == AsfStreamKind::Audio && out_.audioStream < 0) out_.audioStream = index;
    out_.streams.push_back(s);
  }

  void headerExtension(const uint8_t* p, size_t n) {
    if (n < 46) return;
    const size_t end = 46 + std::min<uint64_t>(readU32le(p + 42), n - 46);
    for (size_t pos = 46; end - pos >= kObjectHeader;) {
      const uint64_t size = readU64le(p + pos + 16);
      if (size < kObjectHeader || size > end - pos) break;
      if (is(p + pos, kExtendedStreamProperties)) extendedStreamProperties(p + pos, size_t(size));
      if (is(p + pos, kLanguageList)) languageList(p + pos, size_t(size));
      pos += size_t(size);
    }
  }

 public:
  // The languages and names, once every header object has been read: the Language List may come
  // after the objects that refer to it.
  void finish() {
    for (AsfStream& s : out_.streams) {
      for (const Texts& t : texts_) {
        if (t.number != s.number) continue;
        if (t.language < languages_.size()) s.language = languages_[t.language];
        s.name = t.name;
        break;
      }
    }
  }

 private:
  void languageList(const uint8_t* p, size_t n) {
    if (n < 26 || !languages_.empty()) return;
    size_t pos = 26;
    for (unsigned i = readU16le(p + 24); i > 0 && pos < n; --i) {
      const size_t len = p[pos++];
      if (n - pos < len) return;
      languages_.push_back(utf16leToUtf8(p + pos, len));
      pos += len;
    }
  }

  // Its average time per frame, and the Stream Properties object it may carry after the stream
  // names and payload extension systems.
  void extendedStreamProperties(const uint8_t* p, size_t n) {
    if (n < 88) return;
    const uint16_t number = readU16le(p + 72);
    if (number < 128 && out_.avgTimePerFrame[number] == 0) out_.avgTimePerFrame[number] = readU64le(p + 76);
    Texts& texts = texts_.emplace_back();
    texts.number = number;
    texts.language = readU16le(p + 74);
    size_t pos = 88;
    for (unsigned i = readU16le(p + 84); i > 0; --i) {
      if (n - pos < 4) return;
      pos += 4;
      const size_t len = readU16le(p + pos - 2);
      if (n - pos < len) return;
      if (texts.name.empty()) texts.name = utf16leToUtf8(p + pos, len);
      pos += len;
    }
    for (unsigned i = readU16le(p + 86); i > 0; --i) {
      if (n - pos < 22) return;
      pos += 22;
      const size_t len = readU32le(p + pos - 4);
      if (n - pos < len) return;
      pos += len;
    }
    if (n - pos < kObjectHeader || !is(p + pos, kStreamProperties)) return;
    streamProperties(p + pos, size_t(std::min<uint64_t>(readU64le(p + pos + 16), n - pos)), true);
  }

  void contentDescription(const uint8_t* p, size_t n) {
    if (n < 34) return;
    std::string* texts[] = {&out_.title, &out_.author, &out_.copyright, &out_.description};
    size_t pos = 34;
    for (int i = 0; i < 4; ++i) {
      const size_t len = readU16le(p + 24 + 2 * i);
      if (n - pos < len) return;
      *texts[i] = utf16leToUtf8(p + pos, len);
      pos += len;
    }
  }

  AsfFile& out_;
  struct Texts {
    uint16_t number = 0;
    uint16_t language = 0;  // index into the Language List
    std::string name;
  };
  std::vector<Texts> texts_;
  std::vector<std::string> languages_;
};

// Gathers the payload fragments of the chosen streams into media objects: the two chosen ones,
// and with everyStream the others too.
class ObjectAssembler {
 public:
  explicit ObjectAssembler(AsfFile& out) {
    std::fill(std::begin(trackOf_), std::end(trackOf_), int8_t(-1));
    follow(out, out.videoStream, out.video);
    follow(out, out.audioStream, out.audio);
    for (size_t i = 0; out.everyStream && i < out.streams.size(); ++i) {
      if (int(i) != out.videoStream && int(i) != out.audioStream) follow(out, int(i), out.units[i]);
    }
  }

  uint64_t packetAt = 0;            // file position of the data packet being read
  const uint8_t* packet = nullptr;  // its bytes

  int trackOf(unsigned stream) const { return trackOf_[stream & 0x7F]; }

  // A fragment of a media object; the object counts once all its bytes have come, in order.
  // `data` holds its `length` bytes in the packet.
  void fragment(int t, uint32_t object, uint32_t offset, uint32_t size, int64_t time, bool key,
                const uint8_t* data, uint32_t length) {
    Open& o = tracks_[size_t(t)].open;
    if (offset == 0) {
      o = {true, object, size, 0, time, key, packetAt, {packetAt + uint64_t(data - packet), length}};
    } else if (!o.active || o.object != object || o.size != size || offset != o.got) {
      o.active = false;  // a fragment is missing: the object is left out
      return;
    }
    o.got += length;
    if (o.got > o.size) {
      o.active = false;
    } else if (o.got == o.size) {
      TrackUnits& units = *tracks_[size_t(t)].units;
      units.add({o.time, o.size, o.key ? 1u : 0u}, o.at);
      if (units.keepPlaces) units.places.push_back(o.place);
      o.active = false;
    }
  }

  void whole(int t, int64_t time, const uint8_t* data, uint32_t bytes, bool key) {
    tracks_[size_t(t)].open.active = false;
    TrackUnits& units = *tracks_[size_t(t)].units;
    units.add({time, bytes, key ? 1u : 0u}, packetAt);
    if (units.keepPlaces) units.places.push_back({packetAt + uint64_t(data - packet), bytes});
  }

  void drop(int t) { tracks_[size_t(t)].open.active = false; }

 private:
  struct Open {
    bool active = false;
    uint32_t object = 0;
    uint32_t size = 0;
    uint64_t got = 0;
    int64_t time = 0;
    bool key = false;
    uint64_t at = 0;  // the packet of its first fragment
    UnitPlace place;  // that fragment's payload
  };
  struct Followed {
    TrackUnits* units;
    Open open;
  };

  void follow(const AsfFile& out, int stream, TrackUnits& units) {
    if (stream < 0) return;
    int8_t& t = trackOf_[out.streams[size_t(stream)].number & 0x7F];
    if (t >= 0) return;
    t = int8_t(tracks_.size());
    tracks_.push_back({&units, {}});
  }

  int8_t trackOf_[128];
  std::vector<Followed> tracks_;  // at most 128
};

// One data packet: false when its payloads do not fit in it (what came before still counts).
bool readPacket(const uint8_t* p, size_t size, ObjectAssembler& objects) {
  ByteCursor c(p, size);
  // The variable-length fields: a length type of 0, 1, 2 or 3 gives 0, 1, 2 or 4 bytes.
  const auto field = [&c](unsigned lengthType) {
    static constexpr size_t kWidths[] = {0, 1, 2, 4};
    return c.uintLe(kWidths[lengthType & 3]);
  };
  uint8_t flags = c.u8();
  if (flags & 0x80) {  // error correction data first; its length is in the low bits
    c.skip(flags & 0x0F);
    flags = c.u8();
  }
  const uint8_t properties = c.u8();
  const uint32_t packetLength = field(flags >> 5);
  field(flags >> 1);  // sequence
  uint64_t padding = field(flags >> 3);
  c.skip(6);  // send time, duration
  if (!c.ok() || packetLength > size) return false;
  // A packet shorter than the fixed size is padded up to it.
  if (packetLength != 0) padding += size - packetLength;
  // Payloads of stated lengths may run into the padding: GStreamer's muxer counts the bytes
  // after them twice, as padding and as the gap below a short packet length.
  const bool multiple = flags & 1;
  if (!multiple) {
    if (padding > c.remaining() || !c.endAt(size - padding)) return false;
  }

  unsigned count = 1, lengthType = 0;
  if (multiple) {
    const uint8_t payloadFlags = c.u8();
    count = payloadFlags & 0x3F;
    lengthType = payloadFlags >> 6;
  }
  for (; count > 0 && c.ok(); --count) {
    const uint8_t streamByte = c.u8();
    const uint32_t object = field(properties >> 4);
    const uint32_t offset = field(properties >> 2);
    const uint32_t replicated = field(properties);
    if (!c.ok() || c.remaining() < replicated) return false;
    const uint8_t* rep = c.take(replicated);
    uint8_t delta = 0;
    if (replicated == 1) delta = rep[0];
    const size_t length = multiple ? field(lengthType) : size_t(c.remaining());
    if (!c.ok() || c.remaining() < length) return false;
    const uint8_t* data = c.take(length);

    const int t = objects.trackOf(streamByte & 0x7F);
    if (t < 0) continue;
    const bool key = streamByte & 0x80;
    if (replicated == 1) {
      // Compressed payload: sub-payloads of one whole object each, a length byte before each.
      int64_t time = offset;
      for (size_t q = 0; q < length && length - q - 1 >= data[q]; q += 1 + data[q], time += delta) {
        objects.whole(t, time, data + q + 1, data[q], key);
      }
    } else if (replicated >= 8) {
      objects.fragment(t, object, offset, readU32le(rep), readU32le(rep + 4), key, data, uint32_t(length));
    } else {
      objects.drop(t);  // without the object's size its fragments cannot be put together
    }
  }
  return c.ok();
}

}  // namespace

LoadResult readAsf(InputFile& file, AsfFile& out, LoadControl* control) {
  uint8_t head[kHeaderObjectHead];
  const size_t got = size_t(std::min<uint64_t>(file.length(), sizeof head));
  if (got < 16 || !file.readAt(0, head, got) || !is(head, kHeader)) {
    return parseFailure(file.readFailed(), false, 0);
  }
  if (got < sizeof head) return LoadResult::fail(LoadFailure::Damaged, 0);
  ProgressGate gate(control, file.length());
  const uint64_t headerSize = readU64le(head + 16);
  if (headerSize < kHeaderObjectHead || !file.contains(0, headerSize)) {
    return parseFailure(file.readFailed(), true, 0);
  }
  uint64_t pos = kHeaderObjectHead;
  try {
    HeaderParser header(out);
    std::vector<uint8_t> body;
    while (headerSize - pos >= kObjectHeader) {
      if (!gate.at(pos)) return LoadResult::fail(LoadFailure::Cancelled, pos);
      uint8_t h[kObjectHeader];
      if (!file.readAt(pos, h, sizeof h)) break;
      const uint64_t size = readU64le(h + 16);
      if (size < kObjectHeader || size > headerSize - pos) break;
      if (HeaderParser::wanted(h) && size <= kMaxHeaderObject) {
        body.resize(size_t(size));
        if (!file.readAt(pos, body.data(), body.size())) break;
        header.object(body.data(), body.size());
      }
      pos += size;
    }
    header.finish();
    if (file.readFailed()) return LoadResult::fail(LoadFailure::CouldNotRead, pos);
    if (!out.fileProperties || out.packetSize == 0) return LoadResult::fail(LoadFailure::Damaged, pos);

    // The data object: normally right after the header, but other top-level objects may come
    // between.
    pos = headerSize;
    uint8_t d[kDataObjectHead];
    for (;;) {
      if (!file.readAt(pos, d, kObjectHeader)) return parseFailure(file.readFailed(), true, pos);
      if (is(d, kData)) break;
      const uint64_t size = readU64le(d + 16);
      if (size < kObjectHeader || !file.contains(pos, size))
        return LoadResult::fail(LoadFailure::Damaged, pos);
      pos += size;
    }
    if (!file.readAt(pos, d, kDataObjectHead)) return parseFailure(file.readFailed(), true, pos);
    out.dataOffset = pos;
    // A live or unfinished file may leave the size 0 or too large: its packets run to the end.
    const uint64_t dataSize = readU64le(d + 16);
    const bool sized = dataSize >= kDataObjectHead;
    const uint64_t dataEnd = sized && file.contains(pos, dataSize) ? pos + dataSize : file.length();
    if (sized && !file.contains(pos, dataSize)) out.cutShort = true;

    out.video.present = out.videoStream >= 0;
    out.audio.present = out.audioStream >= 0;
    if (out.everyStream) {
      out.units.resize(out.streams.size());
      for (size_t i = 0; i < out.streams.size(); ++i) {
        out.units[i].present = int(i) != out.videoStream && int(i) != out.audioStream;
        out.units[i].keepPlaces = out.video.keepPlaces && out.streams[i].kind == AsfStreamKind::Video;
      }
    }
    for (TrackUnits* t : {&out.video, &out.audio}) t->clock = {1, 0, 1000};
    for (TrackUnits& t : out.units) t.clock = {1, 0, 1000};
    ObjectAssembler objects(out);
    const uint32_t packetSize = out.packetSize;
    std::vector<uint8_t> big;  // packets larger than the peek buffer
    for (pos += kDataObjectHead; dataEnd - pos >= packetSize; pos += packetSize) {
      if (!gate.at(pos)) return LoadResult::fail(LoadFailure::Cancelled, pos);
      const uint8_t* p = nullptr;
      if (packetSize <= InputFile::kBufferSize) {
        p = file.peek(pos, packetSize);
      } else {
        big.resize(packetSize);
        if (file.readAt(pos, big.data(), packetSize)) p = big.data();
      }
      if (!p) break;
      ++out.packetsRead;
      objects.packetAt = pos;
      objects.packet = p;
      if (!readPacket(p, packetSize, objects)) ++out.badPackets;
    }
    if (pos < dataEnd && dataEnd - pos < packetSize) out.cutShort = true;
    // What the other streams' growth left spare goes back: the units stay at 16 bytes each.
    for (TrackUnits& t : out.units) {
      if (t.units.capacity() - t.units.size() > t.units.size() / 8 + 1024) t.units.shrink_to_fit();
    }
  } catch (const std::bad_alloc&) {
    return LoadResult::fail(LoadFailure::OutOfMemory, pos);
  }
  if (file.readFailed()) return LoadResult::fail(LoadFailure::CouldNotRead, pos);
  return LoadResult::success();
}

namespace {

Track trackOf(const AsfFile& asf, const AsfStream& s, TrackUnits&& units) {
  Track t;
  char code[8];
  switch (s.kind) {
    case AsfStreamKind::Video: {
      t.kind = TrackKind::Video;
      for (int i = 0; i < 4; ++i) {
        const char c = char(s.compression >> (8 * i));
        t.codec += c >= 0x20 && c < 0x7F ? c : '?';
      }
      const auto positive = [](int64_t x) {
        return x > 0 && x <= std::numeric_limits<int32_t>::max() ? int32_t(x) : 0;
      };
      // The encoded size where the writer gave one, else the bitmap header's (height may be negative).
      const bool encoded = s.encodedWidth > 0 && s.encodedHeight > 0;
      t.frameWidth = positive(encoded ? int64_t(s.encodedWidth) : int64_t(s.bitmapWidth));
      t.frameHeight = positive(encoded              ? int64_t(s.encodedHeight)
                               : s.bitmapHeight < 0 ? -int64_t(s.bitmapHeight)
                                                    : int64_t(s.bitmapHeight));
      const uint64_t perFrame = asf.avgTimePerFrame[s.number & 0x7F];
      const uint64_t declared = perFrame > 0 ? 10'000'000'000ull / perFrame : 0;
      if (declared <= uint64_t(std::numeric_limits<int32_t>::max())) t.frameRateMilli = int32_t(declared);
      t.coding = codec::codingOfBitmapInfo(s.bitmapInfo.data(), s.bitmapInfo.size());
      break;
    }
    case AsfStreamKind::Audio:
      t.kind = TrackKind::Audio;
      std::snprintf(code, sizeof code, "0x%04X", unsigned(s.formatTag));
      t.codec = code;
      break;
    case AsfStreamKind::Other:
      break;
  }
  t.language = s.language;
  t.name = s.name;
  t.id = s.number;
  t.units = std::move(units);
  countTrackUnits(t);
  return t;
}

}  // namespace

LoadResult walkAsf(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  AsfFile asf;
  asf.video.keepPlaces = out.videoUnits.keepPlaces;
  asf.everyStream = true;
  if (const LoadResult r = readAsf(file, asf, control); !r.ok()) return r;
  out.tracks.reserve(asf.streams.size());
  for (size_t i = 0; i < asf.streams.size(); ++i) {
    TrackUnits& units = int(i) == asf.videoStream   ? asf.video
                        : int(i) == asf.audioStream ? asf.audio
                                                    : asf.units[i];
    out.tracks.push_back(trackOf(asf, asf.streams[i], std::move(units)));
  }
  out.defaultVideo = asf.videoStream;
  out.defaultAudio = asf.audioStream;
  swapChosenTracks(out, out.defaultVideo, out.defaultAudio);
  notes.cutShort = asf.cutShort;
  return LoadResult::success();
}

bool looksLikeAsf(const uint8_t* head, size_t n) {
  return n >= sizeof kHeader.b && std::memcmp(head, kHeader.b, sizeof kHeader.b) == 0;
}

}  // namespace mv
