// The AVI information text: every row as the user reads it (GBK, CR LF, raw four-byte codes),
// the play time of a video stream, and format blocks too short for their fields.
#include "avi/avi_info.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "fixtures/avi_builder.h"
#include "fixtures/byte_writer.h"
#include "fixtures/text_capture.h"
#include "platform/text_file.h"

namespace {

using mvtest::Bytes;
namespace avi = mvtest::avi;

// Report text as it lies in the file: GBK, every line end CR LF.
std::string gbk(std::string_view utf8) {
  std::string out;
  for (char c : mv::utf8ToGbk(utf8)) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

avi::Stream videoStream(const std::string& handler = "divx") {
  avi::Stream s;
  s.header.fccType = "vids";
  s.header.fccHandler = handler;
  s.header.scale = 1;
  s.header.rate = 25;
  s.header.length = 250;
  s.header.suggestedBufferSize = 12345;
  s.format = avi::bitmapInfo(320, 240, "XVID", 24, 230400);
  return s;
}

avi::Stream audioStream() {
  avi::Stream s;
  s.header.fccType = "auds";
  s.header.scale = 1;
  s.header.rate = 16000;
  s.header.length = 160000;
  s.header.sampleSize = 1;
  s.format = avi::waveFormat(0x0055, 2, 44100, 16000, 1, 0);
  return s;
}

class AviInfo : public ::testing::Test {
 protected:
  // The report of `file`; `result` receives what writeAviInfo returned.
  std::string report(const Bytes& file, int* result = nullptr) {
    return mvtest::reportOf(dir, file, ".avi", mv::writeAviInfo, result);
  }
  std::string report(const avi::File& file) {
    int result = 0;
    std::string text = report(file.build(), &result);
    EXPECT_EQ(result, 1);
    return text;
  }
  // What follows the sample size row of a file's only stream: its format rows and the blank line.
  std::string formatRows(const avi::Stream& stream) {
    avi::File f;
    f.streams.push_back(stream);
    const std::string text = report(f);
    const std::string after = gbk("采样尺寸：") + std::to_string(stream.header.sampleSize) + "\r\n";
    const size_t at = text.find(after);
    EXPECT_NE(at, std::string::npos);
    return at == std::string::npos ? text : text.substr(at + after.size());
  }
  mvtest::TempDir dir;
};

TEST_F(AviInfo, WholeReportOfVideoAndAudioFile) {
  avi::File f;
  f.main.microSecPerFrame = 40000;
  f.main.maxBytesPerSec = 1000000;
  f.main.flags = 0x10 | 0x100 | 0x20000;
  f.main.totalFrames = 250;
  f.main.suggestedBufferSize = 65536;
  f.main.width = 320;
  f.main.height = 240;
  f.streams = {videoStream(), audioStream()};
  const std::string text = report(f);

  // The heading in GBK bytes, written out so that a wrong code page cannot pass unnoticed;
  // A1 A1 is the ideographic space of the labels.
  EXPECT_EQ(text.substr(0, 20), std::string("\xCE\xC4\xBC\xFE\xCA\xF4\xD0\xD4\r\n"
                                            "\xD6\xA1\xBC\xE4\xB8\xF4\xA1\xA1\xA3\xBA"));
  EXPECT_EQ(text, gbk("文件属性\n"
                      "帧间隔　：40000 us\n"
                      "最大码率：1000000 bytes/sec = 7812 kbps (1024 bits/second)\n"
                      "总帧数　：250\n"
                      "初始帧数：0\n"
                      "流　　数：2\n"
                      "建议缓冲：65536 bytes\n"
                      "画面宽度：320\n"
                      "画面高度：240\n"
                      "标志：\n"
                      "带索引段　　：是\n"
                      "必须使用索引：否\n"
                      "交叉存取　　：是\n"
                      "用CKType查找关键帧：否\n"
                      "用于视频捕捉：否\n"
                      "带有版权保护：是\n"
                      "\n流属性\n\n"
                      "流类型　：vids\n"
                      "解码器　：divx\n"
                      "初始帧数：0\n"
                      "比例　　：1\n"
                      "速率　　：25 (比例 / 速率 = fps)\n"
                      "起始帧号：0\n"
                      "长度　　：250 frames = 00:00:10.000\n"
                      "建议缓冲：12345 bytes\n"
                      "数据质量：4294967295\n"
                      "采样尺寸：0\n"
                      "宽度　　：320\n"
                      "高度　　：240\n"
                      "色彩位数：24\n"
                      "压缩编码：XVID = XVID Mpeg-4\n"
                      "数据长度：230400 bytes\n"
                      "\n"
                      "流类型　：auds\n"
                      "解码器　：0x0\n"
                      "初始帧数：0\n"
                      "比例　　：1\n"
                      "速率　　：16000 (比例 / 速率 = fps)\n"
                      "起始帧号：0\n"
                      "长度　　：160000 frames\n"
                      "建议缓冲：0 bytes\n"
                      "数据质量：4294967295\n"
                      "采样尺寸：1\n"
                      "格式　　：0x55 = Mpeg-1 audio Layer 3 (MP3)\n"
                      "声道　　：2\n"
                      "采样率　：44100\n"
                      "平均码率：16000 bytes/sec = 125 kbps (1024 bits/second)\n"
                      "数据块长：1 bytes\n"
                      "采样位数：0\n"
                      "\n"));
}

TEST_F(AviInfo, EachFlagHasItsOwnRow) {
  const std::pair<uint32_t, const char*> flags[] = {
      {0x10, "带索引段　　："},        {0x20, "必须使用索引："},    {0x100, "交叉存取　　："},
      {0x800, "用CKType查找关键帧："}, {0x10000, "用于视频捕捉："}, {0x20000, "带有版权保护："}};
  for (const auto& [bit, label] : flags) {
    avi::File f;
    f.main.flags = bit;
    f.streams = {videoStream()};
    const std::string text = report(f);
    for (const auto& [other, otherLabel] : flags) {
      EXPECT_NE(text.find(gbk(std::string(otherLabel) + (other == bit ? "是\n" : "否\n"))), std::string::npos)
          << std::hex << "flags 0x" << bit << ", row of 0x" << other;
    }
  }
}

TEST_F(AviInfo, RatesAreShiftedAsUnsigned) {
  avi::File f;
  f.main.maxBytesPerSec = 0xFFFFFFFF;
  avi::Stream a = audioStream();
  a.format = avi::waveFormat(0x0001, 1, 8000, 0x80000000, 2, 16);
  f.streams = {a};
  const std::string text = report(f);
  EXPECT_NE(text.find(gbk("最大码率：-1 bytes/sec = 33554431 kbps (1024 bits/second)\n")), std::string::npos);
  EXPECT_NE(text.find(gbk("平均码率：-2147483648 bytes/sec = 16777216 kbps (1024 bits/second)\n")),
            std::string::npos);
  EXPECT_NE(text.find(gbk("格式　　：0x1 = MS PCM\n")), std::string::npos);
}

TEST_F(AviInfo, FilesOfSeveralPartsNameTheirPartsAndDmlhCount) {
  int result = 0;
  const std::string text = report(avi::OdmlFile{.partFrames = {30, 40}, .dmlhFrames = 30}.build(), &result);
  EXPECT_EQ(result, 1);
  const std::string row = gbk("带有版权保护：否\nOpenDML ：2 个RIFF段，dmlh总帧数 30\n\n流属性");
  EXPECT_NE(text.find(row), std::string::npos);
  EXPECT_EQ(report(avi::simpleVideo(25, 10)).find("OpenDML"), std::string::npos);
}

TEST_F(AviInfo, PlayTimeOfVideoStream) {
  struct Case {
    uint32_t length, scale, rate;
    const char* row;
  };
  const Case cases[] = {
      {250, 1, 25, "250 frames = 00:00:10.000\n"},
      {1, 1001, 30000, "1 frames = 00:00:00.033\n"},
      {135000, 40000, 1000000, "135000 frames = 01:30:00.000\n"},
      {3723, 1, 1, "3723 frames = 01:02:03.000\n"},
      // The milliseconds are rounded on their own and may reach 1000.
      {19999, 1, 10000, "19999 frames = 00:00:01.1000\n"},
      // Without a rate there is no play time to show.
      {5, 1, 0, "5 frames\n"},
      {0, 0, 0, "0 frames\n"},
  };
  for (const Case& c : cases) {
    avi::Stream v = videoStream();
    v.header.length = c.length;
    v.header.scale = c.scale;
    v.header.rate = c.rate;
    avi::File f;
    f.streams = {v};
    EXPECT_NE(report(f).find(gbk(std::string("长度　　：") + c.row)), std::string::npos) << c.row;
  }
  // The largest header values stay finite and print without overflow.
  avi::Stream v = videoStream();
  v.header.length = 0xFFFFFFFF;
  v.header.scale = 0xFFFFFFFF;
  v.header.rate = 1;
  avi::File f;
  f.streams = {v};
  EXPECT_NE(report(f).find(gbk("长度　　：-1 frames = 5124095573644338:03:44.000\n")), std::string::npos);
}

TEST_F(AviInfo, HandlerIsWrittenRawOnlyWhenEveryByteIsPrintable) {
  const std::pair<std::string, std::string> cases[] = {
      {"divx", "divx"},
      {std::string(4, '\0'), "0x0"},
      {" }}A", " }}A"},        // 32 and 125 are the edges
      {"ab~c", "0x637e6261"},  // 126 is outside
      {"ab\x1f"
       "c",
       "0x631f6261"},
      {"ab\x80"
       "c",
       "0x63806261"},  // bytes of 128 and above are outside, not negative
  };
  for (const auto& [handler, shown] : cases) {
    avi::File f;
    f.streams = {videoStream(handler)};
    EXPECT_NE(report(f).find(gbk("解码器　：") + shown + "\r\n"), std::string::npos) << shown;
  }
}

TEST_F(AviInfo, FourByteCodesAreWrittenAsTheyStand) {
  // A type that is neither video nor audio, made of bytes that a text conversion would change:
  // a line feed stays one byte and a GBK lead byte is not turned into "?".
  avi::Stream odd;
  odd.header.fccType = "x\ny\xA1";
  odd.format = avi::waveFormat(0x0055, 2, 44100, 16000, 1, 0);
  avi::Stream v = videoStream();
  v.format = avi::bitmapInfo(320, 240, "M\nJ\xFF");
  avi::File f;
  f.streams = {odd, v};
  const std::string text = report(f);
  EXPECT_NE(text.find(gbk("流类型　：") + "x\ny\xA1\r\n" + gbk("解码器　：0x0\n")), std::string::npos);
  EXPECT_NE(text.find(gbk("压缩编码：") + "M\nJ\xFF\r\n"), std::string::npos);
  // The odd stream gets its header rows only, although it carries a wave format.
  EXPECT_EQ(text.find(gbk("格式　　：")), std::string::npos);
  EXPECT_NE(text.find(gbk("采样尺寸：0\n\n流类型　：vids\n")), std::string::npos);
}

TEST_F(AviInfo, CodecNamesFollowTheCompressionCode) {
  const std::pair<const char*, const char*> cases[] = {
      {"MRLE", "MRLE = Microsoft RLE\n"},
      {"xvid", "xvid\n"},
      {"FMP4", "FMP4\n"},
  };
  for (const auto& [code, row] : cases) {
    avi::Stream v = videoStream("XVID");
    v.format = avi::bitmapInfo(320, 240, code);
    avi::File f;
    f.streams = {v};
    EXPECT_NE(report(f).find(gbk(std::string("压缩编码：") + row)), std::string::npos) << code;
  }
  avi::Stream a = audioStream();
  a.format = avi::waveFormat(0x0003, 2, 44100, 352800, 8, 32);
  avi::File f;
  f.streams = {a};
  EXPECT_NE(report(f).find(gbk("格式　　：0x3\n")), std::string::npos);
}

TEST_F(AviInfo, ShortAudioFormatPrintsTheFieldsItHolds) {
  const Bytes full = avi::waveFormat(0x0001, 2, 44100, 176400, 4, 16);
  const char* rows[] = {
      "格式　　：0x1 = MS PCM\n", "声道　　：2\n",
      "采样率　：44100\n",        "平均码率：176400 bytes/sec = 1378 kbps (1024 bits/second)\n",
      "数据块长：4 bytes\n",      "采样位数：16\n"};
  const size_t rowEnds[] = {2, 4, 8, 12, 14, 16};
  for (size_t size = 0; size <= full.size(); ++size) {
    avi::Stream a = audioStream();
    a.format = Bytes(full.begin(), full.begin() + long(size));
    std::string expected;
    for (size_t i = 0; i < 6; ++i)
      if (size >= rowEnds[i]) expected += rows[i];
    EXPECT_EQ(formatRows(a), gbk(expected + "\n")) << size << " bytes";
  }
}

TEST_F(AviInfo, ShortVideoFormatPrintsTheFieldsItHolds) {
  const Bytes full = avi::bitmapInfo(640, 480, "XVID", 24, 921600);
  const char* rows[] = {"宽度　　：640\n", "高度　　：480\n", "色彩位数：24\n",
                        "压缩编码：XVID = XVID Mpeg-4\n", "数据长度：921600 bytes\n"};
  const size_t rowEnds[] = {8, 12, 16, 20, 24};
  for (size_t size = 0; size <= full.size(); ++size) {
    avi::Stream v = videoStream();
    v.header.length = 0;
    v.format = Bytes(full.begin(), full.begin() + long(size));
    std::string expected;
    for (size_t i = 0; i < 5; ++i)
      if (size >= rowEnds[i]) expected += rows[i];
    EXPECT_EQ(formatRows(v), gbk(expected + "\n")) << size << " bytes";
  }
}

TEST_F(AviInfo, FileThatDoesNotParseWritesNothing) {
  int result = -1;
  // Missing file.
  {
    mv::TextFile text;
    ASSERT_TRUE(text.open(dir.file("missing.txt")));
    EXPECT_EQ(mv::writeAviInfo(dir.file("no-such.avi"), text), 0);
    EXPECT_TRUE(text.close());
    EXPECT_TRUE(mvtest::readFile(dir.file("missing.txt")).empty());
  }
  // A RIFF file of another form.
  EXPECT_EQ(report(avi::riff("WAVE", {avi::chunk("fmt ", Bytes(16, 0))}), &result), "");
  EXPECT_EQ(result, 0);
  // An AVI file cut inside its hdrl list.
  avi::File f = avi::simpleVideo(50, 100);
  Bytes cut = f.build();
  cut.resize(100);
  result = -1;
  EXPECT_EQ(report(cut, &result), "");
  EXPECT_EQ(result, 0);
}

// Files written by ffmpeg, made at test time.
class AviInfoFromFfmpeg : public AviInfo {
 protected:
  void SetUp() override {
    if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  }
  std::string muxed(const std::string& name, const std::string& args) {
    const std::string path = dir.file(name);
    int status = 0;
    mvtest::runCommand(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi "
        "-i sine=frequency=440:sample_rate=44100 -t 1 " +
            args + " '" + path + "' 2>&1",
        &status);
    EXPECT_EQ(status, 0) << args;
    mv::TextFile text;
    EXPECT_TRUE(text.open(dir.file("info.txt")));
    EXPECT_EQ(mv::writeAviInfo(path, text), 1);
    EXPECT_TRUE(text.close());
    const Bytes bytes = mvtest::readFile(dir.file("info.txt"));
    return std::string(bytes.begin(), bytes.end());
  }
};

TEST_F(AviInfoFromFfmpeg, Mpeg4WithPcm) {
  const std::string text = muxed("pcm.avi", "-c:v mpeg4 -vtag XVID -q:v 10 -c:a pcm_s16le -ac 1");
  for (const char* row :
       {"帧间隔　：40000 us\n", "流　　数：2\n", "画面宽度：160\n", "画面高度：120\n",
        "流类型　：vids\n解码器　：XVID\n", "宽度　　：160\n", "高度　　：120\n",
        "压缩编码：XVID = XVID Mpeg-4\n", "流类型　：auds\n", "格式　　：0x1 = MS PCM\n", "声道　　：1\n",
        "采样率　：44100\n", "平均码率：88200 bytes/sec = 689 kbps (1024 bits/second)\n",
        "数据块长：2 bytes\n", "采样位数：16\n"}) {
    EXPECT_NE(text.find(gbk(row)), std::string::npos) << row;
  }
}

TEST_F(AviInfoFromFfmpeg, Mpeg4WithMp3) {
  const std::string text = muxed("mp3.avi", "-c:v mpeg4 -q:v 10 -c:a libmp3lame -b:a 128k");
  for (const char* row :
       {"压缩编码：FMP4\n", "格式　　：0x55 = Mpeg-1 audio Layer 3 (MP3)\n", "声道　　：1\n",
        "采样率　：44100\n", "平均码率：16000 bytes/sec = 125 kbps (1024 bits/second)\n"}) {
    EXPECT_NE(text.find(gbk(row)), std::string::npos) << row;
  }
  // Every line ends in CR LF.
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    ASSERT_GT(at, 0u);
    EXPECT_EQ(text[at - 1], '\r') << at;
  }
}

}  // namespace
