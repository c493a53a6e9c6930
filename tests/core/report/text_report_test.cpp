#include "report/text_report.h"

#include <gtest/gtest.h>

#include <clocale>
#include <sstream>

#include "fixtures/byte_writer.h"
#include "fixtures/message_recorder.h"
#include "fixtures/shell_recorder.h"
#include "fixtures/slot_builder.h"
#include "fixtures/text_capture.h"
#include "platform/shell.h"
#include "platform/text_file.h"
#include "report/info_text.h"

namespace {

using mvtest::SlotSpec;

std::vector<uint32_t> seconds(size_t n, uint32_t base) {
  std::vector<uint32_t> v;
  for (size_t i = 0; i < n; ++i) v.push_back(base + uint32_t(i) * 128);
  return v;
}

class TextReportTest : public ::testing::Test {
 protected:
  // Exports and returns the file's raw bytes.
  std::string exportRaw(const mv::ReportOptions& o) {
    const std::string path = dir.file("report.txt");
    EXPECT_EQ(mv::TextReport(first, second, o).Export(path), 1);
    const auto b = mvtest::readFile(path);
    return std::string(b.begin(), b.end());
  }
  // The report as UTF-8 lines without their CR LF.
  std::vector<std::string> exportLines(const mv::ReportOptions& o) {
    const std::string raw = exportRaw(o);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < raw.size()) {
      const size_t end = raw.find("\r\n", start);
      EXPECT_NE(end, std::string::npos) << "last line without CR LF";
      if (end == std::string::npos) break;
      lines.push_back(mv::gbkToUtf8(raw.substr(start, end - start)));
      start = end + 2;
    }
    return lines;
  }

  mvtest::TempDir dir;
  mvtest::MessageRecorder recorder;
  mvtest::ShellRecorder shell;
  std::vector<std::string>& opened = shell.opened;
  mv::FileSlot first, second;
};

TEST_F(TextReportTest, TwoFilesOfTenAndTwentySeconds) {
  mvtest::fillSlot(first, {.path = "/media/片一.avi", .video = seconds(10, 1280), .audio = seconds(10, 64)});
  mvtest::fillSlot(second, {.path = "/media/two.rm", .video = seconds(20, 2560), .audio = {}});
  const std::string raw = exportRaw({});
  EXPECT_NE(raw.substr(0, 3), "\xEF\xBB\xBF");
  // Every line end is CR LF: no LF stands alone and no CR without LF.
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\n') {
      ASSERT_TRUE(i > 0 && raw[i - 1] == '\r') << "at byte " << i;
    }
    if (raw[i] == '\r') {
      ASSERT_TRUE(i + 1 < raw.size() && raw[i + 1] == '\n') << "at byte " << i;
    }
  }
  // GBK, not UTF-8: 文件 is C4 C4 BC FE.
  EXPECT_NE(raw.find("\xCE\xC4\xBC\xFE: /media/"), std::string::npos);

  const auto lines = exportLines({});
  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ(lines[0], "Morvatelline Version 1.01");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], std::string(80, '='));
  EXPECT_EQ(lines[4], "文件: /media/片一.avi");
  EXPECT_EQ(lines[5], "文件长度 = 1000000 byte = 976.56 kb = 0.95 MB");
  EXPECT_EQ(lines[6], "播放时间 = 10 seconds (00:00:10)");
  EXPECT_EQ(lines[7], "总码率 = 文件长度 / 播放时间 = 781.25 kbps (1024 bits/second)");
  EXPECT_EQ(lines[8], "图像尺寸 = 320 x 240 @ 25.000 fps");
  EXPECT_EQ(lines[9], "");
  EXPECT_EQ(lines[10], "视频流码率发布:");
  EXPECT_EQ(lines[11], "码率\t频数\t百分比");

  auto heading = std::find(lines.begin(), lines.end(), "\t\t视频\t音频\t总码率\t视频\t音频\t总码率");
  ASSERT_NE(heading, lines.end());
  EXPECT_EQ(heading[-1], std::string(80, '='));
  EXPECT_EQ(heading[1].substr(0, 12), "最大值  \t");
  EXPECT_EQ(heading[5].substr(0, 13), "变异系数\t");
  // Inner seconds only: 2304 and 1088 bytes for the first file, 4864 for the second.
  EXPECT_EQ(heading[1], "最大值  \t18.00\t8.50\t26.50\t38.00\t0.00\t38.00");
  EXPECT_EQ(heading[6].substr(0, 8), "00:00:01");
  EXPECT_EQ(heading[6], "00:00:01\t10.00\t0.50\t10.50\t20.00\t0.00\t20.00");
  ASSERT_EQ(heading + 26, lines.end());
  EXPECT_EQ(heading[16], "00:00:11\t\t\t\t30.00\t0.00\t30.00");
  EXPECT_EQ(heading[25], "00:00:20\t\t\t\t39.00\t0.00\t39.00");
  EXPECT_EQ(opened, std::vector<std::string>(2, dir.file("report.txt")));
}

