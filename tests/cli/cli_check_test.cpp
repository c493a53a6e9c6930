// `morvatelline-cli check`: result file, progress and messages on stderr, exit codes, Ctrl+C.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/containers.h"
#include "analysis/file_slot.h"
#include "fixtures/byte_writer.h"
#include "fixtures/interrupted_run.h"
#include "fixtures/rm_builder.h"
#include "fixtures/unprivileged.h"
#include "platform/text_file.h"
#include "search/batch_check.h"

namespace fs = std::filesystem;

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

CliRun cli(const mvtest::TempDir& dir, const std::string& args, const std::string& prefix = "") {
  CliRun r;
  const std::string errPath = dir.file("stderr.txt");
  // Chinese causes, whatever the environment of the tests asks for.
  r.out = mvtest::runCommand(prefix + "env LANGUAGE= LC_ALL= LC_MESSAGES= LANG=C " + MORV_CLI_PATH + " " +
                                 args + " 2>" + quote(errPath) + " </dev/null",
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
  const std::vector<std::string> expected{
      "1/1 " + (src / "a.rm").string(),
      "morvatelline-cli: " + (src / "a.rm").string() + ": 不是有效的 RealMedia 文件",
      mv::msg::kBatchNoProblems};
  EXPECT_EQ(r.errLines, expected);
  // The result names it with the cause, as standard output does.
  const std::string block =
      (src / "a.rm").string() + "\r\n" + mv::utf8ToGbk("无法读取：不是有效的 RealMedia 文件") + "\r\n\r\n";
  EXPECT_EQ(text(result), block);
  r = cli(dir, "check " + quote(src.string()) + " -o -");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.errLines, expected);
  EXPECT_EQ(r.out, block);
}

// Whatever order the folders list them in, the findings come in the order of their paths, and
// the files that did not load are among them.
TEST(CliCheck, FindingsAreInPathOrderWithTheFilesThatDidNotLoad) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  for (const char* name : {"x.rm", "z.rm", "sub/y.rm"}) writeRm(src / name, 5, {2});
  mvtest::writeFile(src / "b_bad.rm", mvtest::Bytes(40, 'x'));
  const std::string run = "00:00:03\r\n\r\n";
  const std::string expected = (src / "b_bad.rm").string() + "\r\n" +
                               mv::utf8ToGbk("无法读取：不是有效的 RealMedia 文件") + "\r\n\r\n" +
                               (src / "sub/y.rm").string() + "\r\n" + run + (src / "x.rm").string() + "\r\n" +
                               run + (src / "z.rm").string() + "\r\n" + run;
  const std::string result = dir.file("out.txt");
  EXPECT_EQ(cli(dir, "check " + quote(src.string()) + " -o " + quote(result)).status, 3);
  EXPECT_EQ(text(result), expected);
  EXPECT_EQ(cli(dir, "check " + quote(src.string()) + " -o -").out, expected);
  const auto j = nlohmann::json::parse(cli(dir, "check --json " + quote(src.string())).out);
  std::vector<std::string> problems;
  for (const auto& p : j["problems"]) problems.push_back(p["path"]);
  EXPECT_EQ(problems, (std::vector<std::string>{(src / "sub/y.rm").string(), (src / "x.rm").string(),
                                                (src / "z.rm").string()}));
  ASSERT_EQ(j["unreadableFiles"].size(), 1u) << j;
  EXPECT_EQ(j["unreadableFiles"][0]["path"], (src / "b_bad.rm").string());
  EXPECT_EQ(j["unreadableFiles"][0]["message"], "不是有效的 RealMedia 文件");
}

// A run killed outright leaves the old result as it was, not an emptied or half-written one.
TEST(CliCheck, KilledRunKeepsTheOldResult) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / std::string(150, 'p');
  for (int i = 0; i < 300; ++i) writeRm(src / ("f" + std::to_string(i) + ".rm"), 5, {2});
  const std::string result = dir.file("out.txt");
  mvtest::writeFile(result, mvtest::Bytes{'o', 'l', 'd'});
  const mvtest::InterruptedRun run =
      mvtest::interruptAfterFirstLine({MORV_CLI_PATH, "check", src.string(), "-o", result}, SIGKILL);
  ASSERT_TRUE(run.ran);
  ASSERT_TRUE(WIFSIGNALED(run.status));
  EXPECT_EQ(text(result), "old");
}

