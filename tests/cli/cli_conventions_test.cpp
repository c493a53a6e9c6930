// What scripts and users of a Linux command line expect: --version, the exit codes, and for every
// file that does not load or output that is not written one line naming it and the cause.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "analysis/file_slot.h"
#include "fixtures/avi_builder.h"
#include "fixtures/byte_writer.h"
#include "fixtures/message_recorder.h"
#include "fixtures/unprivileged.h"

namespace fs = std::filesystem;

namespace {

namespace avi = mvtest::avi;

std::string quote(const std::string& s) { return "'" + s + "'"; }

// The language comes from the environment only; each run sets all of it.
constexpr const char* kChinese = "env LANGUAGE= LC_ALL= LC_MESSAGES= LANG=C ";
constexpr const char* kEnglish = "env LANGUAGE= LC_ALL= LC_MESSAGES= LANG=en_US.UTF-8 ";

struct CliRun {
  int status = -1;
  std::string out, err;
};

CliRun cli(const mvtest::TempDir& dir, const std::string& args, const std::string& env = kChinese,
           const std::string& prefix = "") {
  CliRun r;
  const std::string errPath = dir.file("stderr");
  r.out = mvtest::runCommand(
      prefix + env + MORV_CLI_PATH + " " + args + " 2>" + quote(errPath) + " </dev/null", &r.status);
  const mvtest::Bytes err = mvtest::readFile(errPath);
  r.err.assign(err.begin(), err.end());
  return r;
}

std::string line(const std::string& what, const std::string& cause) {
  return "morvatelline-cli: " + what + ": " + cause + "\n";
}

TEST(CliConventions, VersionAndExitCodesInTheHelp) {
  mvtest::TempDir dir;
  const CliRun v = cli(dir, "--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out, "morvatelline-cli 1.01\n");
  const CliRun help = cli(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Exit codes: 0 done; 1 a file did not load or an output was not written; 2 usage"),
            std::string::npos)
      << help.out;
  EXPECT_EQ(cli(dir, "--no-such-option").status, 2);
}

class CliLoadFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);  // reachable for the unprivileged run
    mvtest::writeFile(good, avi::simpleVideo(25 * 12, 300).build());
  }
  mvtest::TempDir dir;
  mvtest::MessageRecorder recorder;
  std::string good = dir.file("good.avi");
};

TEST_F(CliLoadFailure, EachCauseNamesThePathInEitherLanguage) {
  fs::create_directory(dir.file("folder.avi"));
  mvtest::writeFile(dir.file("text.avi"), mvtest::Bytes(64, 'x'));
  mvtest::writeFile(dir.file("text.rmvb"), mvtest::Bytes(64, 'x'));
  mvtest::writeFile(dir.file("clip.ogv"), mvtest::Bytes(64, 'x'));
  fs::copy_file(good, dir.file("locked.avi"));
  ASSERT_EQ(::chmod(dir.file("locked.avi").c_str(), 0), 0);
  mvtest::Bytes cut = mvtest::readFile(good);
  cut.resize(100);  // inside the header list
  mvtest::writeFile(dir.file("damaged.avi"), cut);
  mv::FileSlot slot;
  const mv::LoadResult damaged = slot.open(dir.file("damaged.avi"));
  ASSERT_EQ(damaged.failure, mv::LoadFailure::Damaged);
  const std::string at = std::to_string(damaged.position);

  struct Case {
    const char* name;
    std::string chinese, english;
  };
  const Case cases[] = {
      {"none.avi", "文件不存在", "not found"},
      {"folder.avi", "是一个文件夹，不是文件", "is a folder, not a file"},
      {"locked.avi", "没有权限读取", "permission denied"},
      {"text.avi", "不是有效的 AVI 文件", "not an AVI file"},
      {"text.rmvb", "不是有效的 RealMedia 文件", "not a RealMedia file"},
      {"clip.ogv", "不是支持的媒体文件（AVI、RealMedia、MP4、Matroska、FLV、MPEG-TS、MPEG-PS、ASF、ES）",
       "not a supported media file (AVI, RealMedia, MP4, Matroska, FLV, MPEG-TS, MPEG-PS, ASF, ES)"},
      {"damaged.avi", "文件在第 " + at + " 字节处损坏", "damaged at byte " + at},
  };
  // Root reads any file: the unreadable one is read by "nobody" then.
  const std::string prefix = mvtest::unprivilegedPrefix();
  for (const Case& c : cases) {
    const std::string path = dir.file(c.name);
    for (const bool english : {false, true}) {
      const CliRun r = cli(dir, "info " + quote(path), english ? kEnglish : kChinese, prefix);
      EXPECT_EQ(r.status, 1) << c.name;
      EXPECT_EQ(r.out, "") << c.name;
      EXPECT_EQ(r.err, line(path, english ? c.english : c.chinese)) << c.name;
    }
  }
  // series keeps its JSON on stdout and tells the cause on stderr as well.
  const CliRun series = cli(dir, "series " + quote(dir.file("none.avi")));
  EXPECT_EQ(series.status, 1);
  EXPECT_EQ(nlohmann::json::parse(series.out)["reason"], "could-not-read");
  EXPECT_EQ(series.err, line(dir.file("none.avi"), "文件不存在"));
}

