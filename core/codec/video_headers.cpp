#include "codec/video_headers.h"

#include <algorithm>
#include <vector>

#include "codec/bits.h"

namespace mv {
namespace {

using codec::Bits;

std::vector<uint8_t> unescape(const uint8_t* p, size_t n) { return codec::unescapeNal(p, n); }

bool plausible(int64_t w, int64_t h, PictureSize& out) {
  if (w <= 0 || h <= 0 || w > 65535 || h > 65535) return false;
  out = {int32_t(w), int32_t(h)};
  return true;
}

void skipScalingList(Bits& b, int size) {
  int last = 8, next = 8;
  for (int j = 0; j < size && b.ok(); ++j) {
    if (next != 0) next = (last + b.se() + 256) % 256;
    last = next == 0 ? last : next;
  }
}

bool mpeg12Sequence(const uint8_t* p, size_t n, PictureSize& out) {
  if (n < 3) return false;
  return plausible((p[0] << 4) | (p[1] >> 4), ((p[1] & 0x0F) << 8) | p[2], out);
}

bool mpeg4Vol(const uint8_t* p, size_t n, PictureSize& out) {
  Bits b(p, n);
  b.skip(1 + 8);  // random_accessible_vol, video_object_type_indication
  uint32_t verid = 1;
  if (b.u(1)) {
    verid = b.u(4);
    b.skip(3);
  }
  if (b.u(4) == 15) b.skip(16);  // extended pixel aspect ratio
  if (b.u(1)) {                  // vol_control_parameters
    b.skip(3);                   // chroma_format, low_delay
    if (b.u(1)) b.skip(79);      // vbv_parameters with their marker bits
  }
  const uint32_t shape = b.u(2);
  if (shape == 3 && verid != 1) b.skip(4);
  b.skip(1);
  const uint32_t resolution = b.u(16);
  b.skip(1);
  if (b.u(1)) {  // fixed_vop_rate: an increment as wide as the resolution needs
    int bits = 1;
    while (bits < 16 && (uint32_t(1) << bits) < resolution) ++bits;
    b.skip(size_t(bits));
  }
  if (shape != 0) return false;  // only rectangular layers have a size
  b.skip(1);
  const uint32_t w = b.u(13);
  b.skip(1);
  const uint32_t h = b.u(13);
  return b.ok() && plausible(w, h, out);
}

// general_profile_idc and general_level_idc; the sub-layers' entries are passed over.
void profileTierLevel(Bits& b, uint32_t subLayers, uint8_t& profile, uint8_t& level) {
  b.skip(3);  // profile space, tier
  profile = uint8_t(b.u(5));
  b.skip(32 + 48);  // compatibility and constraint flags
  level = uint8_t(b.u(8));
  bool profilePresent[8] = {}, levelPresent[8] = {};
  for (uint32_t i = 0; i < subLayers; ++i) {
    profilePresent[i] = b.u(1);
    levelPresent[i] = b.u(1);
  }
  if (subLayers > 0) b.skip(2 * (8 - subLayers));
  for (uint32_t i = 0; i < subLayers; ++i) {
    if (profilePresent[i]) b.skip(88);
    if (levelPresent[i]) b.skip(8);
  }
}

void skipH265ScalingLists(Bits& b) {
  for (int sizeId = 0; sizeId < 4; ++sizeId)
    for (int matrix = 0; matrix < 6 && b.ok(); matrix += sizeId == 3 ? 3 : 1) {
      if (!b.u(1)) {
        b.ue();  // predicted from a reference list
        continue;
      }
      const int coefficients = sizeId == 0 ? 16 : 64;
      if (sizeId > 1) b.se();
      for (int i = 0; i < coefficients && b.ok(); ++i) b.se();
    }
}

// The short-term reference picture sets of an SPS: only their lengths matter here, and a
// predicted set's length depends on the set before it.
bool skipShortTermRefSets(Bits& b, uint32_t count) {
  uint32_t deltaPocs[64] = {};
  for (uint32_t i = 0; i < count && b.ok(); ++i) {
    if (i != 0 && b.u(1)) {  // inter_ref_pic_set_prediction_flag
      b.skip(1);
      b.ue();
      uint32_t used = 0;
      for (uint32_t j = 0; j <= deltaPocs[i - 1]; ++j) {
        const bool usedByCurrent = b.u(1);
        if (usedByCurrent || b.u(1)) ++used;
      }
      deltaPocs[i] = used;
      continue;
    }
    const uint32_t negative = b.ue(), positive = b.ue();
    if (negative > 16 || positive > 16) return false;
    for (uint32_t j = 0; j < negative + positive; ++j) {
      b.ue();
      b.skip(1);
    }
    deltaPocs[i] = negative + positive;
  }
  return b.ok();
}

// The timing info of VUI parameters, read up to it; H.265 has a few more fields before it.
void vuiTiming(Bits& b, bool h265, uint32_t& numUnitsInTick, uint32_t& timeScale) {
  if (b.u(1)) {  // aspect ratio
    if (b.u(8) == 255) b.skip(32);
  }
  if (b.u(1)) b.skip(1);  // overscan
  if (b.u(1)) {           // video signal type
    b.skip(4);
    if (b.u(1)) b.skip(24);
  }
  if (b.u(1)) {  // chroma sample location
    b.ue();
    b.ue();
  }
  if (h265) {
    b.skip(3);     // neutral chroma, field_seq, frame field info
    if (b.u(1)) {  // default display window
      for (int i = 0; i < 4; ++i) b.ue();
    }
  }
  if (!b.u(1)) return;
  const uint32_t units = b.u(32), scale = b.u(32);
  if (!b.ok()) return;
  numUnitsInTick = units;
  timeScale = scale;
}

}  // namespace

bool parseH264Sps(const uint8_t* nal, size_t n, H264Sps& out) {
  if (n < 2 || (nal[0] & 0x1F) != 7) return false;
  const std::vector<uint8_t> rbsp = unescape(nal + 1, n - 1);
  Bits b(rbsp.data(), rbsp.size());
  H264Sps sps;
  sps.profile = uint8_t(b.u(8));
  sps.constraints = uint8_t(b.u(8));
  sps.level = uint8_t(b.u(8));
  sps.id = b.ue();
  uint32_t chroma = 1;
  bool separatePlanes = false;
  switch (sps.profile) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135:
      chroma = b.ue();
      if (chroma == 3) separatePlanes = b.u(1);
      b.ue();  // bit depths
      b.ue();
      b.skip(1);
      if (b.u(1)) {  // scaling matrices
        for (int i = 0; i < (chroma == 3 ? 12 : 8) && b.ok(); ++i)
          if (b.u(1)) skipScalingList(b, i < 6 ? 16 : 64);
      }
      break;
    default:
      break;
  }
  b.ue();  // log2_max_frame_num_minus4
  const uint32_t pocType = b.ue();
  if (pocType == 0) {
    b.ue();
  } else if (pocType == 1) {
    b.skip(1);
    b.se();
    b.se();
    const uint32_t cycle = b.ue();
    for (uint32_t i = 0; i < cycle && b.ok(); ++i) b.se();
  }
  b.ue();     // max_num_ref_frames
  b.skip(1);  // gaps_in_frame_num_value_allowed_flag
  const int64_t widthMbs = int64_t(b.ue()) + 1;
  const int64_t heightUnits = int64_t(b.ue()) + 1;
  sps.frameMbsOnly = b.u(1);
  if (!sps.frameMbsOnly) b.skip(1);
  b.skip(1);  // direct_8x8_inference_flag
  int64_t w = widthMbs * 16, h = (sps.frameMbsOnly ? 1 : 2) * heightUnits * 16;
  if (b.u(1)) {  // frame cropping, in chroma sample units
    const int64_t left = b.ue(), right = b.ue(), top = b.ue(), bottom = b.ue();
    const uint32_t arrayType = separatePlanes ? 0 : chroma;
    const int64_t unitX = (arrayType == 1 || arrayType == 2) ? 2 : 1;
    const int64_t unitY = (arrayType == 1 ? 2 : 1) * (sps.frameMbsOnly ? 1 : 2);
    w -= (left + right) * unitX;
    h -= (top + bottom) * unitY;
  }
  if (!b.ok() || sps.id > 31 || !plausible(w, h, sps.size)) return false;
  if (b.u(1)) vuiTiming(b, false, sps.numUnitsInTick, sps.timeScale);
  out = sps;
  return true;
}

