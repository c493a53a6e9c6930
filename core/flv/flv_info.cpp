#include "flv/flv_info.h"

#include <algorithm>

#include "flv/flv_reader.h"
#include "media/time_format.h"
#include "media/unit_summary.h"
#include "platform/input_file.h"

namespace mv {
int writeFlvInfo(const std::string& path, TextFile& out) {
  InputFile file;
  if (!file.open(path)) return 0;
  FlvFile flv;
  if (!readFlv(file, flv).ok()) return 0;

  out.write("文件属性\n");
  out.printf("版本　　：%u\n", unsigned(flv.version));
  out.printf("声明的流：%s%s\n", (flv.flags & 1) ? "视频 " : "", (flv.flags & 4) ? "音频" : "");
  out.printf("标签总数：%llu\n", static_cast<unsigned long long>(flv.tags));
  if (flv.cutShort) out.write("文件不完整：最后一个标签不全\n");

  if (!flv.numbers.empty() || !flv.texts.empty()) {
    out.write("\n元数据 (onMetaData)\n");
    const struct {
      const char* key;
      const char* label;
      const char* unit;
    } rows[] = {{"duration", "时长　　：", " s"},
                {"width", "画面宽度：", ""},
                {"height", "画面高度：", ""},
                {"framerate", "帧率　　：", " fps"},
                {"videodatarate", "视频码率：", " kbps"},
                {"audiodatarate", "音频码率：", " kbps"},
                {"audiosamplerate", "采样率　：", " Hz"},
                {"filesize", "文件长度：", " bytes"}};
    for (const auto& r : rows) {
      const auto it = flv.numbers.find(r.key);
      if (it == flv.numbers.end()) continue;
      out.write(r.label);
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
      if (it != flv.texts.end()) out.write(std::string("编码程序：") + it->second + "\n");
    }
  }

  if (flv.video.present) {
    out.write("\n视频流\n");
    if (flv.videoCodec >= 0) {
      out.printf("编码　　：%d", flv.videoCodec);
      if (const char* name = flvVideoCodecName(flv.videoCodec); *name) out.printf(" = %s", name);
      out.write("\n");
    }
    writeUnitRows(out, "帧数　　：", flv.video);
    if (const int32_t rate = measuredFrameRateMilli(flv.video))
      out.printf("实测帧率：%.3f fps\n", rate / 1000.0);
  }
  if (flv.audio.present) {
    out.write("\n音频流\n");
    if (flv.audioFormat >= 0) {
      const int format = flv.audioFormat >> 4;
      out.printf("格式　　：%d", format);
      if (const char* name = flvSoundFormatName(format); *name) out.printf(" = %s", name);
      out.write("\n");
      static const char* const kRates[] = {"5.5 kHz", "11 kHz", "22 kHz", "44 kHz"};
      out.printf("采样率　：%s\n", kRates[(flv.audioFormat >> 2) & 3]);
      out.printf("采样位数：%d\n", (flv.audioFormat & 2) ? 16 : 8);
      out.printf("声道　　：%s\n", (flv.audioFormat & 1) ? "立体声" : "单声道");
    }
    writeUnitRows(out, "帧数　　：", flv.audio);
  }
  return 1;
}

}  // namespace mv
