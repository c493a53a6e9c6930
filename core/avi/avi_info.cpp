#include "avi/avi_info.h"

#include <cinttypes>
#include <cmath>
#include <span>

#include "avi/avi_reader.h"
#include "media/codec_names.h"
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

void writeYesNo(TextFile& out, const char* label, uint32_t flags, uint32_t bit) {
  out.write(label);
  out.write((flags & bit) ? "是\n" : "否\n");
}

void writeMainHeader(TextFile& out, const AviMainHeader& h) {
  out.write("文件属性\n");
  out.printf("帧间隔　：%d us\n", asInt(h.dwMicroSecPerFrame));
  out.printf("最大码率：%d bytes/sec = %d kbps\n", asInt(h.dwMaxBytesPerSec), asInt(h.dwMaxBytesPerSec >> 7));
  out.printf("总帧数　：%d\n", asInt(h.dwTotalFrames));
  out.printf("初始帧数：%d\n", asInt(h.dwInitialFrames));
  out.printf("流　　数：%d\n", asInt(h.dwStreams));
  out.printf("建议缓冲：%d bytes\n", asInt(h.dwSuggestedBufferSize));
  out.printf("画面宽度：%d\n", asInt(h.dwWidth));
  out.printf("画面高度：%d\n", asInt(h.dwHeight));
  out.write("标志：\n");
  writeYesNo(out, "带索引段　　：", h.dwFlags, 0x10);         // AVIF_HASINDEX
  writeYesNo(out, "必须使用索引：", h.dwFlags, 0x20);         // AVIF_MUSTUSEINDEX
  writeYesNo(out, "交叉存取　　：", h.dwFlags, 0x100);        // AVIF_ISINTERLEAVED
  writeYesNo(out, "用CKType查找关键帧：", h.dwFlags, 0x800);  // AVIF_TRUSTCKTYPE
  writeYesNo(out, "用于视频捕捉：", h.dwFlags, 0x10000);      // AVIF_WASCAPTUREFILE
  writeYesNo(out, "带有版权保护：", h.dwFlags, 0x20000);      // AVIF_COPYRIGHTED
}

void writeLength(TextFile& out, const AviStreamHeader& h) {
  out.printf("长度　　：%d frames", asInt(h.dwLength));
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
void writeAudioFormat(TextFile& out, std::span<const uint8_t> f) {
  if (f.size() < 2) return;
  const uint16_t tag = fieldU16le(f, 0);
  out.printf("格式　　：0x%x", unsigned(tag));
  if (const std::string name = audioFormatName(tag); !name.empty()) {
    out.write(" = ");
    out.write(name);
  }
  out.write("\n");
  if (f.size() < 4) return;
  out.printf("声道　　：%d\n", int(fieldU16le(f, 2)));
  if (f.size() < 8) return;
  out.printf("采样率　：%d\n", asInt(fieldU32le(f, 4)));
  if (f.size() < 12) return;
  const uint32_t avg = fieldU32le(f, 8);
  out.printf("平均码率：%d bytes/sec = %d kbps\n", asInt(avg), asInt(avg >> 7));
  if (f.size() < 14) return;
  out.printf("数据块长：%d bytes\n", int(fieldU16le(f, 12)));
  if (f.size() < 16) return;
  out.printf("采样位数：%d\n", int(fieldU16le(f, 14)));
}

void writeVideoFormat(TextFile& out, std::span<const uint8_t> f, uint32_t handler) {
  if (f.size() < 8) return;
  out.printf("宽度　　：%d\n", asInt(fieldU32le(f, 4)));
  if (f.size() < 12) return;
  out.printf("高度　　：%d\n", asInt(fieldU32le(f, 8)));
  if (f.size() < 16) return;
  out.printf("色彩位数：%d\n", int(fieldU16le(f, 14)));
  if (f.size() < 20) return;
  const uint32_t compression = fieldU32le(f, 16);
  out.write("压缩编码：");
  writeCode(out, compression);
  if (const std::string name = videoCodecName(compression, handler); !name.empty()) {
    out.write(" = ");
    out.write(name);
  }
  out.write("\n");
  if (f.size() < 24) return;
  out.printf("数据长度：%d bytes\n", asInt(fieldU32le(f, 20)));
}

bool printable(uint32_t fourcc) {
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = uint8_t(fourcc >> (8 * i));
    if (c < 32 || c > 125) return false;
  }
  return true;
}

void writeStream(TextFile& out, const AviStream& s) {
  const AviStreamHeader& h = s.header;
  out.write("流类型　：");
  writeCode(out, h.fccType);
  out.write("\n");
  out.write("解码器　：");
  if (printable(h.fccHandler)) {
    writeCode(out, h.fccHandler);
  } else {
    out.printf("0x%x", unsigned(h.fccHandler));
  }
  out.write("\n");
  out.printf("初始帧数：%d\n", asInt(h.dwInitialFrames));
  out.printf("比例　　：%d\n", asInt(h.dwScale));
  out.printf("速率　　：%d (比例 / 速率 = fps)\n", asInt(h.dwRate));
  out.printf("起始帧号：%d\n", asInt(h.dwStart));
  writeLength(out, h);
  out.printf("建议缓冲：%d bytes\n", asInt(h.dwSuggestedBufferSize));
  out.printf("数据质量：%u\n", unsigned(h.dwQuality));
  out.printf("采样尺寸：%d\n", asInt(h.dwSampleSize));
  if (h.fccType == kTypeAuds) writeAudioFormat(out, s.format);
  if (h.fccType == kTypeVids) writeVideoFormat(out, s.format, h.fccHandler);
  out.write("\n");
}

}  // namespace

int writeAviInfo(const std::string& path, TextFile& out) {
  InputFile file;
  if (!file.open(path)) return 0;
  const AviReader reader(&file);
  if (!reader.result().ok()) return 0;
  writeMainHeader(out, reader.mainHeader());
  // Files of several parts: what a reader of only the first part would miss.
  if (reader.riffParts() > 1 || reader.hasDmlh()) {
    out.printf("OpenDML ：%u 个RIFF段，dmlh总帧数 %u\n", unsigned(reader.riffParts()),
               unsigned(reader.odmlTotalFrames()));
  }
  out.write("\n流属性\n\n");
  for (const auto& s : reader.streams()) writeStream(out, *s);
  return 1;
}

}  // namespace mv