bool pictureSizeInH264Sps(const uint8_t* nal, size_t n, PictureSize& out) {
  H264Sps sps;
  if (!parseH264Sps(nal, n, sps)) return false;
  out = sps.size;
  return true;
}

bool parseH265Sps(const uint8_t* nal, size_t n, H265Sps& out) {
  if (n < 3 || ((nal[0] >> 1) & 0x3F) != 33) return false;
  const std::vector<uint8_t> rbsp = unescape(nal + 2, n - 2);
  Bits b(rbsp.data(), rbsp.size());
  H265Sps sps;
  b.skip(4);  // sps_video_parameter_set_id
  const uint32_t subLayers = b.u(3);
  b.skip(1);
  profileTierLevel(b, subLayers, sps.profile, sps.level);
  sps.id = b.ue();
  const uint32_t chroma = b.ue();
  bool separatePlanes = false;
  if (chroma == 3) separatePlanes = b.u(1);
  const int64_t codedW = b.ue(), codedH = b.ue();
  int64_t w = codedW, h = codedH;
  if (b.u(1)) {  // conformance window
    const int64_t left = b.ue(), right = b.ue(), top = b.ue(), bottom = b.ue();
    const int64_t subW = !separatePlanes && (chroma == 1 || chroma == 2) ? 2 : 1;
    const int64_t subH = !separatePlanes && chroma == 1 ? 2 : 1;
    w -= subW * (left + right);
    h -= subH * (top + bottom);
  }
  if (!b.ok() || sps.id > 15 || !plausible(w, h, sps.size)) return false;
  b.ue();  // bit depths
  b.ue();
  const uint32_t pocLsbBits = b.ue() + 4;
  const bool orderingForEach = b.u(1);
  for (uint32_t i = orderingForEach ? 0 : subLayers; i <= subLayers; ++i) {
    b.ue();
    b.ue();
    b.ue();
  }
  const uint32_t log2MinCb = b.ue() + 3;
  const uint32_t log2Ctb = log2MinCb + b.ue();
  if (b.ok() && log2Ctb >= 4 && log2Ctb <= 6) {
    const int64_t ctb = int64_t(1) << log2Ctb;
    sps.ctbs = uint32_t(((codedW + ctb - 1) / ctb) * ((codedH + ctb - 1) / ctb));
  }
  b.ue();  // transform block sizes and depths
  b.ue();
  b.ue();
  b.ue();
  if (b.u(1) && b.u(1)) skipH265ScalingLists(b);
  b.skip(2);     // amp, sample adaptive offset
  if (b.u(1)) {  // PCM
    b.skip(8);
    b.ue();
    b.ue();
    b.skip(1);
  }
  const uint32_t refSets = b.ue();
  if (refSets > 64 || !skipShortTermRefSets(b, refSets)) {
    out = sps;
    return true;
  }
  if (b.u(1)) {  // long-term reference pictures
    const uint32_t count = b.ue();
    if (count > 32 || pocLsbBits > 16) {
      out = sps;
      return true;
    }
    for (uint32_t i = 0; i < count; ++i) b.skip(pocLsbBits + 1);
  }
  b.skip(2);  // temporal MVP, strong intra smoothing
  if (b.u(1)) vuiTiming(b, true, sps.numUnitsInTick, sps.timeScale);
  out = sps;
  return true;
}