TEST(CliCheck, ResultFileIsExactlyTheNamedOneAndErrorsNameIt) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  writeRm(src / "a.rm", 5, {2});
  CliRun r = cli(dir, "check " + quote(src.string()) + " -o " + quote(dir.file("result")));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(text(dir.file("result")), (src / "a.rm").string() + "\r\n00:00:03\r\n\r\n");

  // A media file of the tree named by mistake is refused, not truncated.
  const std::string media = (src / "a.rm").string();
  const auto before = fs::file_size(media);
  r = cli(dir, "check " + quote(src.string()) + " -o " + quote(media));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errLines,
            std::vector<std::string>{"morvatelline-cli: " + media + ": 是输入的媒体文件之一，不会被覆盖"});
  EXPECT_EQ(fs::file_size(media), before);
  EXPECT_FALSE(fs::exists(media + ".txt"));

  CliRun bad = cli(dir, "check " + quote(src.string()) + " -o " + quote(dir.file("none/out.txt")));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.errLines, std::vector<std::string>{"morvatelline-cli: " + dir.file("none/out.txt") +
                                                   ": 所在的文件夹不存在"});

  EXPECT_EQ(cli(dir, "check " + quote(dir.file("missing")) + " -o " + quote(dir.file("r.txt"))).status, 2);
  EXPECT_EQ(cli(dir, "check").status, 2);
}

TEST(CliCheck, ResultTextOnStandardOutput) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  writeRm(src / "a.rm", 80, {4, 5, 6, 70});
  writeRm(src / "sub" / "b.rm", 6);
  writeRm(src / "sub" / "c.rm", 5, {2});
  const CliRun r = cli(dir, "check " + quote(src.string()) + " -o -");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, (src / "a.rm").string() + "\r\n00:00:05 -- 00:00:07\r\n00:01:11\r\n\r\n" +
                       (src / "sub/c.rm").string() + "\r\n00:00:03\r\n\r\n");
  EXPECT_EQ(r.errLines.size(), 3u);
  EXPECT_FALSE(fs::exists("-"));
}

TEST(CliCheck, JsonListsTheZeroRunsAsTimesAndSeconds) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  writeRm(src / "a.rm", 80, {4, 5, 6, 70});
  writeRm(src / "sub" / "b.rmvb", 6);
  writeRm(src / "sub" / "c.rm", 5, {2});
  const nlohmann::ordered_json expected = nlohmann::ordered_json::parse(R"({"ok":true,"checked":3,"problems":[
      {"path":")" + (src / "a.rm").string() + R"(","zeroRuns":[
        {"start":"00:00:05","end":"00:00:07","startSecond":5,"endSecond":7},
        {"start":"00:01:11","end":"00:01:11","startSecond":71,"endSecond":71}]},
      {"path":")" + (src / "sub/c.rm").string() + R"(","zeroRuns":[
        {"start":"00:00:03","end":"00:00:03","startSecond":3,"endSecond":3}]}]})");

  CliRun r = cli(dir, "check --json " + quote(src.string()));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(nlohmann::ordered_json::parse(r.out), expected);
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);

  r = cli(dir, "check --json " + quote(src.string()) + " -o " + quote(dir.file("found.json")));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, dir.file("found.json") + "\n");
  EXPECT_EQ(nlohmann::ordered_json::parse(text(dir.file("found.json"))), expected);

  fs::remove(src / "a.rm");
  fs::remove(src / "sub" / "c.rm");
  r = cli(dir, "check --json " + quote(src.string()));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "{\"ok\":true,\"checked\":1,\"problems\":[]}\n");
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