TEST_F(CliLoadFailure, TheFirstLanguageSettingThatIsSetDecides) {
  struct Case {
    const char* env;
    bool english;
  };
  const Case cases[] = {
      {"env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG ", false},
      {"env LANGUAGE=en_GB:zh_CN LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 ", true},
      {"env LANGUAGE=zh_CN:en LC_ALL= LANG=en_US.UTF-8 ", false},
      {"env LANGUAGE= LC_ALL=en_US.UTF-8 LC_MESSAGES=zh_CN.UTF-8 LANG= ", true},
      {"env LANGUAGE= LC_ALL= LC_MESSAGES=C LANG=en_US.UTF-8 ", false},
      {"env LANGUAGE= LC_ALL= LC_MESSAGES= LANG=en ", true},
  };
  const std::string path = dir.file("none.avi");
  for (const Case& c : cases)
    EXPECT_EQ(cli(dir, "info " + quote(path), c.env).err, line(path, c.english ? "not found" : "文件不存在"))
        << c.env;
}

TEST_F(CliLoadFailure, AFileThatEndsEarlyLoadsWithANotice) {
  mvtest::Bytes bytes = mvtest::readFile(good);
  bytes.resize(bytes.size() - 40);  // inside idx1: read from what movi holds
  mvtest::writeFile(dir.file("cut.avi"), bytes);
  const CliRun r = cli(dir, "series " + quote(dir.file("cut.avi")), kEnglish);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, line(dir.file("cut.avi"), "note: the file ends early; what it holds was read"));
}

TEST_F(CliLoadFailure, WriteFailuresNameTheOutputAndTheCause) {
  fs::create_directory(dir.file("folder"));
  struct Case {
    const char* command;
    std::string target;
    std::string cause;  // English
  };
  const std::string device = "not a regular file (a device, pipe or socket); it cannot be an output";
  const Case cases[] = {
      {"report", "/dev/full", device},
      {"xls", "/dev/full", device},
      {"info", "/dev/full", device},
      {"check", "/dev/full", device},
      {"check --json", "/dev/full", device},
      {"report", dir.file("missing/r.txt"), "its folder does not exist"},
      {"xls", dir.file("missing/r.xls"), "its folder does not exist"},
      {"xls", dir.file("folder"), "is a folder"},
      {"info", dir.file("folder"), "is a folder"},
      {"report", good, "is one of the input media files; it is not overwritten"},
      {"xls", good, "is one of the input media files; it is not overwritten"},
  };
  const std::string goodBytes = [&] {
    const auto b = mvtest::readFile(good);
    return std::string(b.begin(), b.end());
  }();
  for (const Case& c : cases) {
    const bool check = std::string(c.command).starts_with("check");
    const std::string input = check ? dir.file("folder") : good;
    const CliRun r =
        cli(dir, std::string(c.command) + " " + quote(input) + " -o " + quote(c.target), kEnglish);
    EXPECT_EQ(r.status, 1) << c.command << " " << c.target;
    EXPECT_NE(r.err.find(line(c.target, c.cause)), std::string::npos) << c.command << ": " << r.err;
  }
  EXPECT_FALSE(fs::exists("/dev/full.txt"));
  EXPECT_FALSE(fs::exists("/dev/full.xls"));
  EXPECT_EQ(fs::status("/dev/full").type(), fs::file_type::character);
  const auto now = mvtest::readFile(good);
  EXPECT_EQ(std::string(now.begin(), now.end()), goodBytes);

  // Standard output that takes nothing.
  for (const char* command : {"report", "xls", "info"}) {
    const CliRun r = cli(dir, std::string(command) + " " + quote(good) + " -o - >/dev/full", kEnglish);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_EQ(r.err, line("standard output", "no space left on device")) << command;
  }
  const CliRun r = cli(dir, "series " + quote(good) + " >/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, line("标准输出", "磁盘空间不足"));
}

}  // namespace