bool pictureSizeInH265Sps(const uint8_t* nal, size_t n, PictureSize& out) {
  H265Sps sps;
  if (!parseH265Sps(nal, n, sps)) return false;
  out = sps.size;
  return true;
}

bool h265VpsTiming(const uint8_t* nal, size_t n, uint32_t& numUnitsInTick, uint32_t& timeScale) {
  if (n < 3 || ((nal[0] >> 1) & 0x3F) != 32) return false;
  const std::vector<uint8_t> rbsp = unescape(nal + 2, n - 2);
  Bits b(rbsp.data(), rbsp.size());
  b.skip(4 + 2 + 6);
  const uint32_t subLayers = b.u(3);
  b.skip(1 + 16);
  uint8_t profile = 0, level = 0;
  profileTierLevel(b, subLayers, profile, level);
  const bool orderingForEach = b.u(1);
  for (uint32_t i = orderingForEach ? 0 : subLayers; i <= subLayers; ++i) {
    b.ue();
    b.ue();
    b.ue();
  }
  const uint32_t maxLayerId = b.u(6);
  const uint32_t layerSets = b.ue();
  if (layerSets > 1023) return false;
  b.skip(size_t(layerSets) * (maxLayerId + 1));
  if (!b.u(1)) return false;
  const uint32_t units = b.u(32), scale = b.u(32);
  if (!b.ok()) return false;
  numUnitsInTick = units;
  timeScale = scale;
  return true;
}

