// `morvatelline-cli check`: result file, progress and messages on stderr, exit codes, Ctrl+C.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fixtures/byte_writer.h"
#include "fixtures/rm_builder.h"
#include "search/batch_check.h"

namespace fs = std::filesystem;
extern char** environ;

namespace {

using mvtest::RmBuilder;
using mvtest::RmPacket;

// `seconds` seconds of video, one packet in the middle of each second except those in `zero`.
void writeRm(const fs::path& path, uint32_t seconds, const std::set<uint32_t>& zero = {}) {
  RmBuilder b;
  b.fileHeader(0, 3).properties({.duration = seconds * 1000, .numStreams = 1});
  b.mediaProperties({.streamNumber = 0,
                     .mime = "video/x-pn-realvideo",
                     .typeSpecific = mvtest::realVideoBlock("RV40", 320, 240, 25u << 16)});
  std::vector<RmPacket> packets;
  for (uint32_t s = 0; s < seconds; ++s)
    if (!zero.count(s)) packets.push_back({.stream = 0, .timestamp = s * 1000 + 500, .length = 100});
  fs::create_directories(path.parent_path());
  b.data(packets).write(path);
}

struct CliRun {
  int status = -1;
  std::string out;
  std::vector<std::string> errLines;
};

std::string text(const fs::path& p) {
  const mvtest::Bytes b = mvtest::readFile(p);
  return std::string(b.begin(), b.end());
}

std::string quote(const std::string& s) { return "'" + s + "'"; }

CliRun cli(const mvtest::TempDir& dir, const std::string& args) {
  CliRun r;
  const std::string errPath = dir.file("stderr.txt");
  r.out = mvtest::runCommand(std::string(MORV_CLI_PATH) + " " + args + " 2>" + quote(errPath) + " </dev/null",
                             &r.status);
  std::istringstream err(text(errPath));
  for (std::string line; std::getline(err, line);) r.errLines.push_back(line);
  return r;
}

TEST(CliCheck, ProblemFilesGiveExitThreeAndTheResultFile) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  writeRm(src / "a.rm", 80, {4, 5, 6, 70});
  writeRm(src / "sub" / "b.rmvb", 6);
  const std::string result = dir.file("out.txt");

  const CliRun r = cli(dir, "check " + quote(src.string()) + " -o " + quote(result));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(text(result), (src / "a.rm").string() + "\r\n00:00:05 -- 00:00:07\r\n00:01:11\r\n\r\n");
  // The file the GUI would open is printed on stdout.
  EXPECT_EQ(r.out, result + "\n");
  // Progress "checked/total path", files of a folder before its subfolders; no message.
  EXPECT_EQ(r.errLines, (std::vector<std::string>{"1/2 " + (src / "a.rm").string(),
                                                  "2/2 " + (src / "sub/b.rmvb").string()}));
}

TEST(CliCheck, CleanTreeAndEmptyTreeExitZeroWithTheirMessage) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  fs::create_directories(src);
  const std::string result = dir.file("out.txt");
  CliRun r = cli(dir, "check " + quote(src.string()) + " -o " + quote(result));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.errLines, std::vector<std::string>{mv::msg::kBatchNoRmFiles});
  EXPECT_EQ(text(result), "");

  writeRm(src / "a.rm", 6);
  r = cli(dir, "check " + quote(src.string() + "/") + " -o " + quote(result));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.errLines,
            (std::vector<std::string>{"1/1 " + (src / "a.rm").string(), mv::msg::kBatchNoProblems}));
  EXPECT_EQ(r.out, "");
}

TEST(CliCheck, UnreadableFileIsOneLineAndTheRunGoesOn) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  fs::create_directories(src);
  mvtest::writeFile(src / "a.rm", mvtest::Bytes(40, 'x'));
  const std::string result = dir.file("out.txt");
  CliRun r = cli(dir, "check " + quote(src.string()) + " -o " + quote(result));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.errLines, (std::vector<std::string>{"1/1 " + (src / "a.rm").string(), "抱歉，文件读取失败。",
                                                  mv::msg::kBatchNoProblems}));
}

