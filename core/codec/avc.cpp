// H.264 and HEVC: the picture type from the first slice's header, parameter sets kept from the
// codec record and from the stream, access units cut where a new picture's NAL units begin.
#include <algorithm>
#include <array>
#include <numeric>

#include "codec/bits.h"
#include "codec/readers.h"
#include "codec/start_codes.h"
#include "codec/video_headers.h"

namespace mv::codec {
namespace {

// A slice header's first fields lie within this many bytes of its NAL unit.
constexpr size_t kSliceHeadBytes = 48;

// What one NAL unit says.
struct Nal {
  int type = -1;
  bool startsUnit = false;  // a kind that opens an access unit when the current one has a slice
  bool slice = false;
  bool firstSlice = false;                  // the picture's first slice (segment)
  PictureType picture = PictureType::None;  // from an independent slice (segment)
  bool idr = false;                         // H.264 IDR / HEVC IRAP
  bool recoveryPoint = false;               // an H.264 SEI holding a recovery point
  bool needMore = false;                    // its header is cut off by the end of the bytes
};

struct HevcPps {
  bool known = false;
  uint8_t sps = 0;
  bool dependentSlices = false;
  uint8_t extraBits = 0;
};

std::string_view h264ProfileName(const H264Sps& sps) {
  switch (sps.profile) {
    case 66:
      return (sps.constraints & 0x40) ? "Constrained Baseline" : "Baseline";
    case 77:
      return "Main";
    case 88:
      return "Extended";
    case 100:
      return "High";
    case 110:
      return "High 10";
    case 122:
      return "High 4:2:2";
    case 244:
      return "High 4:4:4 Predictive";
    case 44:
      return "CAVLC 4:4:4 Intra";
    default:
      return {};
  }
}

std::string_view hevcProfileName(uint8_t profile) {
  switch (profile) {
    case 1:
      return "Main";
    case 2:
      return "Main 10";
    case 3:
      return "Main Still Picture";
    case 4:
      return "Rext";
    default:
      return {};
  }
}

void setRate(StreamInfo& info, uint64_t num, uint64_t den) {
  if (num == 0 || den == 0) return;
  const uint64_t g = std::gcd(num, den);
  num /= g;
  den /= g;
  if (num > UINT32_MAX || den > UINT32_MAX) return;
  info.rateNum = uint32_t(num);
  info.rateDen = uint32_t(den);
}

// The index just past the next start code (00 00 01) at or after `from`, or `n`.
size_t afterStartCode(const uint8_t* d, size_t n, size_t from) {
  const size_t one = nextStartCodeOne(d, n, from + 2);
  return one < n ? one + 1 : n;
}

// The parameter sets of one stream and the reading of its NAL units.
class Syntax {
 public:
  explicit Syntax(Codec codec) : hevc_(codec == Codec::Hevc) {}

  bool hevc() const { return hevc_; }

  // One NAL unit from its header on; `complete` when all of it is in the `n` bytes.
  Nal read(const uint8_t* p, size_t n, bool complete) {
    Nal nal;
    const size_t headerBytes = hevc_ ? 2 : 1;
    if (n < headerBytes) {
      nal.needMore = !complete;
      return nal;
    }
    nal.type = hevc_ ? (p[0] >> 1) & 0x3F : p[0] & 0x1F;
    if (hevc_)
      readHevc(p, n, complete, nal);
    else
      readH264(p, n, complete, nal);
    return nal;
  }

  // An avcC / hvcC record, or parameter sets behind start codes; the NAL length size of a
  // record, 0 otherwise.
  int readConfig(const std::vector<uint8_t>& c) {
    const size_t n = c.size();
    if (n >= 3 && c[0] == 0 && c[1] == 0 && (c[2] == 1 || (n >= 4 && c[2] == 0 && c[3] == 1))) {
      for (size_t i = afterStartCode(c.data(), n, 0); i < n;) {
        const size_t next = afterStartCode(c.data(), n, i);
        read(c.data() + i, (next < n ? next - 3 : n) - i, true);
        i = next;
      }
      return 0;
    }
    if (!hevc_ && n >= 7 && c[0] == 1) {
      size_t pos = 6;
      readRecordEntries(c, pos, c[5] & 0x1F);
      if (pos < n) {
        const size_t pps = c[pos++];
        readRecordEntries(c, pos, pps);
      }
      return (c[4] & 3) + 1;
    }
    if (hevc_ && n >= 23) {
      size_t pos = 23;
      for (size_t a = 0; a < c[22] && pos + 3 <= n; ++a) {
        const size_t count = size_t(c[pos + 1] << 8) | c[pos + 2];
        pos += 3;
        readRecordEntries(c, pos, count);
      }
      return (c[21] & 3) + 1;
    }
    return 0;
  }

