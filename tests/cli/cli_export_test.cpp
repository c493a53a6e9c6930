// report, xls and info write the very bytes the window's exports write for the same input.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/file_slot.h"
#include "fixtures/avi_builder.h"
#include "fixtures/byte_writer.h"
#include "fixtures/message_recorder.h"
#include "platform/text_file.h"
#include "report/info_text.h"
#include "report/spreadsheet.h"
#include "report/text_report.h"

namespace {

namespace avi = mvtest::avi;

int cli(const std::string& args) {
  int status = 0;
  mvtest::runCommand(std::string(MORV_CLI_PATH) + " " + args + " >/dev/null 2>&1", &status);
  return status;
}

std::string bytesOf(const std::string& path) {
  const auto b = mvtest::readFile(path);
  return std::string(b.begin(), b.end());
}

class CliExport : public ::testing::Test {
 protected:
  void SetUp() override {
    auto f = avi::simpleVideo(0, 0);
    f.main.totalFrames = 12 * 25;
    for (int s = 0; s < 12; ++s)
      for (int k = 0; k < 25; ++k) f.add(0, "dc", uint32_t(500 * (s + 1) + k));
    mvtest::writeFile(a, f.build());
    mvtest::writeFile(b, avi::simpleVideo(25 * 20, 777).build());
    ASSERT_TRUE(first.open(a).ok());
    ASSERT_TRUE(second.open(b).ok());
  }
  mvtest::TempDir dir;
  mvtest::MessageRecorder recorder;
  std::string a = dir.file("a.avi"), b = dir.file("b.avi");
  mv::FileSlot first, second;
};

TEST_F(CliExport, ReportMatchesTheCoreExportForEveryOptionSet) {
  const char* flags[] = {"--no-file-info", "--no-header", "--no-statistics",
                         "--no-video",     "--no-audio",  "--no-total"};
  for (int mask : {0, 1, 2, 4, 8, 16, 32, 63, 0b101010}) {
    mv::ReportOptions o;
    bool* fields[] = {&o.fileInfo, &o.header, &o.statistics, &o.video, &o.audio, &o.total};
    std::string args;
    for (int i = 0; i < 6; ++i) {
      if (mask & (1 << i)) {
        *fields[i] = false;
        args += std::string(" ") + flags[i];
      }
    }
    ASSERT_EQ(mv::TextReport(first, second, o).Export(dir.file("core.txt")), 1);
    ASSERT_EQ(cli("report '" + a + "' '" + b + "' -o '" + dir.file("cli") + "'" + args), 0);
    EXPECT_EQ(bytesOf(dir.file("cli")), bytesOf(dir.file("core.txt"))) << args;
  }
}

TEST_F(CliExport, XlsMatchesTheCoreExport) {
  ASSERT_EQ(mv::SpreadsheetExport(first, second, {.audio = false}).Export(dir.file("core.xls")), 1);
  ASSERT_EQ(cli("xls '" + a + "' '" + b + "' --no-audio -o '" + dir.file("cli.XLS") + "'"), 0);
  EXPECT_EQ(bytesOf(dir.file("cli.XLS")), bytesOf(dir.file("core.xls")));
}

TEST_F(CliExport, OutputIsExactlyTheNamedFileOrStandardOutput) {
  struct Case {
    std::string args;  // before -o
    std::string core;  // the window's export of the same
  };
  mv::TextFile info;
  ASSERT_TRUE(info.open(dir.file("core-info.txt")));
  mv::writeInformation(info, first);
  ASSERT_TRUE(info.close());
  ASSERT_EQ(mv::TextReport(first, second, {}).Export(dir.file("core.txt")), 1);
  ASSERT_EQ(mv::SpreadsheetExport(first, second, {}).Export(dir.file("core.xls")), 1);
  const Case cases[] = {{"report '" + a + "' '" + b + "'", bytesOf(dir.file("core.txt"))},
                        {"xls '" + a + "' '" + b + "'", bytesOf(dir.file("core.xls"))},
                        {"info '" + a + "'", bytesOf(dir.file("core-info.txt"))}};
  for (const Case& c : cases) {
    // No suffix is added or changed; the written path is printed.
    for (const char* name : {"out", "out.txt.bak", "out.xls.txt"}) {
      const std::string target = dir.file(name);
      int status = 0;
      const std::string printed = mvtest::runCommand(
          std::string(MORV_CLI_PATH) + " " + c.args + " -o '" + target + "' 2>/dev/null", &status);
      EXPECT_EQ(status, 0) << c.args << " " << name;
      EXPECT_EQ(printed, target + "\n") << c.args;
      EXPECT_EQ(bytesOf(target), c.core) << c.args << " " << name;
      std::filesystem::remove(target);
    }
    int status = 0;
    const std::string out =
        mvtest::runCommand(std::string(MORV_CLI_PATH) + " " + c.args + " -o - 2>/dev/null", &status);
    EXPECT_EQ(status, 0) << c.args;
    EXPECT_EQ(out, c.core) << c.args;
    EXPECT_FALSE(std::filesystem::exists("-")) << c.args;
  }
}

TEST_F(CliExport, InfoGoesToAFileOrStandardOutput) {
  mv::TextFile out;
  ASSERT_TRUE(out.open(dir.file("core.txt")));
  mv::writeInformation(out, first);
  ASSERT_TRUE(out.close());
  ASSERT_EQ(cli("info '" + a + "' -o '" + dir.file("info") + "'"), 0);
  EXPECT_EQ(bytesOf(dir.file("info")), bytesOf(dir.file("core.txt")));
  int status = 0;
  const std::string printed = mvtest::runCommand(std::string(MORV_CLI_PATH) + " info '" + a + "'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(printed, bytesOf(dir.file("core.txt")));
  // On a terminal (without its LF to CR LF) the text shows in UTF-8 when the locale is UTF-8.
  if (!mvtest::haveProgram("script")) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
  const std::string utf8 = [&] {
    std::string text = mv::gbkToUtf8(bytesOf(dir.file("core.txt"))), lf;
    for (char c : text)
      if (c != '\r') lf += c;
    return lf;
  }();
  for (const auto& [locale, expected] : {std::pair{"C.UTF-8", utf8}, {"C", bytesOf(dir.file("core.txt"))}}) {
    const std::string shown =
        mvtest::runCommand("script -qec \"stty -onlcr; env LC_ALL=" + std::string(locale) + " " +
                               MORV_CLI_PATH + " info '" + a + "'\" /dev/null </dev/null",
                           &status);
    EXPECT_EQ(status, 0) << locale;
    EXPECT_EQ(shown, expected) << locale;
  }
}

TEST_F(CliExport, FailuresExitOneWithoutWriting) {
  EXPECT_EQ(cli("report '" + dir.file("none.avi") + "' -o '" + dir.file("r") + "'"), 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("r")));
  EXPECT_EQ(cli("xls '" + a + "' -o '" + dir.file("missing/x") + "'"), 1);
  EXPECT_EQ(cli("info '" + dir.file("x.ogv") + "'"), 1);
  EXPECT_EQ(cli("report '" + a + "'"), 2);  // no -o
  EXPECT_EQ(cli("report a.avi b.avi c.avi -o r"), 2);
}

}  // namespace
