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

int writeAsfInfo(const std::string& path, TextFile& out, bool en) {
  InputFile file;
  if (!file.open(path)) return 0;
  AsfFile asf;
  if (!readAsf(file, asf).ok()) return 0;

  const char* yes = en ? "yes" : "是";
  const char* no = en ? "no" : "否";
  out.write(en ? "File properties\n" : "文件属性\n");
  out.printf(en ? "Packet length: %u bytes\n" : "数据包长度：%u bytes\n", asf.packetSize);
  out.printf(en ? "Declared packets: %llu\n" : "声明包数　：%llu\n",
             static_cast<unsigned long long>(asf.declaredPackets));
  out.printf(en ? "Packets read: %llu\n" : "实际包数　：%llu\n",
             static_cast<unsigned long long>(asf.packetsRead));
  out.write((en ? "Play duration: " : "播放时长　：") + duration100ns(asf.playDuration) + "\n");
  out.printf(en ? "Preroll: %llu ms\n" : "预卷时间　：%llu ms\n",
             static_cast<unsigned long long>(asf.preroll));
  out.printf(en ? "Broadcast: %s\n" : "广播　　　：%s\n", (asf.flags & 1) ? yes : no);
  out.printf(en ? "Seekable: %s\n" : "可定位　　：%s\n", (asf.flags & 2) ? yes : no);
  out.printf(en ? "Maximum rate: %u bits/second\n" : "最大码率　：%u bps\n", asf.maxBitrate);
  if (asf.badPackets)
    out.printf(en ? "Damaged packets: %llu\n" : "损坏的包　：%llu\n",
               static_cast<unsigned long long>(asf.badPackets));
  if (asf.cutShort)
    out.write(en ? "File incomplete: the last data packet is cut short\n"
                 : "文件不完整：最后一个数据包不全\n");

  if (!asf.title.empty() || !asf.author.empty() || !asf.copyright.empty() || !asf.description.empty()) {
    out.write(en ? "\nContent description\n" : "\n内容描述\n");
    if (!asf.title.empty()) out.write((en ? "Title: " : "标题　　：") + asf.title + "\n");
    if (!asf.author.empty()) out.write((en ? "Author: " : "作者　　：") + asf.author + "\n");
    if (!asf.copyright.empty()) out.write((en ? "Copyright: " : "版权　　：") + asf.copyright + "\n");
    if (!asf.description.empty()) out.write((en ? "Description: " : "描述　　：") + asf.description + "\n");
  }

  for (size_t i = 0; i < asf.streams.size(); ++i) {
    const AsfStream& s = asf.streams[i];
    const bool chosen = int(i) == asf.videoStream || int(i) == asf.audioStream;
    const char* kind = s.kind == AsfStreamKind::Video   ? (en ? "video" : "视频")
                       : s.kind == AsfStreamKind::Audio ? (en ? "audio" : "音频")
                                                        : (en ? "other" : "其他");
    out.printf(en ? "\nStream %u (%s%s)\n" : "\n流 %u（%s%s）\n", unsigned(s.number), kind,
               chosen ? (en ? ", counted" : "，参与统计") : "");
    if (s.kind == AsfStreamKind::Video) {
      out.write((en ? "Codec: " : "编码　　：") + fourccText(s.compression));
      if (const char* name = videoCodecName(s.compression); *name) out.printf(" = %s", name);
      out.write("\n");
      if (s.encodedWidth && s.encodedHeight)
        out.printf(en ? "Picture size: %u x %u\n" : "画面大小：%u x %u\n", s.encodedWidth, s.encodedHeight);
      else
        out.printf(en ? "Picture size: %d x %d\n" : "画面大小：%d x %d\n", s.bitmapWidth, s.bitmapHeight);
      if (s.bitCount) out.printf(en ? "Bits per pixel: %u\n" : "颜色位数：%u\n", unsigned(s.bitCount));
      if (s.number < 128 && asf.avgTimePerFrame[s.number] > 0) {
        out.printf(en ? "Declared frame rate: %.3f fps\n" : "声明帧率：%.3f fps\n",
                   1e7 / double(asf.avgTimePerFrame[s.number]));
      }
    } else if (s.kind == AsfStreamKind::Audio) {
      out.printf(en ? "Format: 0x%04X" : "格式　　：0x%04X", unsigned(s.formatTag));
      if (const char* name = audioFormatName(s.formatTag); *name) out.printf(" = %s", name);
      out.write("\n");
      out.printf(en ? "Channels: %u\n" : "声道　　：%u\n", unsigned(s.channels));
      out.printf(en ? "Sample rate: %u Hz\n" : "采样率　：%u Hz\n", s.sampleRate);
      if (s.bitsPerSample)
        out.printf(en ? "Bits per sample: %u\n" : "采样位数：%u\n", unsigned(s.bitsPerSample));
      if (s.avgBytesPerSecond)
        out.printf(en ? "Declared rate: %.2f %s\n" : "声明码率：%.2f %s\n",
                   kbitPerSecond(s.avgBytesPerSecond), kRateUnit);
    }
    if (int(i) == asf.videoStream) writeUnitRows(out, en ? "Media objects: " : "媒体对象：", asf.video, en);
    if (int(i) == asf.audioStream) writeUnitRows(out, en ? "Media objects: " : "媒体对象：", asf.audio, en);
  }
  return 1;
}

}  // namespace mv
