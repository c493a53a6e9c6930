// H.263 and its relatives (Sorenson H.263, RealVideo 1, MS-MPEG-4 v1–v3, WMV1/WMV2): the
// picture type from the first bits of the picture header. None of them has B pictures but
// H.263's own optional ones.
#include "codec/bits.h"
#include "codec/readers.h"

namespace mv::codec {
namespace {

using Probe = PictureReader::Probe;

Probe typed(PictureType type) { return {type, type == PictureType::I, 0}; }

// H.263's standard source formats, 1 (sub-QCIF) to 5 (16CIF).
constexpr int32_t kFormats[6][2] = {{0, 0}, {128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};

class H263FamilyReader : public CodecReader {
 public:
  explicit H263FamilyReader(Codec codec) : codec_(codec) {}

  Probe probe(const uint8_t* data, size_t n, uint64_t at, uint64_t) override {
    if (at != 0) return {};
    switch (codec_) {
      case Codec::H263:
        return h263(data, n);
      case Codec::Flv1:
        // The FLV tag's own first byte (frame kind and codec id) may lead; a picture starts 00 00.
        return data[0] != 0 && n > 1 ? sorenson(data + 1, n - 1) : sorenson(data, n);
      case Codec::RealVideo1:
        return realVideo1(data, n);
      case Codec::MsMpeg4v1: {
        Bits b(data, n);
        if (b.u(32) != 0x100) return {};
        b.skip(5);  // frame number
        return intraOrInter(b.u(2), b.ok());
      }
      case Codec::Wmv2: {
        Bits b(data, n);
        return typed(b.flag() ? PictureType::P : PictureType::I);
      }
      default: {  // MS-MPEG-4 v2, v3, WMV1
        Bits b(data, n);
        return intraOrInter(b.u(2), b.ok());
      }
    }
  }

  StreamInfo info() const override { return info_; }

 private:
  static Probe intraOrInter(uint32_t code, bool ok) {
    if (!ok || code > 1) return {};
    return typed(code == 0 ? PictureType::I : PictureType::P);
  }

  Probe h263(const uint8_t* p, size_t n) {
    Bits b(p, n);
    if (b.u(22) != 0x20) return {};  // picture start code
    b.skip(8);                       // temporal reference
    if (b.u(2) != 2) return {};      // PTYPE's fixed "1 0"
    b.skip(3);                       // split screen, document camera, freeze release
    const uint32_t format = b.u(3);
    if (format >= 1 && format <= 5) {
      const bool inter = b.flag();
      if (!b.ok()) return {};
      info_.width = kFormats[format][0];
      info_.height = kFormats[format][1];
      return typed(inter ? PictureType::P : PictureType::I);
    }
    if (format != 7) return {};
    // PLUSPTYPE: the optional part (with the source format) only when UFEP is 1.
    const uint32_t ufep = b.u(3);
    uint32_t plusFormat = 0;
    if (ufep == 1) {
      plusFormat = b.u(3);
      b.skip(15);
    }
    const uint32_t code = b.u(3);
    b.skip(6);  // RPR, RRU, rounding type, "0 0 1"
    if (ufep == 1 && plusFormat == 6) {
      if (b.flag()) b.skip(2);  // CPM, PSBI
      b.skip(4);                // pixel aspect ratio
      const uint32_t w = (b.u(9) + 1) * 4;
      b.skip(1);
      const uint32_t h = b.u(9) * 4;
      if (b.ok() && h) {
        info_.width = int32_t(w);
        info_.height = int32_t(h);
      }
    } else if (ufep == 1 && plusFormat >= 1 && plusFormat <= 5) {
      info_.width = kFormats[plusFormat][0];
      info_.height = kFormats[plusFormat][1];
    }
    if (!b.ok()) return {};
    switch (code) {
      case 0:
      case 4:  // EI
        return typed(PictureType::I);
      case 1:
      case 2:  // improved PB
      case 5:  // EP
        return typed(PictureType::P);
      case 3:
        return typed(PictureType::B);
      default:
        return {};
    }
  }

  Probe sorenson(const uint8_t* p, size_t n) {
    Bits b(p, n);
    if (b.u(17) != 1) return {};  // picture start code
    b.skip(5 + 8);                // version, temporal reference
    const uint32_t format = b.u(3);
    static constexpr int32_t kSizes[7][2] = {{0, 0},    {0, 0},     {352, 288}, {176, 144},
                                             {128, 96}, {320, 240}, {160, 120}};
    int32_t w = 0, h = 0;
    if (format == 0 || format == 1) {
      const int bits = format == 0 ? 8 : 16;
      w = int32_t(b.u(bits));
      h = int32_t(b.u(bits));
    } else if (format < 7) {
      w = kSizes[format][0];
      h = kSizes[format][1];
    }
    // 0 intra, 1 inter, 2 disposable inter.
    const uint32_t kind = b.u(2);
    if (!b.ok() || format == 7) return {};
    if (w && h) {
      info_.width = w;
      info_.height = h;
    }
    return typed(kind == 0 ? PictureType::I : PictureType::P);
  }

  static Probe realVideo1(const uint8_t* p, size_t n) {
    const size_t at = realVideoBitstreamStart(p, n);
    if (at >= n) return {};
    Bits b(p + at, n - at);
    b.skip(1);  // marker
    const bool inter = b.flag();
    if (!b.ok()) return {};
    return typed(inter ? PictureType::P : PictureType::I);
  }

  Codec codec_;
  StreamInfo info_;
};

}  // namespace

std::unique_ptr<CodecReader> makeH263FamilyReader(const TrackCoding& coding) {
  switch (coding.codec) {
    case Codec::H263:
    case Codec::Flv1:
    case Codec::RealVideo1:
    case Codec::MsMpeg4v1:
    case Codec::MsMpeg4v2:
    case Codec::MsMpeg4v3:
    case Codec::Wmv1:
    case Codec::Wmv2:
      return std::make_unique<H263FamilyReader>(coding.codec);
    default:
      return nullptr;
  }
}

}  // namespace mv::codec
