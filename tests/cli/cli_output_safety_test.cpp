// Every command that writes: a link at the output never leads the write onto a media file, an
// output is always one whole file, and a folder that takes no new file fails cleanly.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "fixtures/avi_builder.h"
#include "fixtures/byte_writer.h"
#include "fixtures/unprivileged.h"

namespace fs = std::filesystem;

namespace {

namespace avi = mvtest::avi;

std::string quote(const std::string& s) { return "'" + s + "'"; }

struct CliRun {
  int status = 0;
  std::string err;
};

CliRun cli(const std::string& args, const std::string& prefix = "") {
  CliRun r;
  r.err = mvtest::runCommand(
      prefix + "env LANGUAGE= LC_ALL= LC_MESSAGES= LANG=C " + MORV_CLI_PATH + " " + args + " 2>&1 >/dev/null",
      &r.status);
  return r;
}

std::string bytesOf(const std::string& path) {
  const auto b = mvtest::readFile(path);
  return std::string(b.begin(), b.end());
}

std::vector<std::string> entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class CliOutputSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    mvtest::writeFile(media, avi::simpleVideo(25 * 12, 300).build());
    mvtest::writeFile(other, avi::simpleVideo(25 * 8, 200).build());
    mediaBytes = bytesOf(media);
    otherBytes = bytesOf(other);
  }
  mvtest::TempDir dir;
  std::string media = dir.file("victim.avi"), other = dir.file("other.avi");
  std::string mediaBytes, otherBytes;
};

TEST_F(CliOutputSafety, LinksAtTheOutputNeverChangeAMediaFile) {
  struct Command {
    const char* name;
    const char* args;  // before -o
    const char* suffix;
  };
  const Command commands[] = {{"report", "report", ".txt"}, {"xls", "xls", ".xls"}, {"info", "info", ".txt"}};
  for (const Command& c : commands) {
    for (const bool symbolic : {true, false}) {
      const std::string what = std::string(c.name) + (symbolic ? " symbolic" : " hard");
      const std::string link = dir.file(std::string("link") + c.suffix);
      // A link to the input itself: refused before anything is written.
      fs::remove(link);
      symbolic ? fs::create_symlink(media, link) : fs::create_hard_link(media, link);
      CliRun r = cli(std::string(c.args) + " " + quote(media) + " -o " + quote(link));
      EXPECT_EQ(r.status, 1) << what;
      EXPECT_EQ(r.err, "morvatelline-cli: " + link + ": 是输入的媒体文件之一，不会被覆盖\n") << what;
      EXPECT_EQ(bytesOf(media), mediaBytes) << what;
      EXPECT_EQ(symbolic, fs::is_symlink(link)) << what;

      // A link to a file that is not an input is replaced by the output; its file stays.
      fs::remove(link);
      symbolic ? fs::create_symlink(other, link) : fs::create_hard_link(other, link);
      r = cli(std::string(c.args) + " " + quote(media) + " -o " + quote(link));
      EXPECT_EQ(r.status, 0) << what << ": " << r.err;
      EXPECT_FALSE(fs::is_symlink(link)) << what;
      EXPECT_NE(bytesOf(link), otherBytes) << what;
      EXPECT_EQ(bytesOf(other), otherBytes) << what;
    }
  }
  // The batch check's result file, as a link to a file it checks.
  fs::create_directory(dir.file("rm"));
  const std::string rm = dir.file("rm/clip.rm");
  mvtest::writeFile(rm, mvtest::Bytes(64, 'r'));
  fs::create_symlink(rm, dir.file("result.txt"));
  const CliRun r = cli("check " + quote(dir.file("rm")) + " -o " + quote(dir.file("result.txt")));
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(bytesOf(rm), std::string(64, 'r'));
}

TEST_F(CliOutputSafety, TwoWritersAtOnceLeaveOneWholeReport) {
  // Reports longer than any write buffer, so that interleaved writes would show.
  const std::string a = dir.file("a.avi"), b = dir.file("b.avi");
  mvtest::writeFile(a, avi::simpleVideo(6000, 100, 1000000).build());
  mvtest::writeFile(b, avi::simpleVideo(6000, 200, 1000000).build());
  ASSERT_EQ(cli("report " + quote(a) + " -o " + quote(dir.file("a.txt"))).status, 0);
  ASSERT_EQ(cli("report " + quote(b) + " -o " + quote(dir.file("b.txt"))).status, 0);
  const std::string reportA = bytesOf(dir.file("a.txt")), reportB = bytesOf(dir.file("b.txt"));
  ASSERT_GT(reportA.size(), 128u * 1024);
  const std::string out = quote(dir.file("out.txt"));
  const std::string one = std::string(MORV_CLI_PATH) + " report ";
  for (int round = 0; round < 24; ++round) {
    int status = 0;
    mvtest::runCommand("(" + one + quote(a) + " -o " + out + " >/dev/null & " + one + quote(b) + " -o " +
                           out + " >/dev/null & wait %1 && wait %2)",
                       &status);
    ASSERT_EQ(status, 0) << round;
    const std::string got = bytesOf(dir.file("out.txt"));
    ASSERT_TRUE(got == reportA || got == reportB) << "round " << round << ": " << got.size() << " bytes";
  }
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"a.avi", "a.txt", "b.avi", "b.txt", "other.avi",
                                                           "out.txt", "victim.avi"}));
}

TEST_F(CliOutputSafety, FolderThatTakesNoNewFileFailsAndLeavesTheOldFile) {
  const fs::path locked = dir.path() / "locked";
  fs::create_directory(locked);
  const std::string old = (locked / "report.txt").string();
  mvtest::writeFile(old, mvtest::Bytes{'o', 'l', 'd'});
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(old.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
  for (const char* command : {"report", "xls", "info"}) {
    const std::string target = std::string(command) == "xls" ? (locked / "report.xls").string() : old;
    if (target != old) {
      ASSERT_EQ(::chmod(locked.c_str(), 0755), 0);
      mvtest::writeFile(target, mvtest::Bytes{'o', 'l', 'd'});
      ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
      ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    }
    const CliRun r =
        cli(std::string(command) + " " + quote(media) + " -o " + quote(target), mvtest::unprivilegedPrefix());
    EXPECT_EQ(r.status, 1) << command << ": " << r.err;
    EXPECT_EQ(r.err, "morvatelline-cli: " + target + ": 没有权限\n") << command;
    EXPECT_EQ(bytesOf(target), "old") << command;
  }
  EXPECT_EQ(entries(locked), (std::vector<std::string>{"report.txt", "report.xls"}));
  ASSERT_EQ(::chmod(locked.c_str(), 0755), 0);
}

}  // namespace
