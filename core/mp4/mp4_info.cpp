#include "mp4/mp4_info.h"

#include <cinttypes>
#include <string_view>

#include "media/time_format.h"
#include "media/unit_summary.h"
#include "mp4/mp4_codec_names.h"
#include "mp4/mp4_file.h"
#include "platform/byte_order.h"
#include "platform/input_file.h"

namespace mv {
namespace {

bool printable(uint32_t code) {
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = uint8_t(code >> (8 * i));
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// A four-character code as its characters, or in hex when they are not printable.
void writeCode(TextFile& out, uint32_t code) {
  if (!printable(code)) {
    out.printf("0x%08x", unsigned(code));
    return;
  }
  const uint8_t b[4] = {uint8_t(code >> 24), uint8_t(code >> 16), uint8_t(code >> 8), uint8_t(code)};
  out.writeBytes(b, sizeof b);
}

// ticks / timescale as hh:mm:ss.hh; durations past the 32-bit milliseconds show their seconds.
void writeDuration(TextFile& out, uint64_t ticks, uint32_t timescale) {
  const uint32_t ts = timescale ? timescale : 1;
  const uint64_t ms = ticks / ts * 1000 + ticks % ts * 1000 / ts;
  if (ms <= UINT32_MAX) {
    out.write(formatMilliseconds(uint32_t(ms)));
  } else {
    out.printf("%" PRIu64 " s", ticks / ts);
  }
}

void writeRate(TextFile& out, const char* label, uint64_t bytes, uint64_t ticks, uint32_t timescale,
               bool en) {
  out.write(label);
  if (ticks == 0 || timescale == 0) {
    out.write(en ? "unknown\n" : "未知\n");
    return;
  }
  const double seconds = double(ticks) / double(timescale);
  out.printf("%.2f %s\n", kbitPerSecond(double(bytes) / seconds), kRateUnit);
}

// ISO-639-2/T as three 5-bit letters, each + 0x60.
void writeLanguage(TextFile& out, uint16_t packed, bool en) {
  char s[4] = {char(((packed >> 10) & 31) + 0x60), char(((packed >> 5) & 31) + 0x60),
               char((packed & 31) + 0x60), 0};
  for (int i = 0; i < 3; ++i) {
    if (s[i] < 'a' || s[i] > 'z') {
      out.printf(en ? "Language: 0x%04x\n" : "语言　　：0x%04x\n", unsigned(packed));
      return;
    }
  }
  out.printf(en ? "Language: %s\n" : "语言　　：%s\n", s);
}

void writeTrack(TextFile& out, size_t number, const Mp4Track& t, bool en) {
  out.printf(en ? "Track %zu (ID %u)\n" : "轨道 %zu（ID %u）\n", number, unsigned(t.trackId));
  out.write(en ? "Kind: " : "类型　　：");
  if (en)
    out.write(t.isVideo() ? "video (" : t.isAudio() ? "audio (" : "other (");
  else
    out.write(t.isVideo() ? "视频 (" : t.isAudio() ? "音频 (" : "其他 (");
  writeCode(out, t.handler);
  out.write(")\n");
  out.write(en ? "Codec: " : "编码　　：");
  if (t.codec) {
    writeCode(out, t.codec);
    const Mp4EsInfo es = readEsds(t.sampleEntry.data(), t.sampleEntry.size(), t.isAudio());
    if (std::string name = mp4CodecName(t.codec, es); !name.empty()) {
      // The subtitle names are the only ones that are words.
      if (constexpr std::string_view kSubtitle = "字幕 "; en && name.starts_with(kSubtitle))
        name = "Subtitles " + name.substr(kSubtitle.size());
      out.write(" = ");
      out.write(name);
    }
  } else {
    out.write(en ? "none" : "无");
  }
  out.write("\n");
  out.printf(en ? "Timescale: %u\n" : "时间刻度：%u\n", unsigned(t.timescale));
  out.write(en ? "Duration: " : "时长　　：");
  writeDuration(out, t.mediaDuration, t.timescale);
  out.write("\n");
  out.printf(en ? "Samples: %" PRIu64 "\n" : "采样数　：%" PRIu64 "\n", t.sampleCount);
  out.printf(en ? "Data: %" PRIu64 " bytes\n" : "数据量　：%" PRIu64 " bytes\n", t.sampleBytes);
  // Fragmented tracks declare no media duration: the decode times span it.
  const uint64_t span = t.mediaDuration ? t.mediaDuration : t.nextDts - uint64_t(t.firstDts);
  writeRate(out, en ? "Average rate: " : "平均码率：", t.sampleBytes, span, t.timescale, en);
  if (t.isVideo()) {
    out.printf(en ? "Picture size: %u x %u\n" : "画面尺寸：%u x %u\n", unsigned(t.width()),
               unsigned(t.height()));
    if (t.sampleCount > 1 && t.lastDts > t.firstDts) {
      const double fps = double(t.sampleCount - 1) * t.timescale / double(t.lastDts - t.firstDts);
      out.printf(
          en ? "Frame rate: %.3f fps (from the decode times)\n" : "帧率　　：%.3f fps（由解码时间算出）\n",
          fps);
    }
  } else if (t.isAudio() && t.sampleEntry.size() >= 36) {
    const uint8_t* e = t.sampleEntry.data();
    const bool v2 = readU16be(e + 16) == 2 && t.sampleEntry.size() >= 52;
    uint32_t channels = readU16be(e + 24);
    double rate = readU32be(e + 32) >> 16;
    if (v2) {
      uint64_t bits = (uint64_t(readU32be(e + 40)) << 32) | readU32be(e + 44);
      __builtin_memcpy(&rate, &bits, sizeof rate);
      channels = readU32be(e + 48);
    }
    out.printf(en ? "Channels: %u\n" : "声道数　：%u\n", unsigned(channels));
    out.printf(en ? "Sample rate: %.0f Hz\n" : "采样率　：%.0f Hz\n", rate);
  }
  writeLanguage(out, t.language, en);
  const Mp4EditList& e = t.edits;
  if (e.count == 0) {
    out.write(en ? "Edit list: none\n" : "编辑列表：无\n");
  } else {
    out.printf(en ? "Edit list: %u entries, leading empty %" PRIu64 " (movie timescale)"
                  : "编辑列表：%u 项，开头空白 %" PRIu64 "（影片刻度）",
               unsigned(e.count), e.leadingEmpty);
    if (e.hasMediaEdit)
      out.printf(en ? ", media start %" PRId64 " (media timescale)" : "，媒体起点 %" PRId64 "（媒体刻度）",
                 e.firstMediaTime);
    out.write("\n");
  }
  out.write("\n");
}

}  // namespace

int writeMp4Info(const std::string& path, TextFile& out, bool en) {
  InputFile file;
  if (!file.open(path)) return 0;
  const Mp4File mp4(file, nullptr, Mp4File::Keep::AllCounts);
  if (!mp4.result().ok()) return 0;
  out.write(en ? "Container properties\n" : "容器属性\n");
  if (mp4.hasFtyp()) {
    out.write(en ? "Major brand: " : "主品牌　：");
    writeCode(out, mp4.majorBrand());
    out.printf(en ? "\nMinor version: %u\n" : "\n次版本　：%u\n", unsigned(mp4.minorVersion()));
    out.write(en ? "Compatible brands: " : "兼容品牌：");
    for (size_t i = 0; i < mp4.compatibleBrands().size(); ++i) {
      if (i) out.write(" ");
      writeCode(out, mp4.compatibleBrands()[i]);
    }
    out.write("\n");
  } else {
    out.write(en ? "Major brand: none (no ftyp)\n" : "主品牌　：无 (没有 ftyp)\n");
  }
  out.printf(en ? "Timescale: %u\n" : "时间刻度：%u\n", unsigned(mp4.movieTimescale()));
  out.write(en ? "Duration: " : "时长　　：");
  writeDuration(out, mp4.movieDuration(), mp4.movieTimescale());
  out.write("\n");
  writeRate(out, en ? "Total rate: " : "总码率　：", file.length(), mp4.movieDuration(), mp4.movieTimescale(),
            en);
  if (mp4.fragmented()) {
    out.printf(en ? "Fragmented: yes, %" PRIu64 " moof\n" : "分段存储：是，%" PRIu64 " 个 moof\n",
               mp4.fragmentCount());
  } else {
    out.write(en ? "Fragmented: no\n" : "分段存储：否\n");
  }
  out.printf(en ? "Tracks: %zu\n" : "轨道数　：%zu\n", mp4.tracks().size());
  out.write(en ? "\nTrack properties\n\n" : "\n轨道属性\n\n");
  for (size_t i = 0; i < mp4.tracks().size(); ++i) writeTrack(out, i + 1, mp4.tracks()[i], en);
  return 1;
}

}  // namespace mv
