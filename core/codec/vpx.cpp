// VP8, VP9 and AV1: the frame type from the first bytes of a frame (VP9: of a superframe's first
// frame; AV1: of a temporal unit's first frame header).
#include "codec/bits.h"
#include "codec/readers.h"

namespace mv::codec {

namespace {

using Probe = PictureReader::Probe;

Probe typed(bool intra, bool key) { return {intra ? PictureType::I : PictureType::P, key, 0}; }

class Vp8Reader : public CodecReader {
 public:
  Probe probe(const uint8_t* d, size_t n, uint64_t, uint64_t) override {
    if (n < 3) return {};
    const bool key = (d[0] & 1) == 0;
    // A key frame's start code, then 14 bits of width and of height (2 bits of scaling above each).
    if (key && n >= 10 && d[3] == 0x9D && d[4] == 0x01 && d[5] == 0x2A) {
      info_.width = (d[6] | d[7] << 8) & 0x3FFF;
      info_.height = (d[8] | d[9] << 8) & 0x3FFF;
    }
    return typed(key, key);
  }
  StreamInfo info() const override { return info_; }

 private:
  StreamInfo info_;
};

class Vp9Reader : public CodecReader {
 public:
  Probe probe(const uint8_t* d, size_t n, uint64_t, uint64_t) override {
    Bits b(d, n);
    if (b.u(2) != 2) return {};  // frame_marker
    const uint32_t profileLow = b.u(1);
    const uint32_t profile = profileLow | b.u(1) << 1;
    if (profile == 3) b.skip(1);
    if (b.flag()) return b.ok() ? typed(false, false) : Probe{};  // show_existing_frame
    const bool key = !b.flag();                                   // frame_type 0: KEY_FRAME
    const bool show = b.flag();
    const bool errorResilient = b.flag();
    bool intraOnly = false;
    if (!key) {
      intraOnly = show ? false : b.flag();
      if (!errorResilient) b.skip(2);  // reset_frame_context
    }
    if (!b.ok()) return {};
    if (key) readSize(b, profile);
    return typed(key || intraOnly, key);
  }
  StreamInfo info() const override { return info_; }

 private:
  void readSize(Bits& b, uint32_t profile) {
    if (b.u(24) != 0x498342) return;  // frame_sync_code
    if (profile >= 2) b.skip(1);      // ten_or_twelve_bit
    const uint32_t colorSpace = b.u(3);
    if (colorSpace != 7) {  // not RGB
      b.skip(1);            // color_range
      if (profile == 1 || profile == 3) b.skip(3);
    } else if (profile == 1 || profile == 3) {
      b.skip(1);
    }
    const int32_t w = int32_t(b.u(16)) + 1;
    const int32_t h = int32_t(b.u(16)) + 1;
    if (!b.ok()) return;
    info_.width = w;
    info_.height = h;
  }

  StreamInfo info_;
};

// AV1's leb128, at most 8 bytes.
uint64_t leb128(Bits& b) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) {
    const uint32_t byte = b.u(8);
    v |= uint64_t(byte & 0x7F) << (7 * i);
    if (!(byte & 0x80)) break;
  }
  return v;
}

// AV1's uvlc: leading zeros, then that many bits.
uint32_t uvlc(Bits& b) {
  int zeros = 0;
  while (!b.flag()) {
    if (++zeros >= 32 || !b.ok()) return 0;
  }
  return zeros == 0 ? 0 : (uint32_t(1) << zeros) - 1 + b.u(zeros);
}

class Av1Reader : public CodecReader {
 public:
  explicit Av1Reader(const std::vector<uint8_t>& config) {
    // av1C: four bytes of record, then the configOBUs; a bare sequence header OBU is read too.
    if (config.size() > 4 && (config[0] & 0x80)) {
      walk(config.data() + 4, config.size() - 4, 0);
    } else if (!config.empty()) {
      walk(config.data(), config.size(), 0);
    }
  }

  Probe probe(const uint8_t* d, size_t n, uint64_t at, uint64_t) override { return walk(d, n, at); }
  StreamInfo info() const override { return info_; }

 private:
  static constexpr uint32_t kSequenceHeader = 1, kFrameHeader = 3, kFrame = 6;