TEST(CliCheck, ResultNameGetsTxtAndErrorsAreReported) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  writeRm(src / "a.rm", 5, {2});
  // A name without ".txt" gets it, as the dialog's file chooser gives it: a media file named by
  // mistake is not truncated.
  const CliRun r = cli(dir, "check " + quote(src.string()) + " -o " + quote((src / "a.rm").string()));
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(fs::exists(src / "a.rm.txt"));
  EXPECT_GT(fs::file_size(src / "a.rm"), 100u);

  CliRun bad = cli(dir, "check " + quote(src.string()) + " -o " + quote(dir.file("none/out.txt")));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.errLines, std::vector<std::string>{mv::msg::kBatchResultCreateFailed});

  EXPECT_EQ(cli(dir, "check " + quote(dir.file("missing")) + " -o " + quote(dir.file("r.txt"))).status, 2);
  EXPECT_EQ(cli(dir, "check").status, 2);
}

TEST(CliCheck, DefaultResultFileLiesBesideTheExecutable) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  writeRm(src / "a.rm", 5, {2});
  const fs::path expected = fs::path(MORV_CLI_PATH).string() + "_chk.txt";
  const CliRun r = cli(dir, "check " + quote(src.string()));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, expected.string() + "\n");
  EXPECT_EQ(text(expected), (src / "a.rm").string() + "\r\n00:00:03\r\n\r\n");
  fs::remove(expected);
}

TEST(CliCheck, CtrlCStopsBetweenFilesAndKeepsTheBlocksWritten) {
  mvtest::TempDir dir;
  // Enough long progress lines to fill a pipe: the run cannot end before the signal arrives.
  const fs::path src = dir.path() / std::string(150, 'p');
  constexpr int kFiles = 800;
  for (int i = 0; i < kFiles; ++i) writeRm(src / ("f" + std::to_string(i) + ".rm"), 5, {2});
  const std::string result = dir.file("out.txt");

  int err[2];
  ASSERT_EQ(pipe(err), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  posix_spawn_file_actions_addclose(&actions, err[1]);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const std::string srcArg = src.string();
  std::vector<char*> argv{const_cast<char*>(MORV_CLI_PATH),  const_cast<char*>("check"),
                          const_cast<char*>(srcArg.c_str()), const_cast<char*>("-o"),
                          const_cast<char*>(result.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, MORV_CLI_PATH, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(err[1]);

  std::string errText;
  char buf[4096];
  // Wait for the first progress line, then interrupt.
  while (errText.find('\n') == std::string::npos) {
    const ssize_t n = read(err[0], buf, sizeof buf);
    ASSERT_GT(n, 0);
    errText.append(buf, size_t(n));
  }
  ASSERT_EQ(kill(pid, SIGINT), 0);
  for (ssize_t n; (n = read(err[0], buf, sizeof buf)) > 0;) errText.append(buf, size_t(n));
  close(err[0]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "the signal is handled, not fatal";
  EXPECT_EQ(WEXITSTATUS(status), 3);

  std::vector<std::string> lines;
  std::istringstream in(errText);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), mv::msg::kBatchStopped);
  const size_t checked = lines.size() - 1;
  EXPECT_LT(checked, size_t(kFiles));
  EXPECT_EQ(lines[checked - 1].rfind(std::to_string(checked) + "/" + std::to_string(kFiles) + " ", 0), 0u);
  // One whole block (path, run, empty line) for every file checked before the stop.
  const std::string written = text(result);
  size_t lineEnds = 0;
  for (size_t at = 0; (at = written.find("\r\n", at)) != std::string::npos; at += 2) ++lineEnds;
  EXPECT_EQ(lineEnds, 3 * checked);
}

}  // namespace
