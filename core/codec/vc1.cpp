// VC-1: the picture type of the picture layer. Simple/main profile (WMV3) frames carry no start
// codes and are read with the four-byte sequence header of the codec data; advanced profile
// (WVC1) frames are start-code delimited, their sequence header in-band or in the codec data.
#include "codec/bits.h"
#include "codec/readers.h"

namespace mv::codec {

namespace {

using Probe = PictureReader::Probe;

enum class Vc1Type { I, P, B, BI, Unknown };

Probe result(Vc1Type t) {
  switch (t) {
    case Vc1Type::I:
      return {PictureType::I, true, 0};
    case Vc1Type::BI:
      return {PictureType::I, false, 0};
    case Vc1Type::P:
      return {PictureType::P, false, 0};
    case Vc1Type::B:
      return {PictureType::B, false, 0};
    case Vc1Type::Unknown:
      break;
  }
  return {};
}

// The seven-bit BFRACTION code 1111111 marks a BI picture; the others (3 or 7 bits) a B.
Vc1Type bOrBi(Bits& b) {
  if (b.u(3) != 7) return Vc1Type::B;
  return b.u(4) == 0xF ? Vc1Type::BI : Vc1Type::B;
}

class Wmv3Reader : public CodecReader {
 public:
  explicit Wmv3Reader(const std::vector<uint8_t>& config) {
    if (config.size() < 4) return;
    Bits b(config);
    const uint32_t profile = b.u(4);  // 0 simple, 4 main
    // FRMRTQ_POSTPROC ... SYNCMARKER
    b.skip(3 + 5 + 1 + 1 + 1 + 1 + 1 + 1 + 2 + 1 + 1 + 1 + 1);
    rangeRed_ = b.flag();
    maxBFrames_ = b.u(3);
    b.skip(2);
    frameInterp_ = b.flag();
    profile_ = profile == 0 ? "Simple" : profile == 4 ? "Main" : "";
  }

  Probe probe(const uint8_t* d, size_t n, uint64_t, uint64_t) override {
    Bits b(d, n);
    if (frameInterp_) b.skip(1);  // INTERPFRM
    b.skip(2);                    // FRMCNT
    if (rangeRed_) b.skip(1);     // RANGEREDFRM
    Vc1Type t = b.flag() ? Vc1Type::P : Vc1Type::I;
    // With B-frames, PTYPE 1 is P, 01 I and 00 B (or BI by its BFRACTION).
    if (maxBFrames_ > 0 && t == Vc1Type::I) t = b.flag() ? Vc1Type::I : bOrBi(b);
    return b.ok() ? result(t) : Probe{};
  }

  StreamInfo info() const override {
    StreamInfo s;
    s.profile = profile_;
    return s;
  }

 private:
  bool rangeRed_ = false;
  uint32_t maxBFrames_ = 0;
  bool frameInterp_ = false;
  std::string_view profile_;
};

// Start code suffixes of the advanced profile.
constexpr uint8_t kSequenceHeader = 0x0F, kEntryPoint = 0x0E, kFrame = 0x0D;
// Bytes of a header unescaped before it is read: the fields used lie well within them.
constexpr size_t kHeaderBytes = 64;

// The offset of the next start code prefix at or after `from`, or n.
size_t nextStartCode(const uint8_t* d, size_t n, size_t from) {
  for (size_t i = from; i + 3 < n; ++i)
    if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1) return i;
  return n;
}

class AdvancedReader : public CodecReader {
 public:
  explicit AdvancedReader(const std::vector<uint8_t>& config) {
    if (!config.empty()) walk(config.data(), config.size());
  }

  Probe probe(const uint8_t* d, size_t n, uint64_t, uint64_t) override {
    // A frame without a start code begins with its picture header.
    if (n < 4 || d[0] != 0 || d[1] != 0 || d[2] != 1) return pictureHeader(d, n);
    return walk(d, n);
  }
  StreamInfo info() const override { return info_; }