TEST(CliCheck, WithoutAWritablePlaceTheResultGoesToStandardOutput) {
  mvtest::TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const fs::path src = dir.path() / "clips";
  writeRm(src / "a.rm", 5, {2});
  // A copy of the program in a folder that takes no files, and a data folder that cannot be made.
  const fs::path bin = dir.path() / "bin", data = dir.path() / "data";
  fs::create_directories(bin);
  fs::create_directories(data);
  fs::copy_file(MORV_CLI_PATH, bin / "morvatelline-cli");
  ASSERT_EQ(::chmod(bin.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(data.c_str(), 0555), 0);
  const std::string run = mvtest::unprivilegedPrefix() + "env XDG_DATA_HOME=" + quote(data.string()) + " " +
                          quote((bin / "morvatelline-cli").string()) + " check " + quote(src.string()) +
                          " 2>/dev/null";
  int status = 0;
  const std::string out = mvtest::runCommand(run, &status);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(out, (src / "a.rm").string() + "\r\n00:00:03\r\n\r\n");
  EXPECT_TRUE(fs::is_empty(data));
  EXPECT_EQ(std::distance(fs::directory_iterator(bin), fs::directory_iterator()), 1);
  ASSERT_EQ(::chmod(bin.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(data.c_str(), 0755), 0);
}

TEST(CliCheck, CtrlCStopsBetweenFilesAndKeepsTheBlocksWritten) {
  mvtest::TempDir dir;
  // Enough long progress lines to fill a pipe: the run cannot end before the signal arrives.
  const fs::path src = dir.path() / std::string(150, 'p');
  constexpr int kFiles = 800;
  for (int i = 0; i < kFiles; ++i) writeRm(src / ("f" + std::to_string(i) + ".rm"), 5, {2});
  const std::string result = dir.file("out.txt");

  const mvtest::InterruptedRun run =
      mvtest::interruptAfterFirstLine({MORV_CLI_PATH, "check", src.string(), "-o", result});
  ASSERT_TRUE(run.ran);
  const int status = run.status;
  const std::string& errText = run.err;
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

namespace {

// `gaps` lists the same runs for one file of any kind; `series --window` adds the peaks.
TEST(CliGaps, RunsOfOneFileAndTheirExitCode) {
  mvtest::TempDir dir;
  writeRm(dir.path() / "a.rm", 80, {4, 5, 6, 70});
  writeRm(dir.path() / "b.rm", 20);
  CliRun r = cli(dir, "gaps " + quote(dir.file("a.rm")));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, mv::zeroRunBlock(dir.file("a.rm"), [&] {
              mv::FileSlot s;
              s.open(dir.file("a.rm"));
              return *s.analysis.videoSeries;
            }()));
  r = cli(dir, "gaps --json " + quote(dir.file("a.rm")));
  EXPECT_EQ(r.status, 3);
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["gaps"].size(), 2u);
  EXPECT_EQ(j["gaps"][0]["startSecond"], 5);
  EXPECT_EQ(j["gaps"][0]["end"], "00:00:07");
  EXPECT_EQ(cli(dir, "gaps " + quote(dir.file("b.rm"))).status, 0);
  EXPECT_EQ(cli(dir, "gaps " + quote(dir.file("missing.rm"))).status, 1);

  r = cli(dir, "series --window 3 " + quote(dir.file("a.rm")));
  ASSERT_EQ(r.status, 0);
  const auto s = nlohmann::json::parse(r.out);
  EXPECT_EQ(s["videoPeak"]["seconds"], 3);
  EXPECT_GT(s["videoPeak"]["rate"].get<double>(), 0.0);
  EXPECT_TRUE(s["audioPeak"].is_object());
  EXPECT_EQ(cli(dir, "series --window 61 " + quote(dir.file("a.rm"))).status, 2);
}

// RealMedia files only by default, as the check always did; every format when asked.
TEST(CliGaps, CheckOfAllFormatsLooksAtOtherFilesToo) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  writeRm(src / "a.rm", 30, {4});
  writeRm(src / "copy.avi", 30, {4});  // RealMedia bytes under another name: read by what they are
  writeRm(src / "b.rm", 30);
  CliRun r = cli(dir, "check --json -o - " + quote(src.string()));
  EXPECT_EQ(nlohmann::json::parse(r.out)["checked"], 2);
  r = cli(dir, "check --all-formats --json -o - " + quote(src.string()));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(nlohmann::json::parse(r.out)["checked"], 3);
  EXPECT_EQ(nlohmann::json::parse(r.out)["problems"].size(), 2u);
}

}  // namespace

namespace {

// Root reads every folder: these runs give it up. The tree lies in a folder anyone may enter
// and write (the result file is made there).
class CliUnreadableFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    writeRm(src / "locked" / "b.rm", 6, {2});
    ASSERT_EQ(::chmod((src / "locked").c_str(), 0), 0);
  }
  void TearDown() override { ::chmod((src / "locked").c_str(), 0755); }
  CliRun run(const std::string& args) { return cli(dir, args, mvtest::unprivilegedPrefix()); }

  mvtest::TempDir dir;
  fs::path src = dir.path() / "clips";
  std::string locked = (src / "locked").string();
  std::string line = "morvatelline-cli: " + locked + ": " + mv::msg::kBatchFolderUnreadable;
};

TEST_F(CliUnreadableFolder, IsNamedEverywhereAndTheRunFails) {
  CliRun r = run("check --json " + quote(src.string()));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, R"({"ok":true,"checked":0,"problems":[],"unreadable":[")" + locked + "\"]}\n");
  EXPECT_EQ(r.errLines, (std::vector<std::string>{line, mv::msg::kBatchNoRmFiles}));

  const std::string block = locked + "\r\n" + mv::utf8ToGbk(mv::msg::kBatchFolderUnreadable) + "\r\n\r\n";
  r = run("check " + quote(src.string()) + " -o -");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, block);
  EXPECT_EQ(r.errLines, (std::vector<std::string>{line, mv::msg::kBatchNoRmFiles}));

  // With findings beside it, the run still fails: the tree was not checked whole.
  writeRm(src / "a.rm", 6, {2});
  const std::string result = dir.file("result.txt");
  r = run("check " + quote(src.string()) + " -o " + quote(result));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(text(result), block + (src / "a.rm").string() + "\r\n00:00:03\r\n\r\n");
  EXPECT_EQ(r.errLines, (std::vector<std::string>{line, "1/1 " + (src / "a.rm").string()}));
}

