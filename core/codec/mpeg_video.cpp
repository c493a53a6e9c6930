// MPEG-1/2 video and MPEG-4 Part 2: picture types from picture / VOP headers, stream facts from
// sequence headers and VOLs, and the cutting of their elementary streams into access units.
#include <algorithm>
#include <array>
#include <cstring>

#include "codec/bits.h"
#include "codec/readers.h"
#include "codec/start_codes.h"

namespace mv::codec {
namespace {

// How far into a picture a probe keeps looking for its picture header: sequence headers with
// matrices and user data come first, slices after; more than this is damage.
constexpr uint64_t kLookLimit = 64 * 1024;

// Offset of the code byte of the first start code (00 00 01 xx) at or after `from`; n if none.
size_t nextStartCode(const uint8_t* p, size_t n, size_t from) {
  const size_t one = nextStartCodeOne(p, n, from + 2);
  return one + 1 < n ? one + 1 : n;
}

PictureType mpeg12Type(uint32_t codingType) {
  switch (codingType) {
    case 1:
    case 4:  // D pictures: intra DC only
      return PictureType::I;
    case 2:
      return PictureType::P;
    case 3:
      return PictureType::B;
    default:
      return PictureType::None;
  }
}

PictureType mpeg4Type(uint32_t vopCodingType) {
  switch (vopCodingType) {
    case 0:
      return PictureType::I;
    case 2:
      return PictureType::B;
    default:  // 1, and 3 (sprite): predicted
      return PictureType::P;
  }
}

// What the MPEG-1/2 headers seen so far say; fed the bytes after each start code's code byte.
struct Mpeg12Stream {
  StreamInfo info;
  uint32_t rateCode = 0;
  uint32_t bitRateValue = 0;
  uint32_t vbvValue = 0;
  bool extended = false;  // a sequence extension: MPEG-2
  bool progressive = true;

  // The last picture header and picture coding extension.
  PictureType type = PictureType::None;
  uint32_t structure = 3;  // 1 top field, 2 bottom field, 3 frame
  bool topFirst = false;
  bool repeatFirst = false;

  void sequenceHeader(const uint8_t* p, size_t n) {
    Bits b(p, n);
    const uint32_t w = b.u(12);
    const uint32_t h = b.u(12);
    b.skip(4);  // aspect ratio
    const uint32_t rate = b.u(4);
    const uint32_t bitRate = b.u(18);
    b.skip(1);
    const uint32_t vbv = b.u(10);
    if (!b.ok() || w == 0 || h == 0) return;
    info.width = int32_t(w);
    info.height = int32_t(h);
    rateCode = rate;
    bitRateValue = bitRate;
    vbvValue = vbv;
    extended = false;
    progressive = true;
    info.interlaced = false;
    info.profile = {};
    info.level = 0;
    settle(0, 0, 0, 0);
  }

  void extension(const uint8_t* p, size_t n) {
    Bits b(p, n);
    const uint32_t id = b.u(4);
    if (id == 1) {  // sequence extension
      const uint32_t profileLevel = b.u(8);
      const bool prog = b.flag();
      b.skip(2);
      const uint32_t wExt = b.u(2);
      const uint32_t hExt = b.u(2);
      const uint32_t bitRateExt = b.u(12);
      b.skip(1);
      const uint32_t vbvExt = b.u(8);
      b.skip(1);  // low_delay
      const uint32_t rateN = b.u(2);
      const uint32_t rateD = b.u(5);
      if (!b.ok()) return;
      extended = true;
      progressive = prog;
      info.interlaced = !prog;
      info.width = int32_t(uint32_t(info.width & 0xFFF) | (wExt << 12));
      info.height = int32_t(uint32_t(info.height & 0xFFF) | (hExt << 12));
      if ((profileLevel & 0x80) == 0) {
        static constexpr std::string_view kProfiles[8] = {
            "", "High", "Spatially Scalable", "SNR Scalable", "Main", "Simple", "", ""};
        info.profile = kProfiles[(profileLevel >> 4) & 7];
        info.level = int(profileLevel & 15);
      }
      settle(bitRateExt, vbvExt, rateN, rateD);
    } else if (id == 8) {  // picture coding extension
      b.skip(16 + 2);      // f_codes, intra_dc_precision
      const uint32_t s = b.u(2);
      const bool tff = b.flag();
      b.skip(5);
      const bool rff = b.flag();
      if (!b.ok()) return;
      structure = s == 0 ? 3 : s;
      topFirst = tff;
      repeatFirst = rff;
    }
  }