 private:
  // The units of `d`: sequence headers are read, the first frame's header gives the type.
  Probe walk(const uint8_t* d, size_t n) {
    for (size_t at = nextStartCode(d, n, 0); at + 3 < n; at = nextStartCode(d, n, at + 3)) {
      const uint8_t code = d[at + 3];
      const uint8_t* body = d + at + 4;
      const size_t bodyBytes = n - at - 4;
      if (code == kSequenceHeader) sequenceHeader(body, bodyBytes);
      if (code == kFrame) return pictureHeader(body, bodyBytes);
      if (code != kSequenceHeader && code != kEntryPoint && (code < 0x1B || code > 0x1F)) break;
    }
    return {};
  }

  Probe pictureHeader(const uint8_t* d, size_t n) {
    const std::vector<uint8_t> head = unescapeNal(d, n, kHeaderBytes);
    Bits b(head);
    Vc1Type t = Vc1Type::Unknown;
    uint32_t fcm = 0;  // 0 progressive, 2 frame interlace, 3 field interlace
    if (interlace_) fcm = b.flag() ? 2 + b.u(1) : 0;
    if (fcm == 3) {
      // FPTYPE: the first field's type makes the picture's.
      static constexpr Vc1Type kFirstField[] = {Vc1Type::I, Vc1Type::I, Vc1Type::P,  Vc1Type::P,
                                                Vc1Type::B, Vc1Type::B, Vc1Type::BI, Vc1Type::BI};
      t = kFirstField[b.u(3)];
    } else {
      // PTYPE: 0 P, 10 B, 110 I, 1110 BI, 1111 skipped (a P).
      int ones = 0;
      while (ones < 4 && b.flag()) ++ones;
      static constexpr Vc1Type kByOnes[] = {Vc1Type::P, Vc1Type::B, Vc1Type::I, Vc1Type::BI, Vc1Type::P};
      t = kByOnes[ones];
    }
    return b.ok() ? result(t) : Probe{};
  }

  void sequenceHeader(const uint8_t* d, size_t n) {
    const std::vector<uint8_t> head = unescapeNal(d, n, kHeaderBytes);
    Bits b(head);
    if (b.u(2) != 3) return;  // PROFILE: advanced
    const uint32_t level = b.u(3);
    b.skip(2 + 3 + 5 + 1);  // COLORDIFF_FORMAT, FRMRTQ/BITRTQ_POSTPROC, POSTPROCFLAG
    const int32_t w = int32_t(b.u(12) + 1) * 2;
    const int32_t h = int32_t(b.u(12) + 1) * 2;
    b.skip(1);  // PULLDOWN
    const bool interlace = b.flag();
    b.skip(1 + 1 + 1 + 1);  // TFCNTRFLAG, FINTERPFLAG, reserved, PSF
    uint32_t rateNum = 0, rateDen = 0;
    if (b.flag()) {  // DISPLAY_EXT
      b.skip(14 + 14);
      if (b.flag() && b.u(4) == 15) b.skip(16);  // ASPECT_RATIO, ASPECT_HORIZ/VERT_SIZE
      if (b.flag()) {                            // FRAMERATE_FLAG
        if (!b.flag()) {
          static constexpr uint32_t kNr[] = {0, 24000, 25000, 30000, 50000, 60000, 48000, 72000};
          const uint32_t nr = b.u(8);
          const uint32_t dr = b.u(4);
          if (nr >= 1 && nr <= 7 && (dr == 1 || dr == 2)) {
            rateNum = kNr[nr];
            rateDen = dr == 1 ? 1000 : 1001;
          }
        } else {
          rateNum = b.u(16) + 1;  // FRAMERATEEXP: (value + 1) / 32 frames a second
          rateDen = 32;
        }
      }
    }
    if (!b.ok()) return;
    interlace_ = interlace;
    info_.width = w;
    info_.height = h;
    info_.interlaced = interlace;
    info_.rateNum = rateNum;
    info_.rateDen = rateDen;
    info_.profile = "Advanced";
    info_.level = int(level);
  }

  bool interlace_ = false;
  StreamInfo info_;
};

}  // namespace

std::unique_ptr<CodecReader> makeVc1Reader(const TrackCoding& coding) {
  if (coding.codec == Codec::Wmv3) return std::make_unique<Wmv3Reader>(coding.config);
  if (coding.codec == Codec::Vc1) return std::make_unique<AdvancedReader>(coding.config);
  return nullptr;
}

}  // namespace mv::codec
