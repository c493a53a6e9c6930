#include "mp4/mp4_codec_names.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace mv {
namespace {

struct Name {
  const char type[5];
  const char* name;
};

constexpr Name kNames[] = {
    {"avc1", "H.264/AVC"},     {"avc3", "H.264/AVC"},
    {"hvc1", "H.265/HEVC"},    {"hev1", "H.265/HEVC"},
    {"vp08", "VP8"},           {"vp09", "VP9"},
    {"av01", "AV1"},           {"jpeg", "MJPEG"},
    {"mjpa", "MJPEG"},         {"mjpb", "MJPEG"},
    {"s263", "H.263"},         {"h263", "H.263"},
    {"apch", "Apple ProRes"},  {"apcn", "Apple ProRes"},
    {"apcs", "Apple ProRes"},  {"apco", "Apple ProRes"},
    {"ap4h", "Apple ProRes"},  {"mp4v", "MPEG-4 Visual"},
    {"mp4a", "AAC"},           {".mp3", "MP3"},
    {"ac-3", "AC-3"},          {"ec-3", "E-AC-3"},
    {"Opus", "Opus"},          {"fLaC", "FLAC"},
    {"alac", "ALAC"},          {"samr", "AMR"},
    {"sawb", "AMR-WB"},        {"sowt", "PCM"},
    {"twos", "PCM"},           {"lpcm", "PCM"},
    {"in24", "PCM"},           {"in32", "PCM"},
    {"fl32", "PCM"},           {"fl64", "PCM"},
    {"raw ", "PCM"},           {"ulaw", "G.711 μ-law"},
    {"alaw", "G.711 A-law"},   {"tx3g", "字幕 (3GPP Timed Text)"},
    {"wvtt", "字幕 (WebVTT)"},
};

const char* objectTypeName(int ot) {
  if (ot == 0x20) return "MPEG-4 Visual";
  if (ot >= 0x60 && ot <= 0x65) return "MPEG-2 Video";
  if (ot == 0x6A) return "MPEG-1 Video";
  if (ot == 0x6C) return "MJPEG";
  if (ot == 0x40) return "AAC";
  if (ot >= 0x66 && ot <= 0x68) return "MPEG-2 AAC";
  if (ot == 0x69) return "MP3/MP2 (MPEG-2 audio)";
  if (ot == 0x6B) return "MP3/MP2 (MPEG-1 audio)";
  return nullptr;
}

const char* aacProfile(int aot) {
  switch (aot) {
    case 1:
      return "Main";
    case 2:
      return "LC";
    case 3:
      return "SSR";
    case 4:
      return "LTP";
    case 5:
      return "HE-AAC (SBR)";
    case 29:
      return "HE-AAC v2 (PS)";
    default:
      return nullptr;
  }
}

// A descriptor's tag and length (1-4 bytes of 7 bits); false when it does not fit in [p, end).
bool descriptor(const uint8_t*& p, const uint8_t* end, int& tag, size_t& length) {
  if (p >= end) return false;
  tag = *p++;
  length = 0;
  for (int i = 0; i < 4; ++i) {
    if (p >= end) return false;
    const uint8_t b = *p++;
    length = (length << 7) | (b & 0x7F);
    if (!(b & 0x80)) break;
  }
  if (length > size_t(end - p)) length = size_t(end - p);
  return true;
}

Mp4EsInfo parseEsds(const uint8_t* p, const uint8_t* end) {
  Mp4EsInfo info;
  int tag = 0;
  size_t length = 0;
  if (end - p < 4) return info;
  p += 4;  // version and flags
  if (!descriptor(p, end, tag, length) || tag != 3 || length < 3) return info;
  end = p + length;
  const uint8_t flags = p[2];
  p += 3;
  if (flags & 0x80) p += 2;
  if ((flags & 0x40) && p < end) p += 1 + *p;
  if (flags & 0x20) p += 2;
  if (p >= end || !descriptor(p, end, tag, length) || tag != 4 || length < 13) return info;
  const uint8_t* configEnd = p + length;
  info.objectType = p[0];
  p += 13;
  if (!descriptor(p, configEnd, tag, length) || tag != 5 || length < 1) return info;
  info.specific = p;
  info.specificSize = length;
  int aot = p[0] >> 3;
  if (aot == 31 && length >= 2) aot = 32 + (((p[0] & 7) << 3) | (p[1] >> 5));
  info.audioObjectType = aot;
  return info;
}

struct Body {
  const uint8_t* p = nullptr;
  const uint8_t* end = nullptr;
};

// The body of the first child box of `type` in [p, end), looked for one level into `wave`.
Body findChild(const uint8_t* p, const uint8_t* end, uint32_t type, int depth = 0) {
  while (end - p >= 8) {
    uint64_t size = readU32be(p);
    const uint32_t t = readU32be(p + 4);
    if (size == 0) size = uint64_t(end - p);
    if (size < 8 || size > uint64_t(end - p)) break;
    if (t == type) return {p + 8, p + size};
    if (t == fourccBe("wave") && depth == 0) {
      const Body inner = findChild(p + 8, p + size, type, 1);
      if (inner.p) return inner;
    }
    p += size;
  }
  return {};
}

Mp4EsInfo findEsds(const uint8_t* p, const uint8_t* end) {
  const Body esds = findChild(p, end, fourccBe("esds"));
  return esds.p ? parseEsds(esds.p, esds.end) : Mp4EsInfo{};
}

// Sample entry types of the codecs pictures are read for, with the box holding their record.
struct Coded {
  const char type[5];
  codec::Codec codec;
  const char record[5];
};

using codec::Codec;
constexpr Coded kCoded[] = {
    {"avc1", Codec::H264, "avcC"},
    {"avc2", Codec::H264, "avcC"},
    {"avc3", Codec::H264, "avcC"},
    {"avc4", Codec::H264, "avcC"},
    {"hvc1", Codec::Hevc, "hvcC"},
    {"hev1", Codec::Hevc, "hvcC"},
    {"mp4v", Codec::Unknown, "esds"},
    {"XVID", Codec::Mpeg4Part2, "esds"},
    {"xvid", Codec::Mpeg4Part2, "esds"},
    {"DIVX", Codec::Mpeg4Part2, "esds"},
    {"DX50", Codec::Mpeg4Part2, "esds"},
    {"FMP4", Codec::Mpeg4Part2, "esds"},
    {"3IV2", Codec::Mpeg4Part2, "esds"},
    {"m1v ", Codec::Mpeg12, "glbl"},
    {"m1v1", Codec::Mpeg12, "glbl"},
    {"mpeg", Codec::Mpeg12, "glbl"},
    {"mpg1", Codec::Mpeg12, "glbl"},
    {"mpg2", Codec::Mpeg12, "glbl"},
    {"m2v1", Codec::Mpeg12, "glbl"},
    {"mp2v", Codec::Mpeg12, "glbl"},
    {"s263", Codec::H263, ""},
    {"h263", Codec::H263, ""},
    {"H263", Codec::H263, ""},
    {"vp08", Codec::Vp8, ""},
    {"vp09", Codec::Vp9, ""},
    {"av01", Codec::Av1, "av1C"},
    {"vc-1", Codec::Vc1, "dvc1"},
    {"jpeg", Codec::IntraOnly, ""},
    {"mjpa", Codec::IntraOnly, ""},
    {"mjpb", Codec::IntraOnly, ""},
    {"MJPG", Codec::IntraOnly, ""},
    {"AVDJ", Codec::IntraOnly, ""},
    {"apch", Codec::IntraOnly, ""},
    {"apcn", Codec::IntraOnly, ""},
    {"apcs", Codec::IntraOnly, ""},
    {"apco", Codec::IntraOnly, ""},
    {"ap4h", Codec::IntraOnly, ""},
    {"ap4x", Codec::IntraOnly, ""},
    {"dvc ", Codec::IntraOnly, ""},
    {"dvcp", Codec::IntraOnly, ""},
    {"dvpp", Codec::IntraOnly, ""},
    {"dv5n", Codec::IntraOnly, ""},
    {"dv5p", Codec::IntraOnly, ""},
    {"dvh5", Codec::IntraOnly, ""},
    {"dvh6", Codec::IntraOnly, ""},
    {"dvhq", Codec::IntraOnly, ""},
    {"dvhp", Codec::IntraOnly, ""},
    {"AVdn", Codec::IntraOnly, ""},
    {"AVdh", Codec::IntraOnly, ""},
    {"png ", Codec::IntraOnly, ""},
    {"raw ", Codec::IntraOnly, ""},
    {"2vuy", Codec::IntraOnly, ""},
    {"yuv2", Codec::IntraOnly, ""},
    {"v210", Codec::IntraOnly, ""},
    {"v410", Codec::IntraOnly, ""},
    {"r210", Codec::IntraOnly, ""},
    {"FFV1", Codec::IntraOnly, ""},
    {"HFYU", Codec::IntraOnly, ""},
};

// MPEG-2 in QuickTime: HDV, XDCAM and IMX name their variants by a family prefix and a digit.
bool mpeg2Family(uint32_t type) {
  const uint32_t prefix = type & 0xFFFFFF00u;
  for (uint32_t family : {fourccBe("hdv0"), fourccBe("xdv0"), fourccBe("xd50"), fourccBe("mx30"),
                          fourccBe("mx40"), fourccBe("mx50")})
    if (prefix == (family & 0xFFFFFF00u)) return true;
  return false;
}

Codec esdsCodec(int objectType) {
  if (objectType == 0x20) return Codec::Mpeg4Part2;
  if ((objectType >= 0x60 && objectType <= 0x65) || objectType == 0x6A) return Codec::Mpeg12;
  if (objectType == 0x6C) return Codec::IntraOnly;
  return Codec::Unknown;
}

}  // namespace