  void pictureHeader(const uint8_t* p, size_t n) {
    Bits b(p, n);
    b.skip(10);  // temporal_reference
    const uint32_t codingType = b.u(3);
    type = b.ok() ? mpeg12Type(codingType) : PictureType::None;
    structure = 3;
    topFirst = repeatFirst = false;
  }

  void header(uint8_t code, const uint8_t* p, size_t n) {
    if (code == 0xB3)
      sequenceHeader(p, n);
    else if (code == 0xB5)
      extension(p, n);
    else if (code == 0x00)
      pictureHeader(p, n);
  }

  // Rate, bit rate and buffer from the sequence header's values and its extension's.
  void settle(uint32_t bitRateExt, uint32_t vbvExt, uint32_t rateN, uint32_t rateD) {
    static constexpr uint32_t kRates[16][2] = {
        {0, 0},  {24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {50, 1}, {60000, 1001},
        {60, 1}, {0, 0},        {0, 0},  {0, 0},  {0, 0},        {0, 0},  {0, 0},  {0, 0}};
    const auto* rate = kRates[rateCode & 15];
    info.rateNum = rate[0] * (rateN + 1);
    info.rateDen = rate[0] ? rate[1] * (rateD + 1) : 0;
    // MPEG-1 marks a variable rate by all ones.
    const bool variable = !extended && bitRateValue == 0x3FFFF;
    info.bitRate = variable ? 0 : ((uint64_t(bitRateExt) << 18) | bitRateValue) * 400;
    info.vbvBits = ((uint64_t(vbvExt) << 10) | vbvValue) * 16384;
  }

  // The picture's duration in fields of the frame rate.
  uint8_t fields() const {
    if (!extended || !repeatFirst || structure != 3) return 2;
    if (!progressive) return 3;
    return topFirst ? 6 : 4;
  }
};

std::string_view mpeg4Profile(uint32_t indication, int& level) {
  if (indication >= 0x01 && indication <= 0x08) {
    level = indication == 8 ? 0 : int(indication);
    return "Simple";
  }
  if (indication >= 0xF0 && indication <= 0xF7) {
    level = int(indication & 7);
    return "Advanced Simple";
  }
  level = 0;
  return {};
}

// What the MPEG-4 Part 2 headers seen so far say.
struct Mpeg4Stream {
  StreamInfo info;
  PictureType type = PictureType::None;

  void header(uint8_t code, const uint8_t* p, size_t n) {
    if (code == 0xB0 && n > 0) {
      info.profile = mpeg4Profile(p[0], info.level);
    } else if (code >= 0x20 && code <= 0x2F) {
      layer(p, n);
    } else if (code == 0xB6) {
      Bits b(p, n);
      const uint32_t t = b.u(2);
      type = b.ok() ? mpeg4Type(t) : PictureType::None;
    }
  }

