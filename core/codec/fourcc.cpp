#include "codec/fourcc.h"

#include <array>
#include <utility>

namespace mv::codec {
namespace {

constexpr uint32_t lower(uint32_t code) {
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i) {
    uint32_t c = (code >> (8 * i)) & 0xFF;
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    out |= c << (8 * i);
  }
  return out;
}

constexpr uint32_t code(const char (&s)[5]) {
  return lower(uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
               uint32_t(uint8_t(s[3])) << 24);
}

constexpr std::pair<uint32_t, Codec> kCodes[] = {
    {code("mpg1"), Codec::Mpeg12},     {code("mpg2"), Codec::Mpeg12},     {code("mpeg"), Codec::Mpeg12},
    {code("mp2v"), Codec::Mpeg12},     {code("pim1"), Codec::Mpeg12},     {code("xvid"), Codec::Mpeg4Part2},
    {code("divx"), Codec::Mpeg4Part2}, {code("dx50"), Codec::Mpeg4Part2}, {code("fmp4"), Codec::Mpeg4Part2},
    {code("mp4v"), Codec::Mpeg4Part2}, {code("m4s2"), Codec::Mpeg4Part2}, {code("mp4s"), Codec::Mpeg4Part2},
    {code("3iv2"), Codec::Mpeg4Part2}, {code("avc1"), Codec::H264},       {code("avc3"), Codec::H264},
    {code("h264"), Codec::H264},       {code("x264"), Codec::H264},       {code("hvc1"), Codec::Hevc},
    {code("hev1"), Codec::Hevc},       {code("hevc"), Codec::Hevc},       {code("h265"), Codec::Hevc},
    {code("x265"), Codec::Hevc},       {code("mpg4"), Codec::MsMpeg4v1},  {code("mp41"), Codec::MsMpeg4v1},
    {code("mp42"), Codec::MsMpeg4v2},  {code("mp43"), Codec::MsMpeg4v3},  {code("div3"), Codec::MsMpeg4v3},
    {code("div4"), Codec::MsMpeg4v3},  {code("wmv1"), Codec::Wmv1},       {code("wmv2"), Codec::Wmv2},
    {code("wmv3"), Codec::Wmv3},       {code("wvc1"), Codec::Vc1},        {code("wmva"), Codec::Vc1},
    {code("h263"), Codec::H263},       {code("s263"), Codec::H263},       {code("u263"), Codec::H263},
    {code("flv1"), Codec::Flv1},       {code("rv10"), Codec::RealVideo1}, {code("rv20"), Codec::RealVideo2},
    {code("rv30"), Codec::RealVideo3}, {code("rv40"), Codec::RealVideo4}, {code("vp80"), Codec::Vp8},
    {code("vp90"), Codec::Vp9},        {code("av01"), Codec::Av1},        {code("mjpg"), Codec::IntraOnly},
    {code("mjpa"), Codec::IntraOnly},  {code("mjpb"), Codec::IntraOnly},  {code("jpeg"), Codec::IntraOnly},
    {code("avrn"), Codec::IntraOnly},  {code("dvsd"), Codec::IntraOnly},  {code("dvhd"), Codec::IntraOnly},
    {code("dvsl"), Codec::IntraOnly},  {code("dv25"), Codec::IntraOnly},  {code("dv50"), Codec::IntraOnly},
    {code("dvh1"), Codec::IntraOnly},  {code("apch"), Codec::IntraOnly},  {code("apcn"), Codec::IntraOnly},
    {code("apcs"), Codec::IntraOnly},  {code("apco"), Codec::IntraOnly},  {code("ap4h"), Codec::IntraOnly},
    {code("ap4x"), Codec::IntraOnly},  {code("hfyu"), Codec::IntraOnly},  {code("ffvh"), Codec::IntraOnly},
    {code("ffv1"), Codec::IntraOnly},  {code("raw "), Codec::IntraOnly},  {code("dib "), Codec::IntraOnly},
    {code("rgb "), Codec::IntraOnly},  {code("yuy2"), Codec::IntraOnly},  {code("uyvy"), Codec::IntraOnly},
    {code("i420"), Codec::IntraOnly},  {code("yv12"), Codec::IntraOnly},  {code("mlrh"), Codec::IntraOnly},
    {code("magy"), Codec::IntraOnly},  {code("utvd"), Codec::IntraOnly},
};

constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;
constexpr size_t kBitmapInfoSize = 40;
constexpr size_t kWmv3StructC = 4;

}  // namespace

Codec codecOfFourcc(uint32_t c) {
  if (c == kBiRgb || c == kBiBitfields) return Codec::IntraOnly;
  const uint32_t l = lower(c);
  for (const auto& [known, codec] : kCodes)
    if (known == l) return codec;
  return Codec::Unknown;
}

TrackCoding codingOfBitmapInfo(const uint8_t* header, size_t n) {
  TrackCoding out;
  if (n < kBitmapInfoSize) return out;
  out.codec = codecOfFourcc(uint32_t(header[16]) | uint32_t(header[17]) << 8 | uint32_t(header[18]) << 16 |
                            uint32_t(header[19]) << 24);
  if (out.codec == Codec::Unknown) return out;
  const uint8_t* extra = header + kBitmapInfoSize;
  size_t extraSize = n - kBitmapInfoSize;
  if (out.codec == Codec::Wmv3 && extraSize > kWmv3StructC) extraSize = kWmv3StructC;
  out.config.assign(extra, extra + extraSize);
  out.lengthPrefixed =
      (out.codec == Codec::H264 || out.codec == Codec::Hevc) && !out.config.empty() && out.config[0] == 1;
  return out;
}

}  // namespace mv::codec