// A name may hold any byte; what reaches a terminal or a text for reading has them escaped.
TEST(CliNames, ControlBytesOfNamesAreShownEscaped) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  const std::string raw = "x\x1b]0;owned\x07\n.rm", shown = "x\\e]0;owned\\x07\\n.rm";
  writeRm(src / raw, 6, {2});
  const std::string block = (src / shown).string() + "\r\n00:00:03\r\n\r\n";
  const auto noControls = [](const CliRun& r) {
    std::string all = r.out;
    for (const std::string& l : r.errLines) all += l;
    return all.find_first_of("\x1b\x07") == std::string::npos;
  };

  CliRun r = cli(dir, "check " + quote(src.string()) + " -o -");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, block);
  EXPECT_EQ(r.errLines, std::vector<std::string>{"1/1 " + (src / shown).string()});

  const std::string result = dir.file("out\x1b[2J.txt");
  r = cli(dir, "check " + quote(src.string()) + " -o " + quote(result));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(text(result), block);
  EXPECT_EQ(r.out, dir.file("out\\e[2J.txt") + "\n");
  EXPECT_TRUE(noControls(r));

  r = cli(dir, "gaps " + quote((src / raw).string()));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, (src / shown).string() + "\n00:00:03\n\n");
  // JSON escapes them its own way.
  r = cli(dir, "check --json " + quote(src.string()));
  EXPECT_EQ(nlohmann::json::parse(r.out)["problems"][0]["path"], (src / raw).string());

  r = cli(dir, "gaps " + quote(dir.file("\x1b[31mmissing.rm")));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errLines,
            std::vector<std::string>{"morvatelline-cli: " + dir.file("\\e[31mmissing.rm") + ": 文件不存在"});
  EXPECT_TRUE(noControls(r));
}

TEST(CliGaps, FullStandardOutputIsOneFailureLine) {
  mvtest::TempDir dir;
  writeRm(dir.path() / "a.rm", 20, {4});
  for (const char* json : {"", "--json "}) {
    const CliRun r = cli(dir, std::string("gaps ") + json + quote(dir.file("a.rm")) + " >/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.errLines, std::vector<std::string>{"morvatelline-cli: 标准输出: 磁盘空间不足"});
  }
}

TEST(CliHelp, NamesEveryContainerItReads) {
  mvtest::TempDir dir;
  const CliRun r = cli(dir, "--help");
  EXPECT_EQ(r.status, 0);
  for (const mv::Container& c : mv::containers()) {
    EXPECT_NE(r.out.find(std::string(c.name)), std::string::npos) << c.name << "\n" << r.out;
    for (std::string_view suffix : c.suffixes)
      EXPECT_NE(r.out.find(std::string(suffix)), std::string::npos) << suffix;
  }
}

TEST(CliCheck, EveryFormatCleanTreeDoesNotSpeakOfRmFiles) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  fs::create_directories(src);
  for (const char* out : {"-", "result.txt"}) {
    CliRun r = cli(dir, "check --all-formats " + quote(src.string()) + " -o " + quote(dir.file(out)));
    EXPECT_EQ(r.errLines, std::vector<std::string>{mv::msg::kBatchNoMediaFiles});
  }
  writeRm(src / "a.rm", 6);
  for (const char* out : {"-", "result.txt"}) {
    CliRun r = cli(dir, "check --all-formats " + quote(src.string()) + " -o " + quote(dir.file(out)));
    EXPECT_EQ(r.status, 0);
    ASSERT_FALSE(r.errLines.empty());
    EXPECT_EQ(r.errLines.back(), mv::msg::kBatchNoProblemsAnyFormat);
  }
}

// The JSON document is written after the run: a file of the tree named as its output is refused
// before any file is checked, also one the run would not have reached when stopped.
TEST(CliCheck, JsonOutputThatIsAFileOfTheTreeIsRefusedAtOnce) {
  mvtest::TempDir dir;
  const fs::path src = dir.path() / "clips";
  writeRm(src / "a.rm", 6, {2});
  writeRm(src / "sub" / "b.rm", 6);
  const std::string media = (src / "sub" / "b.rm").string();
  const auto before = mvtest::readFile(media);
  const CliRun r = cli(dir, "check --json " + quote(src.string()) + " -o " + quote(media));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errLines,
            std::vector<std::string>{"morvatelline-cli: " + media + ": 是输入的媒体文件之一，不会被覆盖"});
  EXPECT_EQ(mvtest::readFile(media), before);
  EXPECT_EQ(r.out, "");
}

}  // namespace
