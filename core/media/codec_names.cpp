#include "media/codec_names.h"

#include <map>
#include <mutex>
#include <utility>

namespace mv {
namespace {

struct CodecTables {
  std::map<std::string, std::string> video;
  std::map<uint16_t, std::string> audio;
};

CodecTables& tables() {
  static CodecTables t;
  return t;
}

void fill(CodecTables& t) {
  // Insertion order matters once: MRLE is inserted twice and the later name wins.
  static const std::pair<const char*, const char*> kVideo[] = {
      {"3IV1", "3IVX"},
      {"3IV2", "3IVX"},
      {"3IVX", "3IVX"},
      {"AFLC", "Autodesk"},
      {"AP42", "Angel Potion"},
      {"ASV1", "Asus Video (1)"},
      {"ASV2", "Asus Video (2)"},
      {"ASVX", "Asus Video 2.0"},
      {"BW10", "Broadway MPEG"},
      {"CVID", "Radius Cinepak"},
      {"CYUV", "Creative CYUV"},
      {"DIB ", "Microsoft DIB"},
      {"DIV3", "DivX v3 ;-) MPEG-4 (Low-Motion)"},
      {"DIV4", "DivX v4 ;-) MPEG-4 (Fast-Motion)"},
      {"DIVF", "DivXNetworks Divx"},
      {"DIVX", "OpenDivx v4"},
      {"DMB1", "M-JPEG V2"},
      {"DVHD", "Sony Digital Video"},
      {"DVSD", "Sony Digital Video"},
      {"DX50", "DivXNetworks Divx v5"},
      {"DXSB", "DivXNetworks Divx Fusion v6"},
      {"FFDS", "ffdshow"},
      {"FVFW", "FF MPEG4"},
      {"HFYU", "Huffyuv lossless"},
      {"I263", "Intel H.263"},
      {"IJPG", "Intergraph JPEG"},
      {"IV31", "Intel Indeo R3.1"},
      {"IV32", "Intel Indeo R3.2"},
      {"IV41", "Intel Indeo R4.1"},
      {"IV50", "Intel Indeo R5.1"},
      {"IV51", "Intel Indeo R5.1"},
      {"M261", "MS ICM H.261"},
      {"M263", "MS ICM H.263"},
      {"M4S2", "MS ISO MPEG4 V2"},
      {"MJPG", "Motion JPEG"},
      {"MPG1", "MPEG 1 (VCD)"},
      {"MPG2", "MPEG 2 (SVCD/DVD)"},
      {"MP41", "MS MPEG4 V1"},
      {"MP42", "MS MPEG4 V2"},
      {"MP43", "MS MPEG4 V3"},
      {"MP4S", "MS MPEG4 V1"},
      {"MP4V", "MS MPEG4 V1"},
      {"MPG4", "MS MPEG4 Standard"},
      {"MRLE", "MS RLE"},
      {"MSVC", "Microsoft Video 1"},
      {"MRLE", "Microsoft RLE"},
      {"RV20", "RealVideo G2"},
      {"RV30", "RealVideo 8"},
      {"RV40", "RealVideo 9"},
      {"THEO", "Theora"},
      {"TSCC", "TechSmith Screen Capture Codec"},
      {"ULTI", "IBM Ultimotion"},
      {"VCR2", "ATI codec"},
      {"VIFP", "VFAPI Reader"},
      {"VP30", "On2 VP3"},
      {"VP31", "On2 VP3.1"},
      {"VP60", "On2 VP4"},
      {"VP70", "On2 VP5"},
      {"WMV1", "Windows Media Video 7"},
      {"WMV2", "Windows Media Video 8"},
      {"WMV3", "Windows Media Video 9"},
      {"WMV7", "Windows Media Video 7"},
      {"WMV8", "Windows Media Video 8"},
      {"XVID", "XVID Mpeg-4"},
      {"YUY2", "MS UYVY"},
  };
  static const std::pair<uint16_t, const char*> kAudio[] = {
      {0x0001, "MS PCM"},
      {0x0002, "MS ADPCM"},
      {0x0006, "CCITT A-law"},
      {0x0007, "CCITT u-law"},
      {0x0008, "DTS"},
      {0x000C, "Mpeg-2 5.1"},
      {0x0011, "IMA ADPCM"},
      {0x0022, "DSP Group Truespeech"},
      {0x0031, "MS GSM 6.10"},
      {0x0042, "MS G.723.1"},
      {0x0045, "MS G.726"},
      {0x0050, "Mpeg-1 audio Layer 1"},
      {0x0051, "Mpeg-1 audio Layer 2"},
      {0x0055, "Mpeg-1 audio Layer 3 (MP3)"},
      {0x0074, "Voxware MetaVoice"},
      {0x0075, "Voxware MetaSound"},
      {0x0130, "ACELP.net"},
      {0x0160, "Windows Media Audio 1 or Divx audio v3"},
      {0x0161, "WMA 2 (v7,v8) or Divx audio v4"},
      {0x0162, "WMA v9 Professional"},
      {0x0163, "WMA v9 Lossless"},
      {0x0401, "Intel Music Coder"},
      {0x0402, "IAC2"},
      {0x1101, "L-H CELP 4.8 kb/s"},
      {0x1102, "L-H SBC 8 kb/s"},
      {0x1103, "L-H SBC 12 kb/s"},
      {0x1104, "L-H SBC 16 kb/s"},
      {0x2000, "AC3 DVM"},
      {0x2001, "AC3 DTS"},
      {0x674F, "Ogg Vorbis (mode 1)"},
      {0x6750, "Ogg Vorbis (mode 2)"},
      {0x6751, "Ogg Vorbis (mode 3)"},
      {0x676F, "Ogg Vorbis (mode 1+)"},
      {0x6770, "Ogg Vorbis (mode 2+)"},
      {0x6771, "Ogg Vorbis (mode 3+)"},
      {0x7A21, "GSM-AMR fixed bitrate"},
      {0x7A22, "GSM-AMR variable bitrate"},
      {0xFFFE, "Extensible"},
  };
  for (const auto& [key, name] : kVideo) t.video.insert_or_assign(key, name);
  for (const auto& [tag, name] : kAudio) t.audio.insert_or_assign(tag, name);
}

// Filled before anyone reads it and never written again, so lookups need no lock.
const CodecTables& builtTables() {
  static std::once_flag once;
  std::call_once(once, [] { fill(tables()); });
  return tables();
}

}  // namespace

void buildCodecTables() { builtTables(); }

std::string videoCodecName(uint32_t compression, uint32_t /*handler*/) {
  std::string key;
  for (int i = 0; i < 4; ++i) {
    const char c = char(uint8_t(compression >> (8 * i)));
    if (c == '\0') break;
    key += c;
  }
  const auto& video = builtTables().video;
  if (const auto it = video.find(key); it != video.end()) return it->second;
  // Installed compressors would be asked here by their handler code; Linux has no video
  // compression manager to ask.
  return {};
}

std::string audioFormatName(uint16_t formatTag) {
  const auto& audio = builtTables().audio;
  const auto it = audio.find(formatTag);
  return it != audio.end() ? it->second : std::string();
}

size_t videoCodecCount() { return builtTables().video.size(); }
size_t audioFormatCount() { return builtTables().audio.size(); }

}  // namespace mv
