// RealVideo 2, 3 and 4: the picture type of the frame header. A frame comes either as a demuxer
// hands it on (a slice-count byte and eight bytes a slice before the bitstream) or as it lies in
// a RealMedia file (a media packet header, then the video packet header of RealMedia's packing).
#include "codec/bits.h"
#include "codec/readers.h"

namespace mv::codec {

namespace {

using Probe = PictureReader::Probe;

uint32_t be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }

class RealVideoReader : public CodecReader {
 public:
  RealVideoReader(Codec codec, const std::vector<uint8_t>& config) : codec_(codec) {
    // The type-specific data: a length, "VIDO", the codec, width and height, ..., and the frame
    // rate as 16.16 at 22; some writers leave out the length.
    const auto vido = [&](size_t at) {
      return config.size() >= at + 4 && config[at] == 'V' && config[at + 1] == 'I' && config[at + 2] == 'D' &&
             config[at + 3] == 'O';
    };
    const size_t lengthBytes = vido(4) ? 4 : vido(0) ? 0 : 1;
    if (lengthBytes == 1 || config.size() < lengthBytes + 22) return;
    const uint8_t* b = config.data() + lengthBytes;
    info_.width = int32_t(be16(b + 8));
    info_.height = int32_t(be16(b + 10));
    const uint32_t fps = uint32_t(b[18]) << 24 | uint32_t(b[19]) << 16 | uint32_t(b[20]) << 8 | b[21];
    if (fps) {
      info_.rateNum = fps;
      info_.rateDen = 65536;
    }
  }

  Probe probe(const uint8_t* d, size_t n, uint64_t, uint64_t) override {
    const size_t at = realVideoBitstreamStart(d, n);
    if (at >= n) return {};
    Bits b(d + at, n - at);
    uint32_t type = 0;
    if (codec_ == Codec::RealVideo2) {
      type = b.u(2);  // 0 and 1 intra, 2 inter, 3 B
    } else {
      if (codec_ == Codec::RealVideo3)
        b.skip(3);
      else if (b.flag())
        return {};  // a set first bit is no RealVideo 4 slice
      type = b.u(2);
    }
    if (!b.ok()) return {};
    if (type <= 1) return {PictureType::I, true, 0};
    return {type == 2 ? PictureType::P : PictureType::B, false, 0};
  }

  StreamInfo info() const override { return info_; }

 private:
  Codec codec_;
  StreamInfo info_;
};

}  // namespace

size_t realVideoBitstreamStart(const uint8_t* d, size_t n) {
  // Slice count less one, then per slice a 32-bit 1 and a 32-bit offset (the first one 0),
  // little-endian.
  if (n >= 9 && d[1] == 1 && d[2] == 0 && d[3] == 0 && d[4] == 0 && d[5] == 0 && d[6] == 0 && d[7] == 0 &&
      d[8] == 0)
    return 1 + 8 * (size_t(d[0]) + 1);
  size_t at = 0;
  // A media packet header: version (0 or 1), length, stream, time stamp, group and flags.
  if (n >= 12 && d[0] == 0 && d[1] <= 1 && be16(d + 2) >= 12u + d[1]) at = 12 + d[1];
  // The video packet header: its top two bits say whole frame (1), several frames (3) or a
  // part (0, 2); a sequence byte but for 3; a part's and a packed frame's length and position
  // (15 or 30 bits each), and a part's picture number.
  if (at >= n) return n;
  const uint32_t kind = d[at] >> 6;
  ++at;
  if (kind != 3) ++at;
  if (kind != 1) {
    for (int field = 0; field < 2; ++field) {
      if (at + 2 > n) return n;
      at += (d[at] & 0x40) ? 2 : 4;
    }
    if (kind != 3) ++at;
  }
  return at;
}

std::unique_ptr<CodecReader> makeRealVideoReader(const TrackCoding& coding) {
  if (coding.codec != Codec::RealVideo2 && coding.codec != Codec::RealVideo3 &&
      coding.codec != Codec::RealVideo4)
    return nullptr;
  return std::make_unique<RealVideoReader>(coding.codec, coding.config);
}

}  // namespace mv::codec