std::vector<uint8_t> mpeg12SequenceRecord(const uint8_t* data, size_t n) {
  constexpr size_t kLongest = 1024;  // a header, its extensions and some user data
  for (size_t i = 0; i + 3 < n; ++i) {
    PictureSize size;
    if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1 || data[i + 3] != 0xB3 ||
        !mpeg12Sequence(data + i + 4, n - i - 4, size))
      continue;
    size_t end = i + 4;
    for (; end + 3 < n && end - i < kLongest; ++end)
      if (data[end] == 0 && data[end + 1] == 0 && data[end + 2] == 1 && data[end + 3] != 0xB5 &&
          data[end + 3] != 0xB2)
        break;
    if (end + 3 >= n) end = n;
    return std::vector<uint8_t>(data + i, data + std::min(end, i + kLongest));
  }
  return {};
}

bool pictureSizeInStream(VideoSyntax syntax, const uint8_t* data, size_t n, PictureSize& out) {
  for (size_t i = 0; i + 3 < n; ++i) {
    if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
    const uint8_t* p = data + i + 3;
    size_t rest = n - i - 3;
    // A NAL unit ends at the next start code (or the end of what we have).
    size_t nalSize = rest;
    for (size_t j = 0; j + 2 < rest; ++j) {
      if (p[j] == 0 && p[j + 1] == 0 && p[j + 2] <= 1) {
        nalSize = j;
        break;
      }
    }
    switch (syntax) {
      case VideoSyntax::Mpeg12:
        if (p[0] == 0xB3 && mpeg12Sequence(p + 1, rest - 1, out)) return true;
        break;
      case VideoSyntax::Mpeg4Part2:
        if (p[0] >= 0x20 && p[0] <= 0x2F && mpeg4Vol(p + 1, nalSize - 1, out)) return true;
        break;
      case VideoSyntax::H264:
        if (pictureSizeInH264Sps(p, nalSize, out)) return true;
        break;
      case VideoSyntax::H265:
        if (pictureSizeInH265Sps(p, nalSize, out)) return true;
        break;
    }
  }
  return false;
}

bool pictureSizeInAvcConfig(const uint8_t* data, size_t n, PictureSize& out) {
  if (n < 8 || data[0] != 1) return false;
  const size_t count = data[5] & 0x1F;
  size_t pos = 6;
  for (size_t i = 0; i < count && pos + 2 <= n; ++i) {
    const size_t len = size_t(data[pos] << 8) | data[pos + 1];
    pos += 2;
    if (len > n - pos) return false;
    if (pictureSizeInH264Sps(data + pos, len, out)) return true;
    pos += len;
  }
  return false;
}

bool pictureSizeInHevcConfig(const uint8_t* data, size_t n, PictureSize& out) {
  if (n < 23) return false;
  const size_t arrays = data[22];
  size_t pos = 23;
  for (size_t a = 0; a < arrays && pos + 3 <= n; ++a) {
    const uint8_t type = data[pos] & 0x3F;
    const size_t nalus = size_t(data[pos + 1] << 8) | data[pos + 2];
    pos += 3;
    for (size_t i = 0; i < nalus && pos + 2 <= n; ++i) {
      const size_t len = size_t(data[pos] << 8) | data[pos + 1];
      pos += 2;
      if (len > n - pos) return false;
      if (type == 33 && pictureSizeInH265Sps(data + pos, len, out)) return true;
      pos += len;
    }
  }
  return false;
}

}  // namespace mv
