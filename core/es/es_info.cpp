#include "es/es_info.h"

#include "es/es_reader.h"
#include "media/file_analysis.h"
#include "media/unit_summary.h"
#include "platform/input_file.h"

namespace mv {

int writeElementaryStreamInfo(const std::string& path, TextFile& out, bool en) {
  InputFile file;
  if (!file.open(path)) return 0;
  FileAnalysis a;
  WalkNotes notes;
  ElementaryStreamFacts facts;
  if (!readElementaryStream(file, a, notes, nullptr, facts).ok()) return 0;

  const std::string_view name = elementaryStreamName(facts.kind);
  out.write(en ? "File properties\n" : "文件属性\n");
  if (facts.kind.audio) {
    const AudioStreamInfo& s = *facts.kind.audio;
    out.printf(en ? "Stream type: audio elementary stream (%.*s)\n" : "流类型　：音频基本流 (%.*s)\n",
               int(name.size()), name.data());
    if (s.sampleRate > 0) out.printf(en ? "Sample rate: %d Hz\n" : "采样率　：%d Hz\n", s.sampleRate);
    if (s.channels > 0) out.printf(en ? "Channels: %d\n" : "声道数　：%d\n", s.channels);
    if (s.bitRate > 0)
      out.printf(en ? "Rate: %.2f %s (first frame)\n" : "码率　　：%.2f %s (第一帧)\n",
                 kbitPerSecond(s.bitRate / 8.0), kRateUnit);
    if (notes.cutShort)
      out.write(en ? "File incomplete: the last frame is cut short\n" : "文件不完整：最后一帧不全\n");
    out.write(en ? "\nAudio stream\n" : "\n音频流\n");
    writeUnitRows(out, en ? "Frames: " : "帧数　　：", a.audioUnits, en);
    return 1;
  }
  const codec::StreamInfo& v = facts.video;
  out.printf(en ? "Stream type: video elementary stream%s (%.*s)\n" : "流类型　：视频基本流%s (%.*s)\n",
             facts.kind.ivf ? " (IVF)" : "", int(name.size()), name.data());
  if (!v.profile.empty())
    out.printf(en ? "Profile: %.*s\n" : "档次　　：%.*s\n", int(v.profile.size()), v.profile.data());
  if (v.level > 0) {
    if (facts.kind.video == codec::Codec::H264)
      out.printf(en ? "Level: %d.%d\n" : "级别　　：%d.%d\n", v.level / 10, v.level % 10);
    else if (facts.kind.video == codec::Codec::Hevc)
      out.printf(en ? "Level: %d.%d\n" : "级别　　：%d.%d\n", v.level / 30, v.level % 30 / 3);
    else if (v.level == 4 || v.level == 6 || v.level == 8 || v.level == 10)
      out.printf(en ? "Level: %s\n" : "级别　　：%s\n", v.level == 4   ? "High"
                                                        : v.level == 6 ? "High 1440"
                                                        : v.level == 8 ? "Main"
                                                                       : "Low");
  }
  if (v.width > 0) out.printf(en ? "Picture size: %d x %d\n" : "画面尺寸：%d x %d\n", v.width, v.height);
  if (v.rateNum > 0 && v.rateDen > 0)
    out.printf(en ? "Frame rate: %.3f fps\n" : "帧率　　：%.3f fps\n", double(v.rateNum) / v.rateDen);
  else if (facts.kind.ivf)
    out.printf(en ? "Time base: %u/%u s\n" : "时间基　：%u/%u 秒\n", facts.ivfScale, facts.ivfRate);
  else
    out.write(en ? "Frame rate: not declared (timed at 25 fps)\n" : "帧率　　：未声明 (按 25 fps 计时)\n");
  if (!facts.kind.ivf)
    out.printf(en ? "Scan: %s\n" : "扫描方式：%s\n",
               v.interlaced ? (en ? "interlaced" : "隔行") : (en ? "progressive" : "逐行"));
  if (v.bitRate > 0)
    out.printf(en ? "Declared rate: %.2f %s\n" : "声明码率：%.2f %s\n",
               kbitPerSecond(double(v.bitRate) / 8.0), kRateUnit);
  if (v.vbvBits > 0)
    out.printf(en ? "VBV buffer: %llu bits\n" : "VBV 缓冲：%llu bits\n",
               static_cast<unsigned long long>(v.vbvBits));
  if (notes.cutShort)
    out.write(en ? "File incomplete: the last frame is cut short\n" : "文件不完整：最后一帧不全\n");
  out.write(en ? "\nVideo stream\n" : "\n视频流\n");
  writeUnitRows(out, en ? "Frames: " : "帧数　　：", a.videoUnits, en);
  if (const int32_t rate = measuredFrameRateMilli(a.videoUnits))
    out.printf(en ? "Measured frame rate: %.3f fps\n" : "实测帧率：%.3f fps\n", rate / 1000.0);
  return 1;
}

}  // namespace mv