Mp4EsInfo readEsds(const uint8_t* entry, size_t size, bool audio) {
  size_t children = 86;  // visual sample entry
  if (audio) {
    // Sound sample entry; QuickTime versions 1 and 2 carry more fields before the children.
    const uint16_t version = size >= 18 ? readU16be(entry + 16) : 0;
    children = version == 1 ? 52 : version == 2 ? 72 : 36;
  }
  if (size < children) return {};
  return findEsds(entry + children, entry + size);
}

std::string mp4CodecName(uint32_t type, const Mp4EsInfo& es) {
  if (type == fourccBe("mp4v") || type == fourccBe("mp4a")) {
    if (const char* name = objectTypeName(es.objectType)) {
      std::string s = name;
      if (es.objectType == 0x40) {
        if (const char* profile = aacProfile(es.audioObjectType)) s = s + " " + profile;
      }
      return s;
    }
  }
  for (const Name& n : kNames) {
    if (fourccBe(n.type) == type) return n.name;
  }
  return {};
}

codec::TrackCoding mp4VideoCoding(uint32_t type, const uint8_t* entry, size_t size) {
  constexpr size_t kVisualChildren = 86;
  codec::TrackCoding out;
  const Coded* coded = nullptr;
  for (const Coded& c : kCoded)
    if (fourccBe(c.type) == type) coded = &c;
  if (!coded && !mpeg2Family(type)) return out;
  const uint8_t* children = entry + std::min(size, kVisualChildren);
  const uint8_t* end = entry + size;
  Body record = findChild(children, end, fourccBe(coded && coded->record[0] ? coded->record : "glbl"));
  out.codec = coded ? coded->codec : Codec::Mpeg12;
  if (coded && fourccBe(coded->record) == fourccBe("esds")) {
    const Mp4EsInfo es = record.p ? parseEsds(record.p, record.end) : Mp4EsInfo{};
    if (out.codec == Codec::Unknown)
      out.codec = es.objectType < 0 ? Codec::Mpeg4Part2 : esdsCodec(es.objectType);
    record = es.specific ? Body{es.specific, es.specific + es.specificSize} : Body{};
  }
  if (out.codec == Codec::Unknown) return out;
  if (record.p) out.config.assign(record.p, record.end);
  out.lengthPrefixed = out.codec == Codec::H264 || out.codec == Codec::Hevc;
  return out;
}

}  // namespace mv