  // A video object layer: its time base and, for a rectangular one, its size.
  void layer(const uint8_t* p, size_t n) {
    Bits b(p, n);
    b.skip(1 + 8);  // random_accessible_vol, video_object_type_indication
    uint32_t verid = 1;
    if (b.flag()) {
      verid = b.u(4);
      b.skip(3);
    }
    if (b.u(4) == 15) b.skip(16);  // extended pixel aspect ratio
    if (b.flag()) {                // vol_control_parameters
      b.skip(3);                   // chroma_format, low_delay
      if (b.flag()) b.skip(79);    // vbv_parameters with their marker bits
    }
    const uint32_t shape = b.u(2);
    if (shape == 3 && verid != 1) b.skip(4);
    b.skip(1);
    const uint32_t resolution = b.u(16);
    b.skip(1);
    uint32_t increment = 0;
    if (b.flag()) {  // fixed_vop_rate: an increment as wide as the resolution needs
      int bits = 1;
      while (bits < 16 && (uint32_t(1) << bits) < resolution) ++bits;
      increment = b.u(bits);
    }
    uint32_t w = 0, h = 0;
    bool interlaced = false;
    if (shape == 0) {
      b.skip(1);
      w = b.u(13);
      b.skip(1);
      h = b.u(13);
      b.skip(1);
      interlaced = b.flag();
    }
    if (!b.ok() || resolution == 0) return;
    info.rateNum = increment ? resolution : 0;
    info.rateDen = increment;
    if (w && h) {
      info.width = int32_t(w);
      info.height = int32_t(h);
      info.interlaced = interlaced;
    }
  }
};

// Calls `header(code, bytes after the code, count)` for every start code of `p[0..n)`, until it
// returns true; the offset of the code byte that stopped it, or n.
template <typename Header>
size_t eachStartCode(const uint8_t* p, size_t n, Header header) {
  for (size_t i = nextStartCode(p, n, 0); i < n;) {
    const size_t next = nextStartCode(p, n, i + 1);
    // The header's bytes end where the next start code (00 00 01) begins.
    const size_t end = next < n ? next - 3 : n;
    if (header(p[i], p + i + 1, end > i + 1 ? end - i - 1 : 0)) return i;
    i = next;
  }
  return n;
}

// Where to look again when a picture's header was not in the first bytes: a little before their
// end, so that a start code cut there is seen whole.
uint64_t lookFurther(size_t n, uint64_t at, uint64_t size) {
  if (n <= 8 || at + n >= size || at + n > kLookLimit) return 0;
  return at + n - 8;
}

// Types a picture by the first picture (VOP) header in it; the headers before it, and those of
// the codec record, tell of the stream.
template <typename Stream, uint8_t kPictureCode>
class HeaderReader : public CodecReader {
 public:
  explicit HeaderReader(const TrackCoding& coding) {
    eachStartCode(coding.config.data(), coding.config.size(),
                  [this](uint8_t code, const uint8_t* p, size_t n) {
                    if (code != kPictureCode) stream_.header(code, p, n);
                    return false;
                  });
  }

  PictureReader::Probe probe(const uint8_t* data, size_t n, uint64_t at, uint64_t size) override {
    PictureType type = PictureType::None;
    eachStartCode(data, n, [&](uint8_t code, const uint8_t* p, size_t len) {
      stream_.header(code, p, len);
      if (code == kPictureCode) type = stream_.type;
      return code == kPictureCode;
    });
    // MPEG-4's packed bitstream: a placeholder chunk for the frame whose B-VOP the chunk
    // before carried, shown as P.
    if (type == PictureType::None && kPictureCode == 0xB6 && at == 0 && size <= 8)
      return {PictureType::P, false, 0};
    if (type == PictureType::None) return {PictureType::None, false, lookFurther(n, at, size)};
    return {type, type == PictureType::I, 0};
  }

  StreamInfo info() const override { return stream_.info; }

 private:
  Stream stream_;
};

// Cuts a stream at start codes fed in pieces; each start code's first bytes are kept until the
// next one begins, then handed to the codec's headers.
template <typename Stream>
class StartCodeCutter : public UnitCutter {
 public:
  void feed(const uint8_t* data, size_t n, std::vector<AccessUnit>& out) override {
    for (size_t i = 0; i < n;) {
      size_t body = i;
      if (codeNext_) {
        codeRead(data[i], fed_ + i, out);
        body = i + 1;
      }
      const StartCodeFinder::Hit hit = finder_.next(data, n, i);
      // The 01 too: a stream that ends on it leaves it to the header before, as any other byte.
      keep(data + body, std::min(hit.one + 1, n) - body);
      if (hit.one == n) break;
      codeNext_ = true;
      codeStart_ = fed_ + hit.one - uint64_t(hit.zeros);
      i = hit.one + 1;
    }
    fed_ += n;
  }

  void finish(std::vector<AccessUnit>& out) override {
    if (collecting_) headerRead(head_.data(), headLength_);
    collecting_ = false;
    if (open_) out.push_back(unit_);
    open_ = false;
  }

  void gap(uint64_t n, std::vector<AccessUnit>& out) override {
    finish(out);
    finder_ = StartCodeFinder();
    codeNext_ = false;
    fed_ += n;
  }

  uint64_t fed() const override { return fed_; }
  StreamInfo info() const override { return stream_.info; }

 protected:
  virtual void codeSeen(uint8_t code, uint64_t start, std::vector<AccessUnit>& out) = 0;
  virtual void headerRead(const uint8_t* p, size_t n) = 0;

  // The code byte of a start code at `at`, whose 00 00 01 began `codeStart_`.
  void codeRead(uint8_t code, uint64_t at, std::vector<AccessUnit>& out) {
    codeNext_ = false;
    if (collecting_) {
      // The header's bytes end where 00 00 01 begins; a zero byte before it may be the header's
      // last (all its flags clear).
      const uint64_t end = at - 3;
      const uint64_t ownBytes = end > headStart_ ? end - headStart_ : 0;
      headerRead(head_.data(), ownBytes < headLength_ ? size_t(ownBytes) : headLength_);
    }
    codeSeen(code, codeStart_, out);
    code_ = code;
    collecting_ = true;
    headLength_ = 0;
    headStart_ = at + 1;
  }