  // The OBUs of `d` (from `at` of the picture) up to the first frame header, whose type it
  // returns; past an OBU longer than `d`, the caller is to look again after it.
  Probe walk(const uint8_t* d, size_t n, uint64_t at) {
    size_t pos = 0;
    for (int obu = 0; obu < 64 && pos < n; ++obu) {
      Bits b(d + pos, n - pos);
      b.skip(1);  // forbidden bit
      const uint32_t type = b.u(4);
      const bool extension = b.flag();
      const bool hasSize = b.flag();
      b.skip(1);
      if (extension) b.skip(8);
      const uint64_t size = hasSize ? leb128(b) : uint64_t(n - pos) - b.bitPosition() / 8;
      if (!b.ok()) return {};
      const size_t head = b.bitPosition() / 8;
      const size_t avail = n - pos - head;
      const uint8_t* payload = d + pos + head;
      const size_t payloadBytes = size < avail ? size_t(size) : avail;
      if (type == kSequenceHeader) readSequenceHeader(payload, payloadBytes);
      if (type == kFrameHeader || type == kFrame) return frameHeader(payload, payloadBytes);
      if (size >= avail) return hasSize ? Probe{PictureType::None, false, at + pos + head + size} : Probe{};
      pos += head + size_t(size);
    }
    return {};
  }

  Probe frameHeader(const uint8_t* d, size_t n) {
    if (reducedStill_) return typed(true, true);
    Bits b(d, n);
    if (b.flag()) return b.ok() ? typed(false, false) : Probe{};  // show_existing_frame
    const uint32_t frameType = b.u(2);                            // KEY, INTER, INTRA_ONLY, SWITCH
    if (!b.ok()) return {};
    return typed(frameType == 0 || frameType == 2, frameType == 0);
  }

  void readSequenceHeader(const uint8_t* d, size_t n) {
    Bits b(d, n);
    const uint32_t profile = b.u(3);
    b.skip(1);  // still_picture
    const bool reduced = b.flag();
    uint32_t level = 0;
    uint32_t rateNum = 0, rateDen = 0;
    if (reduced) {
      level = b.u(5);
    } else {
      bool decoderModel = false;
      uint32_t delayBits = 0;
      if (b.flag()) {  // timing_info_present_flag
        const uint32_t unitsInTick = b.u(32);
        const uint32_t timeScale = b.u(32);
        uint32_t ticksPerPicture = 1;
        if (b.flag()) ticksPerPicture = uvlc(b) + 1;  // equal_picture_interval
        if (unitsInTick && ticksPerPicture <= 0xFFFFFFFFu / unitsInTick) {
          rateNum = timeScale;
          rateDen = unitsInTick * ticksPerPicture;
        }
        decoderModel = b.flag();
        if (decoderModel) {
          delayBits = b.u(5) + 1;
          b.skip(32 + 5 + 5);
        }
      }
      const bool initialDelay = b.flag();
      const uint32_t points = b.u(5) + 1;
      for (uint32_t i = 0; i < points && b.ok(); ++i) {
        b.skip(12);  // operating_point_idc
        const uint32_t opLevel = b.u(5);
        if (i == 0) level = opLevel;
        if (opLevel > 7) b.skip(1);
        if (decoderModel && b.flag()) b.skip(2 * delayBits + 1);
        if (initialDelay && b.flag()) b.skip(4);
      }
    }
    const int widthBits = int(b.u(4)) + 1;
    const int heightBits = int(b.u(4)) + 1;
    const int32_t w = int32_t(b.u(widthBits)) + 1;
    const int32_t h = int32_t(b.u(heightBits)) + 1;
    if (!b.ok()) return;
    reducedStill_ = reduced;
    info_.width = w;
    info_.height = h;
    info_.rateNum = rateNum;
    info_.rateDen = rateNum ? rateDen : 0;
    static constexpr std::string_view kProfiles[] = {"Main", "High", "Professional"};
    info_.profile = profile < 3 ? kProfiles[profile] : std::string_view();
    info_.level = int(level);
  }

  bool reducedStill_ = false;
  StreamInfo info_;
};

}  // namespace

std::unique_ptr<CodecReader> makeVpxReader(const TrackCoding& coding) {
  switch (coding.codec) {
    case Codec::Vp8:
      return std::make_unique<Vp8Reader>();
    case Codec::Vp9:
      return std::make_unique<Vp9Reader>();
    case Codec::Av1:
      return std::make_unique<Av1Reader>(coding.config);
    default:
      return nullptr;
  }
}

}  // namespace mv::codec