TEST_F(TextReportTest, StatisticRowsUseThreeDecimalsOnlyForVariation) {
  mvtest::fillSlot(first, {.video = {100, 128, 256, 384, 100}});
  const auto lines = exportLines({.fileInfo = false, .audio = false, .total = false});
  ASSERT_EQ(lines.size(), 4u + 1 + 5 + 5);
  EXPECT_EQ(lines[4], "\t\t视频");
  EXPECT_EQ(lines[5], "最大值  \t3.00");
  EXPECT_EQ(lines[8], "标准差  \t1.00");
  EXPECT_EQ(lines[9], "变异系数\t0.500");
}

TEST_F(TextReportTest, AllOptionsOffLeavesHeaderAndTimeLabels) {
  mvtest::fillSlot(first, {.video = seconds(3, 0)});
  const auto lines = exportLines({false, false, false, false, false, false});
  EXPECT_EQ(lines, (std::vector<std::string>{"Morvatelline Version 1.01", lines[1], "", std::string(80, '='),
                                             "00:00:01", "00:00:02", "00:00:03"}));
}

TEST_F(TextReportTest, HeadingWithoutItemsIsOneTabAndOnlySecondSlotCounts) {
  mvtest::fillSlot(second, {.video = seconds(2, 0)});
  const auto lines =
      exportLines({.fileInfo = false, .statistics = false, .video = false, .audio = false, .total = false});
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()),
            (std::vector<std::string>{"\t", "00:00:01", "00:00:02"}));
  const auto withVideo =
      exportLines({.fileInfo = false, .statistics = false, .audio = false, .total = false});
  EXPECT_EQ(withVideo[4], "\t\t视频");
  EXPECT_EQ(withVideo[5], "00:00:01\t0.00");
}

TEST_F(TextReportTest, DistributionListsEachBucketWithItsUpperEdge) {
  // Inner seconds 100, 200 and 300 kbit/s: buckets below 200, 300 and 400; the first and last
  // seconds (100 and 0 kbit/s) fall into the lowest; shares of all five seconds.
  mvtest::fillSlot(first, {.video = {12800, 12800, 25600, 38400, 0}});
  const auto lines = exportLines({.header = false, .statistics = false});
  const auto start = std::find(lines.begin(), lines.end(), "码率\t频数\t百分比");
  ASSERT_NE(start, lines.end());
  EXPECT_EQ(std::vector<std::string>(start + 1, start + 5),
            (std::vector<std::string>{"< 200\t3\t60.0%", "< 300\t1\t20.0%", "< 400\t1\t20.0%", ""}));
}