  StreamInfo info() const { return info_; }

 private:
  void readRecordEntries(const std::vector<uint8_t>& c, size_t& pos, size_t count) {
    for (size_t i = 0; i < count && pos + 2 <= c.size(); ++i) {
      const size_t len = size_t(c[pos] << 8) | c[pos + 1];
      pos += 2;
      if (len > c.size() - pos) {
        pos = c.size();
        return;
      }
      read(c.data() + pos, len, true);
      pos += len;
    }
  }

  void readH264(const uint8_t* p, size_t n, bool complete, Nal& nal) {
    const int t = nal.type;
    nal.startsUnit = t == 6 || t == 7 || t == 8 || t == 9 || (t >= 14 && t <= 18);
    if (t == 7) {
      H264Sps sps;
      if (!complete)
        nal.needMore = true;
      else if (parseH264Sps(p, n, sps))
        useSps(sps);
    } else if (t == 6) {
      nal.recoveryPoint = hasRecoveryPoint(p + 1, n - 1);
    } else if (t == 1 || t == 2 || t == 5) {
      nal.slice = t != 2;
      nal.idr = t == 5;
      const std::vector<uint8_t> rbsp = unescapeNal(p + 1, n - 1, kSliceHeadBytes);
      Bits b(rbsp);
      // A slice cut short still begins a picture when its first field is there.
      nal.firstSlice = b.ue() == 0 && b.ok();
      const uint32_t sliceType = b.ue();
      if (!b.ok()) {
        nal.needMore = !complete;
        return;
      }
      static constexpr PictureType kTypes[5] = {PictureType::P, PictureType::B, PictureType::I,
                                                PictureType::P, PictureType::I};
      if (sliceType < 10) nal.picture = kTypes[sliceType % 5];
    }
  }

  // SEI messages: a type and a size, each a run of FF bytes and a last byte.
  static bool hasRecoveryPoint(const uint8_t* p, size_t n) {
    const std::vector<uint8_t> rbsp = unescapeNal(p, n, PictureReader::kHeadBytes);
    size_t pos = 0;
    while (pos < rbsp.size() && rbsp[pos] != 0x80) {
      uint32_t values[2] = {};
      for (uint32_t& v : values) {
        while (pos < rbsp.size() && rbsp[pos] == 0xFF) v += rbsp[pos++];
        if (pos >= rbsp.size()) return false;
        v += rbsp[pos++];
      }
      if (values[0] == 6) return true;
      pos += values[1];
    }
    return false;
  }

  void useSps(const H264Sps& sps) {
    info_ = {};
    info_.width = sps.size.width;
    info_.height = sps.size.height;
    info_.interlaced = !sps.frameMbsOnly;
    info_.profile = h264ProfileName(sps);
    info_.level = sps.level;
    setRate(info_, sps.timeScale, 2 * uint64_t(sps.numUnitsInTick));
  }

  void readHevc(const uint8_t* p, size_t n, bool complete, Nal& nal) {
    // Other layers' NAL units (multi-view, scalable) belong to the base layer's picture.
    if ((p[0] & 1) || (p[1] >> 3)) return;
    const int t = nal.type;
    nal.startsUnit = (t >= 32 && t <= 35) || t == 39 || (t >= 41 && t <= 44) || (t >= 48 && t <= 55);
    if (t >= 32 && t <= 34 && !complete) {
      nal.needMore = true;
      return;
    }
    if (t == 32) {
      uint32_t units = 0, scale = 0;
      if (h265VpsTiming(p, n, units, scale)) {
        vpsUnits_ = units;
        vpsScale_ = scale;
        if (!spsTiming_) setRate(info_, scale, units);
      }
    } else if (t == 33) {
      H265Sps sps;
      if (parseH265Sps(p, n, sps)) useSps(sps);
    } else if (t == 34) {
      readPps(p, n);
    } else if (t <= 31) {
      nal.slice = true;
      readSliceSegment(p, n, complete, nal);
    }
  }

  void useSps(const H265Sps& sps) {
    ctbs_[sps.id] = sps.ctbs;
    info_ = {};
    info_.width = sps.size.width;
    info_.height = sps.size.height;
    info_.profile = hevcProfileName(sps.profile);
    info_.level = sps.level;
    spsTiming_ = sps.timeScale != 0 && sps.numUnitsInTick != 0;
    if (spsTiming_)
      setRate(info_, sps.timeScale, sps.numUnitsInTick);
    else
      setRate(info_, vpsScale_, vpsUnits_);
  }

