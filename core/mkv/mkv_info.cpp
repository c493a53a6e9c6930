#include "mkv/mkv_info.h"

#include <cinttypes>
#include <cmath>
#include <string_view>

#include "media/codec_names.h"
#include "media/time_format.h"
#include "media/unit_summary.h"
#include "mkv/mkv_reader.h"
#include "platform/byte_order.h"
#include "platform/input_file.h"

namespace mv {
namespace {

struct CodecName {
  std::string_view id;
  const char* name;
  bool prefix;                    // the name covers every ID that starts this way
  const char* english = nullptr;  // where the name has words
};

// Longer prefixes first: the first match wins.
constexpr CodecName kCodecNames[] = {
    {"V_MPEG4/ISO/AVC", "H.264/AVC", false},
    {"V_MPEGH/ISO/HEVC", "H.265/HEVC", false},
    {"V_MPEG4/ISO/SP", "MPEG-4 Visual", false},
    {"V_MPEG4/ISO/ASP", "MPEG-4 Visual", false},
    {"V_MPEG4/ISO/AP", "MPEG-4 Visual", false},
    {"V_MPEG4/MS/V3", "MS MPEG-4 v3", false},
    {"V_MPEG1", "MPEG-1 Video", false},
    {"V_MPEG2", "MPEG-2 Video", false},
    {"V_VP8", "VP8", false},
    {"V_VP9", "VP9", false},
    {"V_AV1", "AV1", false},
    {"V_THEORA", "Theora", false},
    {"V_MJPEG", "Motion JPEG", false},
    {"V_PRORES", "ProRes", false},
    {"V_UNCOMPRESSED", "未压缩视频", false, "uncompressed video"},
    {"V_REAL/", "RealVideo", true},
    {"V_MS/VFW/FOURCC", "VfW 编码", false, "VfW codec"},
    {"A_MPEG/L3", "MP3", false},
    {"A_MPEG/L2", "MP2", false},
    {"A_MPEG/L1", "MP1", false},
    {"A_AC3", "AC-3", true},
    {"A_EAC3", "E-AC-3", false},
    {"A_TRUEHD", "TrueHD", false},
    {"A_DTS", "DTS", true},
    {"A_OPUS", "Opus", false},
    {"A_VORBIS", "Vorbis", false},
    {"A_FLAC", "FLAC", false},
    {"A_ALAC", "ALAC", false},
    {"A_WAVPACK4", "WavPack", false},
    {"A_PCM/INT/LIT", "PCM (整数，小端)", false, "PCM (integer, little-endian)"},
    {"A_PCM/INT/BIG", "PCM (整数，大端)", false, "PCM (integer, big-endian)"},
    {"A_PCM/FLOAT/IEEE", "PCM (浮点)", false, "PCM (floating point)"},
    {"A_REAL/", "RealAudio", true},
    {"A_MS/ACM", "ACM 编码", false, "ACM codec"},
    {"S_TEXT/UTF8", "SRT 文本字幕", false, "SRT text subtitles"},
    {"S_TEXT/SSA", "SSA 字幕", false, "SSA subtitles"},
    {"S_TEXT/ASS", "ASS 字幕", false, "ASS subtitles"},
    {"S_TEXT/WEBVTT", "WebVTT 字幕", false, "WebVTT subtitles"},
    {"S_VOBSUB", "VobSub 图形字幕", false, "VobSub picture subtitles"},
    {"S_HDMV/PGS", "PGS 图形字幕", false, "PGS picture subtitles"},
    {"D_WEBVTT/", "WebVTT 字幕", true, "WebVTT subtitles"},
};

// AAC profile names by MPEG-4 audioObjectType.
const char* aacProfile(unsigned objectType) {
  switch (objectType) {
    case 1:
      return "AAC Main";
    case 2:
      return "AAC LC";
    case 3:
      return "AAC SSR";
    case 4:
      return "AAC LTP";
    case 5:
      return "HE-AAC";
    case 29:
      return "HE-AAC v2";
    default:
      return "AAC";
  }
}

// AAC: the profile from the AudioSpecificConfig, or from the older IDs that name it.
std::string aacName(const MkvTrack& t) {
  const std::string_view id = t.codecId;
  if (id == "A_AAC") {
    if (t.codecPrivate.empty()) return "AAC";
    unsigned type = t.codecPrivate[0] >> 3;
    if (type == 31 && t.codecPrivate.size() >= 2)
      type = 32 + (((t.codecPrivate[0] & 7) << 3) | (t.codecPrivate[1] >> 5));
    return aacProfile(type);
  }
  if (id.ends_with("/SBR")) return "HE-AAC";
  if (id.ends_with("/MAIN")) return "AAC Main";
  if (id.ends_with("/LC")) return "AAC LC";
  if (id.ends_with("/SSR")) return "AAC SSR";
  if (id.ends_with("/LTP")) return "AAC LTP";
  return "AAC";
}

std::string fourccText(uint32_t code) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = char(code >> (8 * i));
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

// The readable name of a track's codec; empty when the table has none.
std::string codecName(const MkvTrack& t, bool en) {
  const std::string_view id = t.codecId;
  if (id.starts_with("A_AAC")) return aacName(t);
  if (id == "V_MS/VFW/FOURCC" && t.codecPrivate.size() >= 20) {
    // The BITMAPINFOHEADER's biCompression names the codec.
    const uint32_t code = readU32le(t.codecPrivate.data() + 16);
    std::string name = "VfW " + fourccText(code);
    if (const std::string known = videoCodecName(code, 0); !known.empty()) name += " (" + known + ")";
    return name;
  }
  if (id == "A_MS/ACM" && t.codecPrivate.size() >= 2) {
    const std::string known = audioFormatName(readU16le(t.codecPrivate.data()));
    if (!known.empty()) return known;
  }
  for (const CodecName& c : kCodecNames) {
    if (c.prefix ? id.starts_with(c.id) : id == c.id) return en && c.english ? c.english : c.name;
  }
  return {};
}

const char* kindName(uint64_t type, bool en) {
  switch (type) {
    case 1:
      return en ? "video" : "视频";
    case 2:
      return en ? "audio" : "音频";
    case 17:
      return en ? "subtitles" : "字幕";
    default:
      return en ? "other" : "其他";
  }
}

void writeRate(TextFile& out, const char* label, uint64_t bytes, double seconds) {
  out.write(label);
  if (seconds > 0) {
    const double perSecond = double(bytes) / seconds;
    out.printf("%.0f bytes/sec = %.2f %s\n", perSecond, kbitPerSecond(perSecond), kRateUnit);
  } else {
    out.write("-\n");
  }
}

// Seconds between the earliest and the latest unit of both chosen tracks: the play time of a
// file whose Info carries no Duration.
double unitSpan(const MkvFile& f) {
  bool any = false;
  int64_t first = 0, last = 0;
  for (const TrackUnits* t : {&f.videoUnits, &f.audioUnits}) {
    for (const TimedUnit& u : t->units) {
      if (!any || u.ticks < first) first = u.ticks;
      if (!any || u.ticks > last) last = u.ticks;
      any = true;
    }
  }
  return any ? double(last - first) * double(f.timestampScale) / 1e9 : 0;
}

void writeContainer(TextFile& out, const MkvFile& f, uint64_t fileLength, double seconds, bool en) {
  out.write(en ? "Container properties\n" : "容器属性\n");
  out.write(en ? "Document type: " : "文档类型：");
  out.write(f.docType);
  out.printf(en ? ", version %" PRIu64 "\n" : "，版本 %" PRIu64 "\n", f.docTypeVersion);
  out.write(en ? "Muxing application: " : "封装程序：");
  out.write(f.muxingApp);
  out.write(en ? "\nWriting application: " : "\n写入程序：");
  out.write(f.writingApp);
  out.write("\n");
  if (!f.title.empty()) {
    out.write(en ? "Title: " : "标题　　：");
    out.write(f.title);
    out.write("\n");
  }
  out.printf(en ? "Timestamp scale: %" PRIu64 " ns\n" : "时间刻度：%" PRIu64 " ns\n", f.timestampScale);
  out.write(en ? "Play time: " : "播放时间：");
  if (f.hasDuration && std::isfinite(seconds) && seconds < 4294967.0) {
    out.printf(en ? "%.3f s (" : "%.3f 秒 (", seconds);
    out.write(formatMilliseconds(uint32_t(seconds * 1000 + 0.5)));
    out.write(")\n");
  } else {
    out.write(en ? "not given\n" : "未标明\n");
  }
  writeRate(out, en ? "Average rate: " : "平均码率：", fileLength, seconds);
  out.printf(en ? "Tracks: %" PRIu64 "\n" : "轨道数　：%" PRIu64 "\n", f.trackCount);
}

void writeTrack(TextFile& out, const MkvTrack& t, const TrackUnits* units, double seconds, bool en) {
  out.printf(en ? "Track number: %" PRIu64 "\n" : "轨道号　：%" PRIu64 "\n", t.number);
  out.write(en ? "Kind: " : "类型　　：");
  out.write(kindName(t.type, en));
  out.write(en ? "\nCodec: " : "\n编码　　：");
  out.write(t.codecId);
  if (const std::string name = codecName(t, en); !name.empty()) {
    out.write(" = ");
    out.write(name);
  }
  out.write(en ? "\nLanguage: " : "\n语言　　：");
  out.write(t.language);
  out.write("\n");
  if (!t.name.empty()) {
    out.write(en ? "Name: " : "名称　　：");
    out.write(t.name);
    out.write("\n");
  }
  if (t.defaultDuration > 0) {
    out.printf(en ? "Frame interval: %.3f ms (%.3f fps)\n" : "帧间隔　：%.3f ms (%.3f fps)\n",
               double(t.defaultDuration) / 1e6, 1e9 / double(t.defaultDuration));
  }
  if (t.type == 1) {
    out.printf(en ? "Picture size: %" PRIu64 " x %" PRIu64 "\n" : "画面尺寸：%" PRIu64 " x %" PRIu64 "\n",
               t.pixelWidth, t.pixelHeight);
    if (t.displayWidth || t.displayHeight) {
      out.printf(en ? "Display size: %" PRIu64 " x %" PRIu64 "\n" : "显示尺寸：%" PRIu64 " x %" PRIu64 "\n",
                 t.displayWidth ? t.displayWidth : t.pixelWidth,
                 t.displayHeight ? t.displayHeight : t.pixelHeight);
    }
  } else if (t.type == 2) {
    out.printf(en ? "Channels: %" PRIu64 "\n" : "声道数　：%" PRIu64 "\n", t.channels);
    out.printf(en ? "Sampling frequency: %g\n" : "采样频率：%g\n", t.samplingFrequency);
    if (t.bitDepth) out.printf(en ? "Bits per sample: %" PRIu64 "\n" : "采样位数：%" PRIu64 "\n", t.bitDepth);
  }
  if (units) {
    uint64_t bytes = 0, keys = 0;
    for (const TimedUnit& u : units->units) {
      bytes += u.bytes;
      keys += u.key;
    }
    out.printf(en ? "Blocks: %zu (key frames %" PRIu64 ")\n" : "数据块数：%zu (关键帧 %" PRIu64 ")\n",
               units->units.size(), keys);
    out.printf(en ? "Data: %" PRIu64 " bytes\n" : "数据量　：%" PRIu64 " bytes\n", bytes);
    writeRate(out, en ? "Average rate: " : "平均码率：", bytes, seconds);
  }
  out.write("\n");
}

}  // namespace

int writeMatroskaInfo(const std::string& path, TextFile& out, bool en) {
  InputFile file;
  if (!file.open(path)) return 0;
  MkvFile f;
  if (!readMatroska(file, f).ok()) return 0;
  double seconds = f.hasDuration ? f.duration * double(f.timestampScale) / 1e9 : unitSpan(f);
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  writeContainer(out, f, file.length(), seconds, en);
  out.write(en ? "\nTrack properties\n\n" : "\n轨道属性\n\n");
  // The chosen tracks are told by their place among the entries: numbers may repeat in a damaged file.
  bool videoShown = false, audioShown = false;
  for (const MkvTrack& t : f.tracks) {
    const TrackUnits* units = nullptr;
    if (f.hasVideo && !videoShown && t.type == 1) {
      units = &f.videoUnits;
      videoShown = true;
    } else if (f.hasAudio && !audioShown && t.type == 2) {
      units = &f.audioUnits;
      audioShown = true;
    }
    writeTrack(out, t, units, seconds, en);
  }
  if (f.trackCount > f.tracks.size())
    out.printf(en ? "(%" PRIu64 " more tracks not listed)\n" : "（另有 %" PRIu64 " 个轨道未列出）\n",
               f.trackCount - f.tracks.size());
  return 1;
}

}  // namespace mv
