#include "avi/avi_info.h"

#include <cinttypes>
#include <cmath>
#include <span>

#include "avi/avi_reader.h"
#include "media/codec_names.h"
#include "media/unit_summary.h"
#include "platform/byte_order.h"
#include "platform/input_file.h"

namespace mv {
namespace {

constexpr uint32_t kTypeVids = fourccLe("vids");
constexpr uint32_t kTypeAuds = fourccLe("auds");

// The report prints header values with %d as the original tool did: values above 2^31 show
// negative.
int asInt(uint32_t v) { return static_cast<int32_t>(v); }

void writeCode(TextFile& out, uint32_t fourcc) {
  const uint8_t b[4] = {uint8_t(fourcc), uint8_t(fourcc >> 8), uint8_t(fourcc >> 16), uint8_t(fourcc >> 24)};
  out.writeBytes(b, sizeof b);
}

void writeYesNo(TextFile& out, const char* label, uint32_t flags, uint32_t bit, bool en) {
  out.write(label);
  out.write((flags & bit) ? (en ? "yes\n" : "是\n") : (en ? "no\n" : "否\n"));
}

void writeMainHeader(TextFile& out, const AviMainHeader& h, bool en) {
  out.write(en ? "File properties\n" : "文件属性\n");
  out.printf(en ? "Frame interval: %d us\n" : "帧间隔　：%d us\n", asInt(h.dwMicroSecPerFrame));
  out.printf(en ? "Maximum rate: %d bytes/sec = %d %s\n" : "最大码率：%d bytes/sec = %d %s\n",
             asInt(h.dwMaxBytesPerSec), asInt(h.dwMaxBytesPerSec >> 7), kRateUnit);
  out.printf(en ? "Total frames: %d\n" : "总帧数　：%d\n", asInt(h.dwTotalFrames));
  out.printf(en ? "Initial frames: %d\n" : "初始帧数：%d\n", asInt(h.dwInitialFrames));
  out.printf(en ? "Streams: %d\n" : "流　　数：%d\n", asInt(h.dwStreams));
  out.printf(en ? "Suggested buffer: %d bytes\n" : "建议缓冲：%d bytes\n", asInt(h.dwSuggestedBufferSize));
  out.printf(en ? "Picture width: %d\n" : "画面宽度：%d\n", asInt(h.dwWidth));
  out.printf(en ? "Picture height: %d\n" : "画面高度：%d\n", asInt(h.dwHeight));
  out.write(en ? "Flags:\n" : "标志：\n");
  writeYesNo(out, en ? "Has an index: " : "带索引段　　：", h.dwFlags, 0x10, en);        // AVIF_HASINDEX
  writeYesNo(out, en ? "Must use the index: " : "必须使用索引：", h.dwFlags, 0x20, en);  // AVIF_MUSTUSEINDEX
  writeYesNo(out, en ? "Interleaved: " : "交叉存取　　：", h.dwFlags, 0x100, en);        // AVIF_ISINTERLEAVED
  writeYesNo(out, en ? "Key frames by CKType: " : "用CKType查找关键帧：", h.dwFlags, 0x800,
             en);                                                                       // AVIF_TRUSTCKTYPE
  writeYesNo(out, en ? "Captured video: " : "用于视频捕捉：", h.dwFlags, 0x10000, en);  // AVIF_WASCAPTUREFILE
  writeYesNo(out, en ? "Copyrighted: " : "带有版权保护：", h.dwFlags, 0x20000, en);     // AVIF_COPYRIGHTED
}

void writeLength(TextFile& out, const AviStreamHeader& h, bool en) {
  out.printf(en ? "Length: %d frames" : "长度　　：%d frames", asInt(h.dwLength));
  if (h.fccType == kTypeVids) {
    const double x = double(h.dwLength) * double(h.dwScale) / double(h.dwRate);
    // A zero rate gives no play time; printing one would mean converting infinity or NaN.
    if (std::isfinite(x)) {
      // dwLength × dwScale stays below 2^64, so the whole seconds always fit.
      const uint64_t s = uint64_t(x);
      const int ms = int((x - double(s)) * 1000.0 + 0.5);
      out.printf(" = %02" PRIu64 ":%02d:%02d.%03d", s / 3600, int(s % 3600 / 60), int(s % 60), ms);
    }
  }
  out.write("\n");
}

// Each row is printed only when its field lies wholly inside the format block; a short block
// prints its leading rows and stops.
void writeAudioFormat(TextFile& out, std::span<const uint8_t> f, bool en) {
  if (f.size() < 2) return;
  const uint16_t tag = fieldU16le(f, 0);
  out.printf(en ? "Format: 0x%x" : "格式　　：0x%x", unsigned(tag));
  if (const std::string name = audioFormatName(tag); !name.empty()) {
    out.write(" = ");
    out.write(name);
  }
  out.write("\n");
  if (f.size() < 4) return;
  out.printf(en ? "Channels: %d\n" : "声道　　：%d\n", int(fieldU16le(f, 2)));
  if (f.size() < 8) return;
  out.printf(en ? "Sample rate: %d\n" : "采样率　：%d\n", asInt(fieldU32le(f, 4)));
  if (f.size() < 12) return;
  const uint32_t avg = fieldU32le(f, 8);
  out.printf(en ? "Average rate: %d bytes/sec = %d %s\n" : "平均码率：%d bytes/sec = %d %s\n", asInt(avg),
             asInt(avg >> 7), kRateUnit);
  if (f.size() < 14) return;
  out.printf(en ? "Block align: %d bytes\n" : "数据块长：%d bytes\n", int(fieldU16le(f, 12)));
  if (f.size() < 16) return;
  out.printf(en ? "Bits per sample: %d\n" : "采样位数：%d\n", int(fieldU16le(f, 14)));
}

void writeVideoFormat(TextFile& out, std::span<const uint8_t> f, uint32_t handler, bool en) {
  if (f.size() < 8) return;
  out.printf(en ? "Width: %d\n" : "宽度　　：%d\n", asInt(fieldU32le(f, 4)));
  if (f.size() < 12) return;
  out.printf(en ? "Height: %d\n" : "高度　　：%d\n", asInt(fieldU32le(f, 8)));
  if (f.size() < 16) return;
  out.printf(en ? "Bits per pixel: %d\n" : "色彩位数：%d\n", int(fieldU16le(f, 14)));
  if (f.size() < 20) return;
  const uint32_t compression = fieldU32le(f, 16);
  out.write(en ? "Compression: " : "压缩编码：");
  writeCode(out, compression);
  if (const std::string name = videoCodecName(compression, handler); !name.empty()) {
    out.write(" = ");
    out.write(name);
  }
  out.write("\n");
  if (f.size() < 24) return;
  out.printf(en ? "Image size: %d bytes\n" : "数据长度：%d bytes\n", asInt(fieldU32le(f, 20)));
}

bool printable(uint32_t fourcc) {
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = uint8_t(fourcc >> (8 * i));
    if (c < 32 || c > 125) return false;
  }
  return true;
}

void writeStream(TextFile& out, const AviStream& s, bool en) {
  const AviStreamHeader& h = s.header;
  out.write(en ? "Stream type: " : "流类型　：");
  writeCode(out, h.fccType);
  out.write("\n");
  out.write(en ? "Handler: " : "解码器　：");
  if (printable(h.fccHandler)) {
    writeCode(out, h.fccHandler);
  } else {
    out.printf("0x%x", unsigned(h.fccHandler));
  }
  out.write("\n");
  out.printf(en ? "Initial frames: %d\n" : "初始帧数：%d\n", asInt(h.dwInitialFrames));
  out.printf(en ? "Scale: %d\n" : "比例　　：%d\n", asInt(h.dwScale));
  out.printf(en ? "Rate: %d (rate / scale = fps)\n" : "速率　　：%d (比例 / 速率 = fps)\n", asInt(h.dwRate));
  out.printf(en ? "Start: %d\n" : "起始帧号：%d\n", asInt(h.dwStart));
  writeLength(out, h, en);
  out.printf(en ? "Suggested buffer: %d bytes\n" : "建议缓冲：%d bytes\n", asInt(h.dwSuggestedBufferSize));
  out.printf(en ? "Quality: %u\n" : "数据质量：%u\n", unsigned(h.dwQuality));
  out.printf(en ? "Sample size: %d\n" : "采样尺寸：%d\n", asInt(h.dwSampleSize));
  if (h.fccType == kTypeAuds) writeAudioFormat(out, s.format, en);
  if (h.fccType == kTypeVids) writeVideoFormat(out, s.format, h.fccHandler, en);
  out.write("\n");
}

}  // namespace

int writeAviInfo(const std::string& path, TextFile& out, bool en) {
  InputFile file;
  if (!file.open(path)) return 0;
  const AviReader reader(&file);
  if (!reader.result().ok()) return 0;
  writeMainHeader(out, reader.mainHeader(), en);
  // Files of several parts: what a reader of only the first part would miss.
  if (reader.riffParts() > 1 || reader.hasDmlh()) {
    out.printf(
        en ? "OpenDML: %u RIFF parts, dmlh total frames %u\n" : "OpenDML ：%u 个RIFF段，dmlh总帧数 %u\n",
        unsigned(reader.riffParts()), unsigned(reader.odmlTotalFrames()));
  }
  out.write(en ? "\nStream properties\n\n" : "\n流属性\n\n");
  for (const auto& s : reader.streams()) writeStream(out, *s, en);
  return 1;
}

}  // namespace mv