  void readPps(const uint8_t* p, size_t n) {
    const std::vector<uint8_t> rbsp = unescapeNal(p + 2, n - 2, kSliceHeadBytes);
    Bits b(rbsp);
    const uint32_t id = b.ue(), sps = b.ue();
    HevcPps pps;
    pps.known = true;
    pps.sps = uint8_t(sps);
    pps.dependentSlices = b.u(1);
    b.skip(1);  // output_flag_present_flag: its field follows slice_type
    pps.extraBits = uint8_t(b.u(3));
    if (b.ok() && id < pps_.size() && sps < ctbs_.size()) pps_[id] = pps;
  }

  void readSliceSegment(const uint8_t* p, size_t n, bool complete, Nal& nal) {
    const int t = nal.type;
    nal.idr = t >= 16 && t <= 23;
    const std::vector<uint8_t> rbsp = unescapeNal(p + 2, n - 2, kSliceHeadBytes);
    Bits b(rbsp);
    nal.firstSlice = b.u(1) && b.ok();
    if (nal.idr) b.skip(1);  // no_output_of_prior_pics_flag
    const uint32_t ppsId = b.ue();
    const HevcPps pps = ppsId < pps_.size() ? pps_[ppsId] : HevcPps{};
    if (!nal.firstSlice) {
      if (pps.dependentSlices && b.u(1)) return;  // its type is its independent segment's
      const uint32_t ctbs = pps.known ? ctbs_[pps.sps] : 0;
      if (ctbs == 0) return;  // the address's width is unknown
      int addressBits = 0;
      while ((uint64_t(1) << addressBits) < ctbs) ++addressBits;
      b.skip(size_t(addressBits));
    }
    b.skip(pps.extraBits);
    const uint32_t sliceType = b.ue();
    if (!b.ok()) {
      nal.needMore = !complete;
      return;
    }
    // Reserved NAL types carry no slice this reader knows.
    const bool coded = t <= 9 || (t >= 16 && t <= 21);
    static constexpr PictureType kTypes[3] = {PictureType::B, PictureType::P, PictureType::I};
    if (coded && sliceType < 3) nal.picture = kTypes[sliceType];
  }

  bool hevc_;
  StreamInfo info_;
  // HEVC
  std::array<uint32_t, 16> ctbs_{};
  std::array<HevcPps, 64> pps_{};
  uint32_t vpsUnits_ = 0, vpsScale_ = 0;
  bool spsTiming_ = false;
};

// The key of a picture whose first independent slice is `nal`, after `recoveryPoint` SEIs.
bool isKey(const Nal& nal, bool recoveryPoint) {
  return nal.idr || (recoveryPoint && nal.picture == PictureType::I);
}

class AvcReader : public CodecReader {
 public:
  explicit AvcReader(const TrackCoding& coding) : syntax_(coding.codec) {
    const int recordSize = syntax_.readConfig(coding.config);
    if (coding.lengthPrefixed) lengthSize_ = recordSize ? recordSize : 4;
  }

  PictureReader::Probe probe(const uint8_t* data, size_t n, uint64_t at, uint64_t size) override {
    if (at == 0) recoveryPoint_ = false;
    return lengthSize_ ? lengthPrefixed(data, n, at, size) : startCodes(data, n, at, size);
  }

  StreamInfo info() const override { return syntax_.info(); }

 private:
  // What to answer for a NAL unit at `start` (from `at`): nothing yet when it was no slice.
  bool answer(const Nal& nal, uint64_t start, uint64_t at, PictureReader::Probe& out) {
    recoveryPoint_ = recoveryPoint_ || nal.recoveryPoint;
    if (nal.needMore && start > at) {
      out = {PictureType::None, false, start};
      return true;
    }
    if (nal.picture == PictureType::None) return false;
    out = {nal.picture, isKey(nal, recoveryPoint_), 0};
    return true;
  }

  PictureReader::Probe lengthPrefixed(const uint8_t* d, size_t n, uint64_t at, uint64_t size) {
    PictureReader::Probe out;
    const bool toTheEnd = at + n >= size;
    for (uint64_t pos = 0; at + pos + uint64_t(lengthSize_) <= size;) {
      if (pos + lengthSize_ > n) return {PictureType::None, false, at + pos};
      uint64_t len = 0;
      for (int i = 0; i < lengthSize_; ++i) len = (len << 8) | d[pos + i];
      const uint64_t body = pos + uint64_t(lengthSize_);
      // A length beyond the picture's end is damage: what there is, is all there will be.
      const bool complete = len <= n - body || toTheEnd;
      const Nal nal = syntax_.read(d + body, size_t(std::min<uint64_t>(len, n - body)), complete);
      if (answer(nal, at + pos, at, out)) return out;
      if (len > n - body) return {PictureType::None, false, toTheEnd ? 0 : at + body + len};
      pos = body + len;
    }
    return {};
  }

