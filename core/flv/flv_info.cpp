#include "flv/flv_info.h"

#include <algorithm>

#include "flv/flv_reader.h"
#include "media/time_format.h"
#include "media/unit_summary.h"
#include "platform/input_file.h"

namespace mv {
int writeFlvInfo(const std::string& path, TextFile& out, bool en) {
  InputFile file;
  if (!file.open(path)) return 0;
  FlvFile flv;
  if (!readFlv(file, flv).ok()) return 0;

  out.write(en ? "File properties\n" : "文件属性\n");
  out.printf(en ? "Version: %u\n" : "版本　　：%u\n", unsigned(flv.version));
  out.printf(en ? "Declared streams: %s%s\n" : "声明的流：%s%s\n",
             (flv.flags & 1) ? (en ? "video " : "视频 ") : "",
             (flv.flags & 4) ? (en ? "audio" : "音频") : "");
  out.printf(en ? "Tags: %llu\n" : "标签总数：%llu\n", static_cast<unsigned long long>(flv.tags));
  if (flv.cutShort)
    out.write(en ? "File incomplete: the last tag is cut short\n" : "文件不完整：最后一个标签不全\n");

  if (!flv.numbers.empty() || !flv.texts.empty()) {
    out.write(en ? "\nMetadata (onMetaData)\n" : "\n元数据 (onMetaData)\n");
    // The data rates are the writer's kbit/s, which muxers count in 1024 bits.
    const struct {
      const char* key;
      const char* label;
      const char* english;
      const char* unit;
    } rows[] = {{"duration", "时长　　：", "Duration: ", " s"},
                {"width", "画面宽度：", "Picture width: ", ""},
                {"height", "画面高度：", "Picture height: ", ""},
                {"framerate", "帧率　　：", "Frame rate: ", " fps"},
                {"videodatarate", "视频码率：", "Video rate: ", " kbps (1024 bits/second)"},
                {"audiodatarate", "音频码率：", "Audio rate: ", " kbps (1024 bits/second)"},
                {"audiosamplerate", "采样率　：", "Sample rate: ", " Hz"},
                {"filesize", "文件长度：", "File length: ", " bytes"}};
    for (const auto& r : rows) {
      const auto it = flv.numbers.find(r.key);
      if (it == flv.numbers.end()) continue;
      out.write(en ? r.english : r.label);
      // Writers store whole numbers as doubles; show them as such.
      const double v = it->second;
      out.printf(v == double(int64_t(v)) ? "%.0f%s" : "%.3f%s", v, r.unit);
      if (std::string(r.key) == "duration" && it->second >= 0 && it->second < 4294967.0) {
        out.write(" = " + formatMilliseconds(uint32_t(it->second * 1000)));
      }
      out.write("\n");
    }
    for (const char* key : {"encoder", "metadatacreator", "creator"}) {
      const auto it = flv.texts.find(key);
      if (it != flv.texts.end()) out.write(std::string(en ? "Encoder: " : "编码程序：") + it->second + "\n");
    }
  }

  if (flv.video.present) {
    out.write(en ? "\nVideo stream\n" : "\n视频流\n");
    if (flv.videoCodec >= 0) {
      out.printf(en ? "Codec: %d" : "编码　　：%d", flv.videoCodec);
      if (const char* name = flvVideoCodecName(flv.videoCodec); *name) out.printf(" = %s", name);
      out.write("\n");
    }
    writeUnitRows(out, en ? "Frames: " : "帧数　　：", flv.video, en);
    if (const int32_t rate = measuredFrameRateMilli(flv.video))
      out.printf(en ? "Measured frame rate: %.3f fps\n" : "实测帧率：%.3f fps\n", rate / 1000.0);
  }
  if (flv.audio.present) {
    out.write(en ? "\nAudio stream\n" : "\n音频流\n");
    if (flv.audioFormat >= 0) {
      const int format = flv.audioFormat >> 4;
      out.printf(en ? "Format: %d" : "格式　　：%d", format);
      if (const char* name = flvSoundFormatName(format); *name) out.printf(" = %s", name);
      out.write("\n");
      static const char* const kRates[] = {"5.5 kHz", "11 kHz", "22 kHz", "44 kHz"};
      out.printf(en ? "Sample rate: %s\n" : "采样率　：%s\n", kRates[(flv.audioFormat >> 2) & 3]);
      out.printf(en ? "Bits per sample: %d\n" : "采样位数：%d\n", (flv.audioFormat & 2) ? 16 : 8);
      out.printf(en ? "Channels: %s\n" : "声道　　：%s\n",
                 (flv.audioFormat & 1) ? (en ? "stereo" : "立体声") : (en ? "mono" : "单声道"));
    }
    writeUnitRows(out, en ? "Frames: " : "帧数　　：", flv.audio, en);
  }
  return 1;
}

}  // namespace mv