TEST_F(TextReportTest, ShortAndHugeFilesSummarise) {
  mvtest::fillSlot(first, {.video = {}, .fileLength = 5000000000ull, .frameRateMilli = 29970});
  const auto lines = exportLines({.header = false, .statistics = false});
  EXPECT_EQ(lines[5], "文件长度 = 5000000000 byte = 4882812.50 kb = 4768.37 MB");
  EXPECT_EQ(lines[6], "播放时间 = 0 seconds (00:00:00)");
  EXPECT_EQ(lines[7], "总码率 = 文件长度 / 播放时间 = 0.00 kbps (1024 bits/second)");
  EXPECT_EQ(lines[8], "图像尺寸 = 320 x 240 @ 29.970 fps");
  EXPECT_EQ(lines[12], "< 100\t0\t0.0%");
}

TEST_F(TextReportTest, UnwritableTargetsTellTheUserAndOpenNothing) {
  mvtest::fillSlot(first, {.video = seconds(3, 0)});
  EXPECT_EQ(mv::TextReport(first, second, {}).Export(dir.file("no/such/folder/r.txt")), 0);
  EXPECT_EQ(recorder.messages,
            std::vector<std::string>{"抱歉，文件写入失败。请检查是否有其它程序正在使用该文件。"});
  // A full disk shows up only when the buffered text is written out.
  EXPECT_EQ(mv::TextReport(first, second, {}).Export("/dev/full"), 0);
  EXPECT_EQ(recorder.messages.size(), 2u);
  EXPECT_TRUE(opened.empty());
}

// A window toolkit adopts the user's locale; the numbers in the file must not follow it.
TEST_F(TextReportTest, NumbersKeepTheDecimalPointInAnyLocale) {
  const char* comma = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name)) {
      comma = name;
      break;
    }
  }
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma installed";
  mvtest::fillSlot(first, {.video = {100, 128, 256, 384, 100}, .frameRateMilli = 29970});
  const std::string raw = exportRaw({});
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_NE(raw.find("@ 29.970 fps"), std::string::npos);
  EXPECT_NE(raw.find("\t3.00\t"), std::string::npos);
  EXPECT_EQ(raw.find("0,"), std::string::npos);
}

TEST(TextFile, ConvertsToGbkAndKeepsRawBytes) {
  mvtest::TempDir dir;
  const std::string path = dir.file("t.txt");
  mv::TextFile out;
  ASSERT_TRUE(out.open(path));
  out.write("中\n");
  out.write("😀é\xFF\n");  // nothing of this is in GBK or even UTF-8
  out.writeBytes("a\nb", 3);
  out.printf("%s=%d\n", "x", 42);
  ASSERT_TRUE(out.close());
  const auto b = mvtest::readFile(path);
  EXPECT_EQ(std::string(b.begin(), b.end()), "\xD6\xD0\r\n?\xA8\xA6?\r\na\nbx=42\r\n");
}

}  // namespace

namespace {

TEST(InformationText, NotesOfTheReaderFollowTheSummary) {
  mvtest::TempDir dir;
  mv::FileSlot slot;
  mvtest::fillSlot(slot, {.video = seconds(4, 1000), .audio = seconds(4, 100)});
  const auto textOf = [&] {
    return mvtest::captureText(dir, [&](mv::TextFile& out) { mv::writeInformation(out, slot); });
  };
  EXPECT_EQ(textOf().find("读取说明"), std::string::npos);
  slot.analysis.notes = {"cut-short", "index-rebuilt"};
  EXPECT_NE(textOf().find(mv::utf8ToGbk("\r\n读取说明：文件不完整\r\n读取说明：索引已由数据重建\r\n\r\n")),
            std::string::npos);
  // Where time stamps jumped: how many times, and the first ten on the closed-up time line.
  slot.analysis.notes = {"timestamps-discontinuous"};
  slot.analysis.jumpCount = 12;
  slot.analysis.jumpSeconds = {4, 61.5};
  EXPECT_NE(textOf().find(mv::utf8ToGbk("时间戳不连续，已按连续播放接续\r\n"
                                        "时间戳跳变：12 处，接续后位于 00:00:04.00、00:01:01.50 等\r\n\r\n")),
            std::string::npos);
}

}  // namespace
