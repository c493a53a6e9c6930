#include "asf/asf_info.h"

#include <algorithm>

#include "asf/asf_reader.h"
#include "media/time_format.h"
#include "media/unit_summary.h"
#include "platform/byte_order.h"
#include "platform/input_file.h"

namespace mv {
namespace {

const char* videoCodecName(uint32_t fourcc) {
  const struct {
    uint32_t code;
    const char* name;
  } names[] = {
      {fourccLe("WMV1"), "Windows Media Video 7"},
      {fourccLe("WMV2"), "Windows Media Video 8"},
      {fourccLe("WMV3"), "Windows Media Video 9"},
      {fourccLe("WMVA"), "Windows Media Video 9 Advanced"},
      {fourccLe("WVC1"), "VC-1"},
      {fourccLe("WMVP"), "Windows Media Video 9 Image"},
      {fourccLe("MP43"), "MS-MPEG4 v3"},
      {fourccLe("MP42"), "MS-MPEG4 v2"},
      {fourccLe("MPG4"), "MS-MPEG4 v1"},
      {fourccLe("MP4S"), "MPEG-4 Visual"},
      {fourccLe("M4S2"), "MPEG-4 Visual"},
      {fourccLe("H264"), "H.264/AVC"},
      {fourccLe("h264"), "H.264/AVC"},
      {fourccLe("MJPG"), "Motion JPEG"},
  };
  for (const auto& n : names)
    if (n.code == fourcc) return n.name;
  return "";
}

const char* audioFormatName(uint16_t tag) {
  switch (tag) {
    case 0x0001:
      return "PCM";
    case 0x0002:
      return "MS ADPCM";
    case 0x0055:
      return "MP3";
    case 0x000A:
      return "WMA Voice";
    case 0x0160:
      return "WMA v1";
    case 0x0161:
      return "WMA v2";
    case 0x0162:
      return "WMA Pro";
    case 0x0163:
      return "WMA Lossless";
    case 0x0050:
      return "MPEG Audio";
    case 0x00FF:
    case 0x1610:
      return "AAC";
    case 0x2000:
      return "AC-3";
    default:
      return "";
  }
}

std::string fourccText(uint32_t code) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = char(code >> (8 * i));
    s += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return s;
}

// 100-ns count as a clock time, when it fits.
std::string duration100ns(uint64_t t) {
  const uint64_t ms = t / 10000;
  return ms < 0xFFFFFFFFull ? formatMilliseconds(uint32_t(ms)) : std::to_string(ms) + " ms";
}

}  // namespace

int writeAsfInfo(const std::string& path, TextFile& out) {
  InputFile file;
  if (!file.open(path)) return 0;
  AsfFile asf;
  if (!readAsf(file, asf).ok()) return 0;

  out.write("文件属性\n");
  out.printf("数据包长度：%u bytes\n", asf.packetSize);
  out.printf("声明包数　：%llu\n", static_cast<unsigned long long>(asf.declaredPackets));
  out.printf("实际包数　：%llu\n", static_cast<unsigned long long>(asf.packetsRead));
  out.write("播放时长　：" + duration100ns(asf.playDuration) + "\n");
  out.printf("预卷时间　：%llu ms\n", static_cast<unsigned long long>(asf.preroll));
  out.printf("广播　　　：%s\n", (asf.flags & 1) ? "是" : "否");
  out.printf("可定位　　：%s\n", (asf.flags & 2) ? "是" : "否");
  out.printf("最大码率　：%u bps\n", asf.maxBitrate);
  if (asf.badPackets) out.printf("损坏的包　：%llu\n", static_cast<unsigned long long>(asf.badPackets));
  if (asf.cutShort) out.write("文件不完整：最后一个数据包不全\n");

  if (!asf.title.empty() || !asf.author.empty() || !asf.copyright.empty() || !asf.description.empty()) {
    out.write("\n内容描述\n");
    if (!asf.title.empty()) out.write("标题　　：" + asf.title + "\n");
    if (!asf.author.empty()) out.write("作者　　：" + asf.author + "\n");
    if (!asf.copyright.empty()) out.write("版权　　：" + asf.copyright + "\n");
    if (!asf.description.empty()) out.write("描述　　：" + asf.description + "\n");
  }

  for (size_t i = 0; i < asf.streams.size(); ++i) {
    const AsfStream& s = asf.streams[i];
    const bool chosen = int(i) == asf.videoStream || int(i) == asf.audioStream;
    const char* kind = s.kind == AsfStreamKind::Video   ? "视频"
                       : s.kind == AsfStreamKind::Audio ? "音频"
                                                        : "其他";
    out.printf("\n流 %u（%s%s）\n", unsigned(s.number), kind, chosen ? "，参与统计" : "");
    if (s.kind == AsfStreamKind::Video) {
      out.write("编码　　：" + fourccText(s.compression));
      if (const char* name = videoCodecName(s.compression); *name) out.printf(" = %s", name);
      out.write("\n");
      if (s.encodedWidth && s.encodedHeight)
        out.printf("画面大小：%u x %u\n", s.encodedWidth, s.encodedHeight);
      else
        out.printf("画面大小：%d x %d\n", s.bitmapWidth, s.bitmapHeight);
      if (s.bitCount) out.printf("颜色位数：%u\n", unsigned(s.bitCount));
      if (s.number < 128 && asf.avgTimePerFrame[s.number] > 0) {
        out.printf("声明帧率：%.3f fps\n", 1e7 / double(asf.avgTimePerFrame[s.number]));
      }
    } else if (s.kind == AsfStreamKind::Audio) {
      out.printf("格式　　：0x%04X", unsigned(s.formatTag));
      if (const char* name = audioFormatName(s.formatTag); *name) out.printf(" = %s", name);
      out.write("\n");
      out.printf("声道　　：%u\n", unsigned(s.channels));
      out.printf("采样率　：%u Hz\n", s.sampleRate);
      if (s.bitsPerSample) out.printf("采样位数：%u\n", unsigned(s.bitsPerSample));
      if (s.avgBytesPerSecond) out.printf("声明码率：%.2f kbps\n", s.avgBytesPerSecond * 8.0 / 1000.0);
    }
    if (int(i) == asf.videoStream) writeUnitRows(out, "媒体对象：", asf.video);
    if (int(i) == asf.audioStream) writeUnitRows(out, "媒体对象：", asf.audio);
  }
  return 1;
}

}  // namespace mv
