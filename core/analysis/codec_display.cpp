#include "analysis/codec_display.h"

#include <charconv>
#include <utility>

#include "platform/ascii.h"

namespace mv {
namespace {

using codec::Codec;

struct TagName {
  const char* tag;  // compared without regard to case
  const char* name;
  bool prefix = false;  // the tag begins with it (Matroska's "A_AAC/MPEG4/LC")
};

// First match wins: the longer Matroska prefixes come before the shorter ones.
constexpr TagName kTags[] = {
    // Video
    {"avc1", "H.264"},
    {"avc3", "H.264"},
    {"h264", "H.264"},
    {"x264", "H.264"},
    {"V_MPEG4/ISO/AVC", "H.264"},
    {"H.264/AVC", "H.264"},
    {"H.264", "H.264"},
    {"hvc1", "HEVC"},
    {"hev1", "HEVC"},
    {"hevc", "HEVC"},
    {"h265", "HEVC"},
    {"V_MPEGH/ISO/HEVC", "HEVC"},
    {"H.265/HEVC", "HEVC"},
    {"MPEG-2 Video", "MPEG-2 Video"},
    {"V_MPEG2", "MPEG-2 Video"},
    {"mpg2", "MPEG-2 Video"},
    {"mp2v", "MPEG-2 Video"},
    {"MPEG-1 Video", "MPEG-1 Video"},
    {"V_MPEG1", "MPEG-1 Video"},
    {"mpg1", "MPEG-1 Video"},
    {"MPEG video", "MPEG-1/2 Video"},
    {"mp4v", "MPEG-4 Visual"},
    {"V_MPEG4/ISO/", "MPEG-4 Visual", true},
    {"MPEG-4 Visual", "MPEG-4 Visual"},
    {"xvid", "MPEG-4 Visual"},
    {"divx", "MPEG-4 Visual"},
    {"dx50", "MPEG-4 Visual"},
    {"fmp4", "MPEG-4 Visual"},
    {"V_MPEG4/MS/V3", "MS MPEG-4 v3"},
    {"mp43", "MS MPEG-4 v3"},
    {"div3", "MS MPEG-4 v3"},
    {"mp42", "MS MPEG-4 v2"},
    {"mp41", "MS MPEG-4 v1"},
    {"vp08", "VP8"},
    {"vp80", "VP8"},
    {"V_VP8", "VP8"},
    {"vp09", "VP9"},
    {"vp90", "VP9"},
    {"V_VP9", "VP9"},
    {"VP8", "VP8"},
    {"VP9", "VP9"},
    {"av01", "AV1"},
    {"V_AV1", "AV1"},
    {"AV1", "AV1"},
    {"wmv1", "WMV 7"},
    {"wmv2", "WMV 8"},
    {"wmv3", "WMV 9"},
    {"wvc1", "VC-1"},
    {"wmva", "VC-1"},
    {"VC-1", "VC-1"},
    {"h263", "H.263"},
    {"s263", "H.263"},
    {"flv1", "Sorenson Spark"},
    {"Sorenson H.263", "Sorenson Spark"},
    {"On2 VP6", "VP6", true},
    {"vp6f", "VP6"},
    {"rv10", "RealVideo 1.0"},
    {"V_REAL/RV10", "RealVideo 1.0"},
    {"rv20", "RealVideo 2.0"},
    {"V_REAL/RV20", "RealVideo 2.0"},
    {"rv30", "RealVideo 3.0"},
    {"V_REAL/RV30", "RealVideo 3.0"},
    {"rv40", "RealVideo 4.0"},
    {"V_REAL/RV40", "RealVideo 4.0"},
    {"mjpg", "Motion JPEG"},
    {"jpeg", "Motion JPEG"},
    {"mjpa", "Motion JPEG"},
    {"mjpb", "Motion JPEG"},
    {"V_MJPEG", "Motion JPEG"},
    {"V_THEORA", "Theora"},
    {"theo", "Theora"},
    {"apch", "ProRes"},
    {"apcn", "ProRes"},
    {"apcs", "ProRes"},
    {"apco", "ProRes"},
    {"ap4h", "ProRes"},
    // Audio
    {"mp4a", "AAC"},
    {"A_AAC", "AAC", true},
    {"AAC", "AAC", true},  // "AAC (ADTS)", "AAC (LATM)"
    {"MPEG-4 Audio", "AAC"},
    {".mp3", "MP3"},
    {"A_MPEG/L3", "MP3"},
    {"MP3", "MP3", true},  // FLV's "MP3 8 kHz"
    {"A_MPEG/L2", "MP2"},
    {"MP2", "MP2"},
    {"A_MPEG/L1", "MP1"},
    {"MP1", "MP1"},
    {"MPEG-1 Audio", "MPEG Audio"},
    {"MPEG-2 Audio", "MPEG Audio"},
    {"MPEG Audio", "MPEG Audio"},
    {"ac-3", "AC-3"},
    {"A_AC3", "AC-3"},
    {"AC-3", "AC-3"},
    {"ec-3", "E-AC-3"},
    {"A_EAC3", "E-AC-3"},
    {"E-AC-3", "E-AC-3", true},
    {"A_DTS", "DTS", true},
    {"DTS", "DTS", true},
    {"A_TRUEHD", "TrueHD"},
    {"TrueHD", "TrueHD"},
    {"MLP/TrueHD", "TrueHD"},
    {"Opus", "Opus"},
    {"A_OPUS", "Opus"},
    {"fLaC", "FLAC"},
    {"A_FLAC", "FLAC"},
    {"A_VORBIS", "Vorbis"},
    {"alac", "ALAC"},
    {"A_ALAC", "ALAC"},
    {"samr", "AMR"},
    {"sawb", "AMR-WB"},
    {"ulaw", "G.711 μ-law"},
    {"G.711 mu-law", "G.711 μ-law"},
    {"alaw", "G.711 A-law"},
    {"G.711 A-law", "G.711 A-law"},
    {"A_PCM/", "PCM", true},
    {"PCM", "PCM", true},  // FLV's "PCM (little-endian)"
    {"LPCM", "PCM"},
    {"sowt", "PCM"},
    {"twos", "PCM"},
    {"lpcm", "PCM"},
    {"in24", "PCM"},
    {"in32", "PCM"},
    {"fl32", "PCM"},
    {"fl64", "PCM"},
    {"raw ", "PCM"},
    {"A_REAL/COOK", "RealAudio Cook"},
    {"cook", "RealAudio Cook"},
    {"sipr", "RealAudio Sipro"},
    {"atrc", "ATRAC3"},
    {"28_8", "RealAudio 28.8"},
    {"lpcJ", "RealAudio 14.4"},
    {"dnet", "AC-3"},
    {"raac", "AAC"},
    {"racp", "AAC"},
    {"ralf", "RealAudio Lossless"},
    {"A_REAL/SIPR", "RealAudio Sipro"},
    {"A_REAL/ATRC", "ATRAC3"},
    {"A_REAL/28_8", "RealAudio 28.8"},
    {"audio/x-pn-realaudio", "RealAudio"},
    {"Nellymoser", "Nellymoser", true},
    {"Speex", "Speex"},
};

// Wave format tags, as AVI ("0x55") and ASF ("0x0055") give them.
constexpr std::pair<unsigned, const char*> kWaveTags[] = {
    {0x0001, "PCM"},         {0x0002, "MS ADPCM"},     {0x0003, "PCM"},       {0x0006, "G.711 A-law"},
    {0x0007, "G.711 μ-law"}, {0x0008, "DTS"},          {0x0011, "IMA ADPCM"}, {0x0050, "MP2"},
    {0x0055, "MP3"},         {0x00FF, "AAC"},          {0x0160, "WMA 1"},     {0x0161, "WMA 2"},
    {0x0162, "WMA Pro"},     {0x0163, "WMA Lossless"}, {0x0270, "ATRAC3"},    {0x1610, "AAC"},
    {0x2000, "AC-3"},        {0x2001, "DTS"},          {0x674F, "Vorbis"},    {0x6750, "Vorbis"},
    {0x6751, "Vorbis"},      {0x676F, "Vorbis"},       {0x6770, "Vorbis"},    {0x6771, "Vorbis"},
    {0x704F, "Opus"},        {0x706D, "AAC"},          {0xF1AC, "FLAC"},
};

// What a reader found when the tag says nothing known (RealMedia names its streams by MIME type,
// Matroska's V_MS/VFW/FOURCC hides the fourcc).
constexpr std::pair<Codec, const char*> kCodings[] = {
    {Codec::Mpeg12, "MPEG-1/2 Video"},
    {Codec::Mpeg4Part2, "MPEG-4 Visual"},
    {Codec::H264, "H.264"},
    {Codec::Hevc, "HEVC"},
    {Codec::MsMpeg4v1, "MS MPEG-4 v1"},
    {Codec::MsMpeg4v2, "MS MPEG-4 v2"},
    {Codec::MsMpeg4v3, "MS MPEG-4 v3"},
    {Codec::Wmv1, "WMV 7"},
    {Codec::Wmv2, "WMV 8"},
    {Codec::Wmv3, "WMV 9"},
    {Codec::Vc1, "VC-1"},
    {Codec::H263, "H.263"},
    {Codec::Flv1, "Sorenson Spark"},
    {Codec::RealVideo1, "RealVideo 1.0"},
    {Codec::RealVideo2, "RealVideo 2.0"},
    {Codec::RealVideo3, "RealVideo 3.0"},
    {Codec::RealVideo4, "RealVideo 4.0"},
    {Codec::Vp8, "VP8"},
    {Codec::Vp9, "VP9"},
    {Codec::Av1, "AV1"},
};

bool startsWithIgnoreCase(std::string_view text, std::string_view head) {
  return text.size() >= head.size() && equalsIgnoreAsciiCase(text.substr(0, head.size()), head);
}

}  // namespace

std::string commonCodecName(std::string_view tag, TrackKind kind, Codec coding) {
  if (tag.empty()) return {};
  for (const TagName& t : kTags)
    if (t.prefix ? startsWithIgnoreCase(tag, t.tag) : equalsIgnoreAsciiCase(tag, t.tag)) return t.name;
  if (kind == TrackKind::Audio && startsWithIgnoreCase(tag, "0x")) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(tag.data() + 2, tag.data() + tag.size(), value, 16);
    if (ec == std::errc() && end == tag.data() + tag.size())
      for (const auto& [known, name] : kWaveTags)
        if (known == value) return name;
  }
  for (const auto& [known, name] : kCodings)
    if (known == coding) return name;
  return std::string(tag);
}

}  // namespace mv
