#include "rm/rm_info.h"

#include <algorithm>
#include <span>
#include <string>
#include <string_view>

#include "media/time_format.h"
#include "media/unit_summary.h"
#include "platform/byte_order.h"
#include "platform/input_file.h"
#include "platform/utf8.h"
#include "rm/rm_reader.h"

namespace mv {
namespace {

constexpr const char* kFileInfoMime = "logical-fileinfo";

int asInt(uint32_t v) { return static_cast<int32_t>(v); }

void writeBitRate(TextFile& out, uint32_t b) {
  if (b != 0) {
    out.printf("%d bits/sec = %.2f %s\n", asInt(b), double(b) / 1024.0, kRateUnit);
  } else {
    out.write("0 bits/sec\n");
  }
}

void writeMilliseconds(TextFile& out, const char* label, uint32_t ms) {
  out.write(label);
  out.printf("%d ms (", asInt(ms));
  out.write(formatMilliseconds(ms));
  out.write(")\n");
}

// A text from the file (content texts, stream name, MIME type). The format does not say how
// they are encoded: files of the desktop era carry the system code page, which the report uses
// too, while current muxers pass UTF-8 through. Text that is valid UTF-8 made of characters the
// code page has is converted; anything else is written as it stands (short GBK texts can be
// valid UTF-8 too, but then mostly of characters GBK lacks). A zero byte ends a text, as it ends
// a C string.
void writeFileText(TextFile& out, std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (isUtf8(text)) {
    const std::string converted = utf8ToGbk(text);
    if (std::count(converted.begin(), converted.end(), '?') == std::count(text.begin(), text.end(), '?')) {
      out.write(text);
      return;
    }
  }
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string_view::npos; start = nl + 1) {
    out.writeBytes(text.data() + start, nl - start);
    out.write("\n");
  }
  out.writeBytes(text.data() + start, text.size() - start);
}

void writeContent(TextFile& out, const RmContent& c, bool en) {
  out.write(en ? "Content description\n" : "内容描述\n");
  out.write(en ? "Title: " : "标题：");
  writeFileText(out, c.title);
  out.write(en ? "\nAuthor: " : "\n作者：");
  writeFileText(out, c.author);
  out.write(en ? "\nCopyright: " : "\n版权：");
  writeFileText(out, c.copyright);
  out.write(en ? "\nComment: " : "\n注释：");
  writeFileText(out, c.comment);
  out.write("\n");
}

void writeProperties(TextFile& out, const RmProperties& p, bool en) {
  out.write(en ? "\nFile properties\n" : "\n文件属性\n");
  out.write(en ? "Maximum rate: " : "最大码率：");
  writeBitRate(out, p.maxBitRate);
  out.write(en ? "Average rate: " : "平均码率：");
  writeBitRate(out, p.avgBitRate);
  out.printf(en ? "Largest packet: %d bytes\n" : "最大包长：%d bytes\n", asInt(p.maxPacketSize));
  out.printf(en ? "Average packet: %d bytes\n" : "平均包长：%d bytes\n", asInt(p.avgPacketSize));
  out.printf(en ? "Packets: %d\n" : "包总数　：%d\n", asInt(p.numPackets));
  writeMilliseconds(out, en ? "Play time: " : "播放时间：", p.duration);
  writeMilliseconds(out, en ? "Preroll: " : "预读缓冲：", p.preroll);
  out.printf(en ? "Streams: %d\n" : "流　　数：%d\n", int(p.numStreams));
  out.write(en ? "Flags:\n" : "标志：\n");
  if (en) {
    out.write((p.flags & 1) ? "Save allowed: yes\n" : "Save allowed: no\n");
    out.write((p.flags & 2) ? "Perfect play: yes\n" : "Perfect play: no\n");
    out.write((p.flags & 4) ? "Live broadcast: yes\n" : "Live broadcast: no\n");
    return;
  }
  out.write((p.flags & 1) ? "允许下载：是\n" : "允许下载：否\n");
  out.write((p.flags & 2) ? "附加缓冲：有\n" : "附加缓冲：无\n");
  out.write((p.flags & 4) ? "活动广播：有\n" : "活动广播：无\n");
}

// The fields the reader decodes from a RealVideo block, read here from the block itself: the
// reader decodes only on reaching a DATA chunk, and a file without one still has its headers to
// show. A block too short for them shows nothing.
void writeRealVideo(TextFile& out, std::span<const uint8_t> block, bool en) {
  constexpr size_t kDecodedSize = 26;
  if (block.size() < kDecodedSize) return;
  const uint32_t codec = readU32be(block.data() + 8);  // "RV40": the third and fourth characters
  const int major = int((codec >> 8) & 0xFF) - '0';
  const int minor = int(codec & 0xFF) - '0';
  static const char* const kGenerations[] = {" (G2)", " (RealVideo 8)", " (RealVideo 9)", " (RealVideo 10)"};
  const char* generation = major >= 2 && major <= 5 ? kGenerations[major - 2] : "";
  out.printf(en ? "Video version: %d.%d%s\n" : "视频版本：%d.%d%s\n", major, minor, generation);
  const int fps = int(readU32be(block.data() + 22) >> 16);  // 16.16 fixed point
  out.printf(en ? "Video size: %d x %d @ %d fps\n" : "视频尺寸：%d x %d @ %d fps\n",
             int(readU16be(block.data() + 12)), int(readU16be(block.data() + 14)), fps);
}

// Properties of a logical stream block without physical streams and rules. Each property is read
// inside both the block and its own declared size; the first one that does not fit ends the list
// (after finishing the line it started), so neither a lying size nor a huge count can read outside
// the block or stand still.
void writeFileInfo(TextFile& out, std::span<const uint8_t> block) {
  if (block.size() < 12) return;
  const uint32_t count = readU32be(block.data() + 8);
  size_t start = 12;
  for (uint32_t n = 0; n < count && start < block.size(); ++n) {
    const uint32_t size = fieldU32be(block, start);
    const size_t end = start + std::min<uint64_t>(size, block.size() - start);
    const std::span<const uint8_t> prop = block.subspan(start, end - start);
    constexpr size_t kNameAt = 7;
    if (prop.size() < kNameAt) return;
    // Bytes 5-6: with property version 0 the high byte is the version's low byte, 0.
    const size_t nameLength = readU16be(prop.data() + 5);
    const size_t nameShown = std::min(nameLength, prop.size() - kNameAt);
    out.writeBytes(prop.data() + kNameAt, nameShown);
    if (nameShown < nameLength) {
      out.write("\n");
      return;
    }
    out.write(" : ");
    const size_t lengthAt = kNameAt + nameLength + 4;  // after the 32-bit type, which is not used
    const size_t valueAt = lengthAt + 2;
    if (prop.size() < valueAt) {
      out.write("\n");
      return;
    }
    const size_t valueLength = readU16be(prop.data() + lengthAt);
    const size_t valueShown = std::min(valueLength, prop.size() - valueAt);
    const uint8_t* value = prop.data() + valueAt;
    // Short values with a leading zero byte are numbers; anything else is text.
    const auto isNumber = [&] { return valueLength == 0 || (valueLength <= 4 && value[0] == 0); };
    if (valueShown < valueLength) {
      // Cut short: the text bytes that are there; a number cannot be formed.
      if (valueShown > 0 && !isNumber()) out.writeBytes(value, valueShown);
      out.write("\n");
      return;
    }
    if (isNumber()) {
      uint32_t number = 0;  // big-endian; a single byte is always 0
      if (valueLength >= 2) {
        for (size_t i = 0; i < valueLength; ++i) number = (number << 8) | value[i];
      }
      out.printf("%d", asInt(number));
    } else {
      out.writeBytes(value, value[valueLength - 1] == 0 ? valueLength - 1 : valueLength);
    }
    out.write("\n");
    start += size;  // at least 7: a smaller property ended the list above
  }
}

void writeRealAudio(TextFile& out, std::span<const uint8_t> block, bool en) {
  out.write(en ? "Audio codec: " : "音频编码：");
  if (block.size() > 8) out.writeBytes(block.data() + 8, std::min<size_t>(4, block.size() - 8));
  out.write("\n");
  if (block.size() < 18) return;
  // Offsets of the 16-bit sample rate, sample size and channel count by header version.
  const uint16_t version = readU16be(block.data() + 16);
  if (version != 4 && version != 5) return;
  const size_t rateAt = version == 4 ? 48 : 54, sizeAt = version == 4 ? 52 : 58,
               channelsAt = version == 4 ? 54 : 60;
  if (block.size() < rateAt + 2) return;
  out.printf(en ? "Sample rate: %d\n" : "采样频率：%d\n", int(readU16be(block.data() + rateAt)));
  if (block.size() < sizeAt + 2) return;
  out.printf(en ? "Bits per sample: %d\n" : "采样位数：%d\n", int(readU16be(block.data() + sizeAt)));
  if (block.size() < channelsAt + 2) return;
  out.printf(en ? "Channels: %d\n" : "声道数　：%d\n", int(readU16be(block.data() + channelsAt)));
}

void writeStream(TextFile& out, const RmStream& s, bool en) {
  out.printf(en ? "Stream number: %d\n" : "流序号　：%d\n", int(s.streamNumber));
  out.write(en ? "Maximum rate: " : "最大码率：");
  writeBitRate(out, s.maxBitRate);
  out.write(en ? "Average rate: " : "平均码率：");
  writeBitRate(out, s.avgBitRate);
  out.printf(en ? "Largest packet: %d bytes\n" : "最大包长：%d bytes\n", asInt(s.maxPacketSize));
  out.printf(en ? "Average packet: %d bytes\n" : "平均包长：%d bytes\n", asInt(s.avgPacketSize));
  writeMilliseconds(out, en ? "Start time: " : "起始时间：", s.startTime);
  writeMilliseconds(out, en ? "Preroll: " : "预读缓冲：", s.preroll);
  writeMilliseconds(out, en ? "Play time: " : "播放时间：", s.duration);
  out.write(en ? "Stream name: " : "流名称　：");
  writeFileText(out, s.streamName);
  out.write(en ? "\nMIME type: " : "\nMIME类型：");
  writeFileText(out, s.mimeType);
  out.write("\n");
  if (s.mimeType == kRealVideoMime) {
    writeRealVideo(out, s.typeSpecificData, en);
  } else if (s.mimeType == kFileInfoMime) {
    writeFileInfo(out, s.typeSpecificData);
  } else if (s.mimeType == kRealAudioMime) {
    writeRealAudio(out, s.typeSpecificData, en);
  }
  out.write("\n");
}

}  // namespace

int writeRealMediaInfo(const std::string& path, TextFile& out, bool en) {
  InputFile file;
  if (!file.open(path)) return 0;
  const RmReader reader(&file);
  if (!reader.result().ok()) return 0;
  writeContent(out, reader.content(), en);
  writeProperties(out, reader.properties(), en);
  out.write(en ? "\nStream properties\n\n" : "\n流属性\n\n");
  for (const RmStream& s : reader.streams()) writeStream(out, s, en);
  return 1;
}

}  // namespace mv