  PictureReader::Probe startCodes(const uint8_t* d, size_t n, uint64_t at, uint64_t size) {
    PictureReader::Probe out;
    const bool toTheEnd = at + n >= size;
    for (size_t i = afterStartCode(d, n, 0); i < n;) {
      const size_t next = afterStartCode(d, n, i);
      const bool complete = next < n || toTheEnd;
      const Nal nal = syntax_.read(d + i, (next < n ? next - 3 : n) - i, complete);
      if (answer(nal, at + i - 3, at, out)) return out;
      i = next;
    }
    // Keep the last bytes: a start code may straddle the end.
    if (!toTheEnd && n > 3) return {PictureType::None, false, at + n - 3};
    return {};
  }

  Syntax syntax_;
  int lengthSize_ = 0;
  bool recoveryPoint_ = false;
};

class AvcCutter : public UnitCutter {
 public:
  explicit AvcCutter(Codec codec) : syntax_(codec) {}

  void feed(const uint8_t* data, size_t n, std::vector<AccessUnit>& out) override {
    for (size_t i = 0; i < n;) {
      const StartCodeFinder::Hit hit = finder_.next(data, n, i);
      take(data + i, hit.one - i);
      if (hit.one == n) break;
      endNal(out);
      inNal_ = true;
      nalStart_ = fed_ + hit.one - uint64_t(hit.zeros);
      i = hit.one + 1;
    }
    fed_ += n;
  }

  void finish(std::vector<AccessUnit>& out) override {
    endNal(out);
    inNal_ = false;
    if (inUnit_) out.push_back(unit_);
    inUnit_ = false;
  }

  void gap(uint64_t n, std::vector<AccessUnit>& out) override {
    finish(out);
    finder_ = StartCodeFinder();
    fed_ += n;
  }

  uint64_t fed() const override { return fed_; }
  StreamInfo info() const override { return syntax_.info(); }

 private:
  void take(const uint8_t* p, size_t len) {
    if (len == 0) return;
    if (inNal_ && head_.size() < PictureReader::kHeadBytes)
      head_.insert(head_.end(), p, p + std::min(len, PictureReader::kHeadBytes - head_.size()));
  }

  void endNal(std::vector<AccessUnit>& out) {
    if (!inNal_) return;
    size_t n = head_.size();
    while (n > 0 && head_[n - 1] == 0) --n;  // the next start code's zeros
    const Nal nal = syntax_.read(head_.data(), n, true);
    head_.clear();
    const bool cut = nal.startsUnit || nal.firstSlice;
    if (inUnit_ && cut && unitHasSlice_) {
      out.push_back(unit_);
      inUnit_ = false;
    }
    if (!inUnit_ && (cut || nal.slice)) {
      inUnit_ = true;
      unit_ = {nalStart_, PictureType::None, false, 2};
      unitHasSlice_ = false;
      recoveryPoint_ = false;
    }
    if (!inUnit_) return;
    recoveryPoint_ = recoveryPoint_ || nal.recoveryPoint;
    unitHasSlice_ = unitHasSlice_ || nal.slice;
    if (unit_.type == PictureType::None && nal.picture != PictureType::None) {
      unit_.type = nal.picture;
      unit_.key = isKey(nal, recoveryPoint_);
    }
  }

  Syntax syntax_;
  std::vector<uint8_t> head_;  // the current NAL unit's first bytes
  bool inNal_ = false;
  uint64_t nalStart_ = 0;
  StartCodeFinder finder_;
  uint64_t fed_ = 0;
  bool inUnit_ = false;
  bool unitHasSlice_ = false;
  bool recoveryPoint_ = false;
  AccessUnit unit_;
};

}  // namespace

std::unique_ptr<CodecReader> makeAvcReader(const TrackCoding& coding) {
  if (coding.codec != Codec::H264 && coding.codec != Codec::Hevc) return nullptr;
  return std::make_unique<AvcReader>(coding);
}

std::unique_ptr<UnitCutter> makeAvcCutter(Codec codec) {
  if (codec != Codec::H264 && codec != Codec::Hevc) return nullptr;
  return std::make_unique<AvcCutter>(codec);
}

}  // namespace mv::codec