  void keep(const uint8_t* p, size_t len) {
    if (!collecting_) return;
    len = std::min(len, head_.size() - headLength_);
    if (len == 0) return;
    std::memcpy(head_.data() + headLength_, p, len);
    headLength_ += len;
  }

  void cut(uint64_t start, std::vector<AccessUnit>& out) {
    if (open_) out.push_back(unit_);
    open_ = true;
    unit_ = AccessUnit{start, PictureType::None, false, 2};
  }

  Stream stream_;
  AccessUnit unit_;
  bool open_ = false;
  uint8_t code_ = 0;

 private:
  std::array<uint8_t, 24> head_{};
  size_t headLength_ = 0;
  uint64_t headStart_ = 0;
  bool collecting_ = false;
  StartCodeFinder finder_;
  bool codeNext_ = false;  // a start code's 01 was the last byte scanned
  uint64_t codeStart_ = 0;
  uint64_t fed_ = 0;
};

class Mpeg12Cutter : public StartCodeCutter<Mpeg12Stream> {
 protected:
  void codeSeen(uint8_t code, uint64_t start, std::vector<AccessUnit>& out) override {
    if (code != 0xB3 && code != 0xB8 && code != 0x00) return;
    // The second field of a frame whose first field is this unit's picture stays in it.
    if (code == 0x00 && open_ && pictures_ == 1 && firstField_ && !headerSincePicture_) {
      pictures_ = 2;
      return;
    }
    if (code != 0x00) headerSincePicture_ = true;
    if (open_ && pictures_ == 0) {
      if (code == 0x00) {
        pictures_ = 1;
        headerSincePicture_ = false;
      }
      return;
    }
    cut(start, out);
    pictures_ = code == 0x00 ? 1 : 0;
    headerSincePicture_ = false;
    firstField_ = false;
  }

  void headerRead(const uint8_t* p, size_t n) override {
    if (code_ == 0x00 && pictures_ == 2) return;  // the second field: the frame is typed by its first
    stream_.header(code_, p, n);
    if (pictures_ != 1) return;
    if (code_ == 0x00) {
      unit_.type = stream_.type;
      unit_.key = stream_.type == PictureType::I;
    } else if (code_ == 0xB5) {
      firstField_ = stream_.structure != 3;
      unit_.fields = stream_.fields();
    }
  }

 private:
  int pictures_ = 0;  // picture headers in the open unit: 2 for a pair of fields
  bool firstField_ = false;
  bool headerSincePicture_ = false;
};

class Mpeg4Cutter : public StartCodeCutter<Mpeg4Stream> {
 protected:
  void codeSeen(uint8_t code, uint64_t start, std::vector<AccessUnit>& out) override {
    const bool cuts = code == 0xB0 || code <= 0x2F || code == 0xB3 || code == 0xB6;
    if (!cuts) return;
    if (!open_ || hasVop_) {
      cut(start, out);
      hasVop_ = false;
    }
    if (code == 0xB6) hasVop_ = true;
  }

  void headerRead(const uint8_t* p, size_t n) override {
    const PictureType before = unit_.type;
    stream_.header(code_, p, n);
    if (code_ == 0xB6 && before == PictureType::None) {
      unit_.type = stream_.type;
      unit_.key = stream_.type == PictureType::I;
    }
  }

 private:
  bool hasVop_ = false;
};

}  // namespace

std::unique_ptr<CodecReader> makeMpegVideoReader(const TrackCoding& coding) {
  if (coding.codec == Codec::Mpeg12) return std::make_unique<HeaderReader<Mpeg12Stream, 0x00>>(coding);
  if (coding.codec == Codec::Mpeg4Part2) return std::make_unique<HeaderReader<Mpeg4Stream, 0xB6>>(coding);
  return nullptr;
}

std::unique_ptr<UnitCutter> makeMpegVideoCutter(Codec codec) {
  if (codec == Codec::Mpeg12) return std::make_unique<Mpeg12Cutter>();
  if (codec == Codec::Mpeg4Part2) return std::make_unique<Mpeg4Cutter>();
  return nullptr;
}

}  // namespace mv::codec
