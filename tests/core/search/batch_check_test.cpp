// The batch zero-second check: result blocks, the run's outcomes, stopping, on RealMedia trees.
#include "search/batch_check.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "analysis/failure_causes.h"
#include "fixtures/byte_writer.h"
#include "fixtures/message_recorder.h"
#include "fixtures/rm_builder.h"
#include "fixtures/unprivileged.h"
#include "media/per_second_series.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "platform/text_file.h"

namespace fs = std::filesystem;

namespace {

using mvtest::RmBuilder;
using mvtest::RmPacket;

// A RealMedia file of `seconds` seconds with one video packet in the middle of every second
// except those in `zero`, which therefore carry no video bytes at all.
RmBuilder rmFile(uint32_t seconds, const std::set<uint32_t>& zero = {}, bool video = true) {
  RmBuilder b;
  b.fileHeader(0, 4).properties({.duration = seconds * 1000, .numStreams = 2});
  if (video)
    b.mediaProperties({.streamNumber = 0,
                       .mime = "video/x-pn-realvideo",
                       .typeSpecific = mvtest::realVideoBlock("RV40", 320, 240, 25u << 16)});
  b.mediaProperties({.streamNumber = 1,
                     .mime = "audio/x-pn-realaudio",
                     .typeSpecific = mvtest::realAudioBlock(4, 44100, 16, 2)});
  std::vector<RmPacket> packets;
  for (uint32_t s = 0; s < seconds; ++s) {
    if (video && !zero.count(s)) packets.push_back({.stream = 0, .timestamp = s * 1000 + 500, .length = 600});
    packets.push_back({.stream = 1, .timestamp = s * 1000 + 100, .length = 200});
  }
  return b.data(packets);
}

std::string readText(const fs::path& p) {
  const mvtest::Bytes b = mvtest::readFile(p);
  return std::string(b.begin(), b.end());
}

mv::PerSecondSeries series(const std::vector<uint32_t>& seconds) {
  mv::PerSecondSeries s(uint32_t(seconds.size() + 8));
  for (size_t i = 0; i < seconds.size(); ++i) s[8 + i] = seconds[i];
  return s;
}

TEST(ZeroRunBlock, ExampleRunsAndSingleSeconds) {
  std::vector<uint32_t> v(80, 5000);
  for (uint32_t s : {4, 5, 6, 70}) v[s] = 0;
  EXPECT_EQ(mv::zeroRunBlock("/clips/a.rm", series(v)), "/clips/a.rm\n00:00:05 -- 00:00:07\n00:01:11\n\n");

  // Two runs separated by one second with data give two lines.
  std::vector<uint32_t> w(10, 1);
  w[2] = w[3] = w[5] = 0;
  EXPECT_EQ(mv::zeroRunBlock("p", series(w)), "p\n00:00:03 -- 00:00:04\n00:00:06\n\n");
}

TEST(ZeroRunBlock, ControlBytesOfTheNameAreEscaped) {
  std::vector<uint32_t> v(10, 1);
  v[3] = 0;
  EXPECT_EQ(mv::zeroRunBlock("/clips/\x1b]2;x\x07.rm", series(v)), "/clips/\\e]2;x\\x07.rm\n00:00:04\n\n");
  EXPECT_EQ(mv::unreadableFolderBlock("/clips/\x1b[1m"),
            std::string("/clips/\\e[1m\n") + mv::msg::kBatchFolderUnreadable + "\n\n");
}

TEST(ZeroRuns, NumbersAreTheSecondsTheBlockLabels) {
  std::vector<uint32_t> v(80, 5000);
  for (uint32_t s : {4, 5, 6, 70, 78}) v[s] = 0;
  EXPECT_EQ(mv::zeroRuns(series(v)), (std::vector<mv::ZeroRun>{{5, 7}, {71, 71}, {79, 79}}));
  v[79] = 0;  // the last second is not looked at; the run before it still closes
  EXPECT_EQ(mv::zeroRuns(series(v)), (std::vector<mv::ZeroRun>{{5, 7}, {71, 71}, {79, 79}}));
  EXPECT_EQ(mv::zeroRuns(series({0, 0})), std::vector<mv::ZeroRun>{});
}

TEST(ZeroRunBlock, FirstAndLastSecondsAreNeverReported) {
  std::vector<uint32_t> v(6, 1);
  v.front() = v.back() = 0;
  EXPECT_EQ(mv::zeroRunBlock("p", series(v)), "");
  // A run reaching the second-last second (element N-2) is closed after the scan.
  v[3] = v[4] = 0;
  EXPECT_EQ(mv::zeroRunBlock("p", series(v)), "p\n00:00:04 -- 00:00:05\n\n");
  // Fewer than 11 elements: no inner second at all.
  EXPECT_EQ(mv::zeroRunBlock("p", series({0, 0})), "");
  EXPECT_EQ(mv::zeroRunBlock("p", series({})), "");
  EXPECT_EQ(mv::zeroRunBlock("p", series({1, 0, 1})), "p\n00:00:02\n\n");
}

TEST(ZeroRunBlock, HoursPassTwoDigits) {
  std::vector<uint32_t> v(100 * 3600 + 3, 1);
  v[100 * 3600] = 0;
  EXPECT_EQ(mv::zeroRunBlock("p", series(v)), "p\n100:00:01\n\n");
}

TEST(ZeroRunBlock, ElementCountAboveTheAllocationIsNotFollowed) {
  mv::PerSecondSeries s(12);
  s[0] = 1000;
  EXPECT_EQ(mv::zeroRunBlock("p", s), "p\n00:00:02 -- 00:00:03\n\n");
}

class BatchCheckTest : public ::testing::Test {
 protected:
  BatchCheckTest() {
    fs::create_directory(source);
    previousShell = mv::setShellSink([this](const std::string& p) { opened.push_back(p); });
    callbacks.progress = [this](const std::string& path, int checked, int total) {
      progress.push_back(std::to_string(checked) + "/" + std::to_string(total) + " " + path);
    };
  }
  ~BatchCheckTest() override { mv::setShellSink(previousShell); }

  std::string src(const std::string& rel) const { return (source / rel).string(); }
  void put(const std::string& rel, const RmBuilder& b) {
    fs::create_directories(fs::path(src(rel)).parent_path());
    b.write(src(rel));
  }
  mv::BatchOutcome start() {
    check.SetCallbacks(callbacks);
    return check.OnStart(source.string(), result);
  }
  std::string resultText() const { return readText(result); }

  mvtest::TempDir dir;
  fs::path source = dir.path() / "clips";
  std::string result = dir.file("result_chk.txt");
  mvtest::MessageRecorder recorder;
  mv::ShellSink previousShell;
  std::vector<std::string> opened;
  std::vector<std::string> progress;
  mv::BatchCheck::Callbacks callbacks;
  mv::BatchCheck check;
};

TEST_F(BatchCheckTest, ProblemFilesAreListedWithTheirRunsInGbkAndCrLf) {
  put("a.rm", rmFile(80, {4, 5, 6, 70}));
  put("b.rmvb", rmFile(10));        // clean
  put("c.rm", rmFile(10, {0, 9}));  // zeros only in the first and last second
  EXPECT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  EXPECT_EQ(resultText(), src("a.rm") + "\r\n00:00:05 -- 00:00:07\r\n00:01:11\r\n\r\n");
  EXPECT_EQ(check.totalFiles(), 3);
  EXPECT_EQ(check.checkedFiles(), 3);
  EXPECT_EQ(check.problemFiles(), 1);
  EXPECT_TRUE(recorder.messages.empty());
  EXPECT_EQ(opened, std::vector<std::string>{result});
  EXPECT_FALSE(check.running());
  std::vector<std::string> expected{"1/3 ", "2/3 ", "3/3 "};
  ASSERT_EQ(progress.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(progress[i].rfind(expected[i] + source.string() + "/", 0), 0u);
}

// A file without a video track has no seconds without video; a file cut off has them.
TEST_F(BatchCheckTest, CutOffFileIsReportedAndAFileWithoutVideoIsNot) {
  put("novideo.rm", rmFile(5, {}, false));
  RmBuilder cut = rmFile(20);
  // Keep the headers and the packets of the first eight seconds only.
  const size_t dataStart = cut.lastChunkOffset() + 18;
  cut.truncate(dataStart + 8 * (600 + 200));
  put("sub/cut.rm", cut);
  ASSERT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  EXPECT_EQ(check.problemFiles(), 1);
  // Seconds 0-7 have packets; the packet of second 7 also gives second 7 its bytes.
  EXPECT_EQ(resultText(), src("sub/cut.rm") + "\r\n00:00:09 -- 00:00:19\r\n\r\n");
}

TEST_F(BatchCheckTest, PathsAreWrittenInGbk) {
  put("视频/一.rm", rmFile(5, {2}));
  ASSERT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  EXPECT_EQ(resultText(), mv::utf8ToGbk(src("视频/一.rm")) + "\r\n00:00:03\r\n\r\n");
}

TEST_F(BatchCheckTest, OutcomeMessages) {
  // Nothing below the folder (or no folder at all).
  EXPECT_EQ(start(), mv::BatchOutcome::NoRmFiles);
  put("notes.txt", rmFile(5, {2}));
  EXPECT_EQ(start(), mv::BatchOutcome::NoRmFiles);
  EXPECT_EQ(check.OnStart(dir.file("missing"), result), mv::BatchOutcome::NoRmFiles);
  // Files, none with a zero second.
  put("a.rm", rmFile(6));
  EXPECT_EQ(start(), mv::BatchOutcome::NoProblems);
  EXPECT_EQ(recorder.messages,
            (std::vector<std::string>{mv::msg::kBatchNoRmFiles, mv::msg::kBatchNoRmFiles,
                                      mv::msg::kBatchNoRmFiles, mv::msg::kBatchNoProblems}));
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(resultText(), "");
}

TEST_F(BatchCheckTest, OutcomeMessagesOfEveryFormatDoNotSpeakOfRmFiles) {
  check.SetAllFormats(true);
  EXPECT_EQ(start(), mv::BatchOutcome::NoRmFiles);
  put("a.rm", rmFile(6));
  EXPECT_EQ(start(), mv::BatchOutcome::NoProblems);
  EXPECT_EQ(recorder.messages,
            (std::vector<std::string>{mv::msg::kBatchNoMediaFiles, mv::msg::kBatchNoProblemsAnyFormat}));
  for (const std::string& m : recorder.messages) EXPECT_EQ(m.find("RM"), std::string::npos) << m;
}

// Root reads every folder: the run goes without it, in a child process.
TEST_F(BatchCheckTest, UnreadableFoldersAreNamedFirstInTheResultFile) {
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);  // the result file is made here
  put("a.rm", rmFile(5, {2}));
  put("locked/b.rm", rmFile(5, {2}));
  put("shut/deeper/c.rm", rmFile(5, {2}));
  ASSERT_EQ(::chmod(src("locked").c_str(), 0), 0);
  ASSERT_EQ(::chmod(src("shut").c_str(), 0644), 0);  // listed, but nothing in it can be entered
  std::vector<std::string> named;
  callbacks.unreadableFolder = [&named](const std::string& folder) { named.push_back(folder); };
  const bool passed = mvtest::inUnprivilegedChild([&] {
    EXPECT_EQ(start(), mv::BatchOutcome::ProblemsFound);
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, (std::vector<std::string>{src("locked"), src("shut/deeper")}));
    std::vector<std::string> kept = check.unreadableFolders();
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, named);
    const std::string note =
        std::string("\r\n") + mv::utf8ToGbk(mv::msg::kBatchFolderUnreadable) + "\r\n\r\n";
    const std::string text = resultText();
    EXPECT_EQ(text.size(), src("locked").size() + src("shut/deeper").size() + 2 * note.size() +
                               src("a.rm").size() + std::string("\r\n00:00:03\r\n\r\n").size())
        << text;
    EXPECT_NE(text.find(src("locked") + note), std::string::npos) << text;
    EXPECT_NE(text.find(src("shut/deeper") + note), std::string::npos) << text;
    EXPECT_EQ(text.find(src("a.rm")) + src("a.rm").size() + 14, text.size()) << "the findings follow";
    return !::testing::Test::HasFailure();
  });
  ASSERT_EQ(::chmod(src("locked").c_str(), 0755), 0);
  ASSERT_EQ(::chmod(src("shut").c_str(), 0755), 0);
  EXPECT_TRUE(passed);
}

TEST_F(BatchCheckTest, NamesAreCheckedBeforeAnythingIsWritten) {
  put("a.rm", rmFile(5, {2}));
  EXPECT_EQ(check.OnStart("", result), mv::BatchOutcome::NoSourceFolder);
  EXPECT_EQ(check.OnStart(source.string(), ""), mv::BatchOutcome::NoResultFile);
  EXPECT_EQ(check.OnStart(source.string(), dir.file("no/such/folder/r.txt")),
            mv::BatchOutcome::ResultCreateFailed);
  EXPECT_EQ(recorder.messages,
            (std::vector<std::string>{mv::msg::kBatchNoSourceFolder, mv::msg::kBatchNoResultFile,
                                      mv::msg::kBatchResultCreateFailed}));
  EXPECT_FALSE(fs::exists(result));
  EXPECT_EQ(check.checkedFiles(), 0);
}

TEST_F(BatchCheckTest, SecondRunTruncatesTheResultFile) {
  put("a.rm", rmFile(5, {2}));
  ASSERT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  const std::string first = resultText();
  ASSERT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  EXPECT_EQ(resultText(), first);
  fs::remove(src("a.rm"));
  put("b.rm", rmFile(5));
  EXPECT_EQ(start(), mv::BatchOutcome::NoProblems);
  EXPECT_EQ(resultText(), "");
  EXPECT_EQ(check.problemFiles(), 0) << "counters start again with each run";
}

TEST_F(BatchCheckTest, FilesWhoseBufferIsNotCheckedAreNamedInEveryRun) {
  put("a.rm", rmFile(5));
  check.SetBufferPreset(mv::BufferPreset::Stream);  // RealVideo declares no buffer
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(start(), mv::BatchOutcome::NoProblems);
    EXPECT_EQ(check.uncheckedFiles(), 1);
  }
  EXPECT_EQ(opened, (std::vector<std::string>{result, result})) << "the names are in the result file";
}

TEST_F(BatchCheckTest, UnreadableFileShowsItsMessageAndTheRunGoesOn) {
  put("a_bad.rm", RmBuilder().raw({'n', 'o', 't', ' ', 'r', 'm', 0, 0, 0, 0, 0, 0}));
  put("b.rm", rmFile(5, {2}));
  ASSERT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  EXPECT_EQ(recorder.messages, std::vector<std::string>{mv::msg::kReadFailed});
  EXPECT_EQ(check.checkedFiles(), 2);
  EXPECT_EQ(check.problemFiles(), 1);
  EXPECT_EQ(check.unreadableFiles(), 1);
  EXPECT_EQ(resultText(),
            src("a_bad.rm") + "\r\n" + mv::utf8ToGbk(mv::msg::kBatchFileUnreadable) +
                mv::utf8ToGbk(mv::loadFailureCause(
                    src("a_bad.rm"), mv::LoadResult::fail(mv::LoadFailure::NotThisFormat), false)) +
                "\r\n\r\n" + src("b.rm") + "\r\n00:00:03\r\n\r\n");
}

// With callbacks, the engine hands over why a file did not load and what failed the result
// file, and shows none of the window's boxes for them.
TEST_F(BatchCheckTest, FailuresGoToTheCallbacksAsValues) {
  std::vector<std::pair<std::string, mv::LoadFailure>> loadFailures;
  std::vector<mv::BatchResultFailure> resultFailures;
  callbacks.loadFailed = [&](const std::string& path, const mv::LoadResult& r) {
    loadFailures.emplace_back(path, r.failure);
  };
  callbacks.resultFailed = [&](mv::BatchResultFailure f) { resultFailures.push_back(f); };
  put("a_bad.rm", RmBuilder().raw({'n', 'o', 't', ' ', 'r', 'm', 0, 0, 0, 0, 0, 0}));
  put("b.rm", rmFile(5, {2}));
  ASSERT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  EXPECT_EQ(loadFailures, (std::vector<std::pair<std::string, mv::LoadFailure>>{
                              {src("a_bad.rm"), mv::LoadFailure::NotThisFormat}}));
  EXPECT_TRUE(resultFailures.empty());
  EXPECT_TRUE(recorder.messages.empty());

  if (fs::exists("/dev/full")) {
    EXPECT_EQ(check.OnStart(source.string(), "/dev/full"), mv::BatchOutcome::ResultCreateFailed);
    EXPECT_EQ(check.OnStart(source.string(), src("b.rm")), mv::BatchOutcome::ResultCreateFailed);
    EXPECT_EQ(resultFailures, (std::vector<mv::BatchResultFailure>{mv::BatchResultFailure::CreateFailed,
                                                                   mv::BatchResultFailure::IsAnInput}));
  }
}

TEST_F(BatchCheckTest, StopDuringTheCountingPassChecksNothing) {
  put("a.rm", rmFile(5, {2}));
  put("b.rm", rmFile(5, {2}));
  int polls = 0;
  callbacks.pumpMessages = [&] {
    // The first poll comes from the counting pass, before the first file is counted.
    if (++polls == 1) {
      EXPECT_EQ(check.OnStart(source.string(), result), mv::BatchOutcome::StopRequested);
    }
  };
  EXPECT_EQ(start(), mv::BatchOutcome::Stopped);
  EXPECT_EQ(check.checkedFiles(), 0);
  EXPECT_EQ(check.totalFiles(), 1) << "the file being counted when the stop arrived";
  EXPECT_EQ(recorder.messages, std::vector<std::string>{mv::msg::kBatchStopped});
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(resultText(), "");
  EXPECT_FALSE(check.running());
  EXPECT_FALSE(check.stopRequested());
}

TEST_F(BatchCheckTest, StopWithoutAnyFileStillReportsTheStop) {
  callbacks.pumpMessages = [&] { check.RequestStop(); };
  EXPECT_EQ(start(), mv::BatchOutcome::Stopped);
  EXPECT_EQ(recorder.messages, std::vector<std::string>{mv::msg::kBatchStopped});
}

TEST_F(BatchCheckTest, StopDuringTheCheckingPassKeepsTheBlocksWritten) {
  for (const char* name : {"a.rm", "b.rm", "c.rm", "d.rm"}) put(name, rmFile(5, {2}));
  callbacks.progress = [&](const std::string&, int checked, int) {
    if (checked == 2) check.RequestStop();  // takes effect once this file is finished
  };
  EXPECT_EQ(start(), mv::BatchOutcome::Stopped);
  EXPECT_EQ(check.totalFiles(), 4);
  EXPECT_EQ(check.checkedFiles(), 2);
  EXPECT_EQ(check.problemFiles(), 2);
  EXPECT_EQ(recorder.messages, std::vector<std::string>{mv::msg::kBatchStopped});
  // Two complete blocks, and the file is opened after a stop as well.
  const std::string text = resultText();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
  EXPECT_EQ(opened, std::vector<std::string>{result});
}

TEST_F(BatchCheckTest, RunningStateIsAnnouncedAroundTheRun) {
  put("a.rm", rmFile(5));
  std::vector<bool> states;
  callbacks.runningChanged = [&](bool running) {
    states.push_back(running);
    EXPECT_EQ(check.running(), running);
  };
  start();
  EXPECT_EQ(states, (std::vector<bool>{true, false}));
}

// Until the run is over the old result stays; a result that cannot be written whole leaves it.
TEST_F(BatchCheckTest, ResultReplacesTheOldOneOnlyWhenWholeAndInPathOrder) {
  for (const char* name : {"b.rm", "a.rm", "sub/a.rm"}) put(name, rmFile(5, {2}));
  mvtest::writeFile(result, mvtest::Bytes{'o', 'l', 'd'});
  callbacks.progress = [&](const std::string&, int, int) { EXPECT_EQ(resultText(), "old"); };
  EXPECT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  const std::string block = "\r\n00:00:03\r\n\r\n";
  EXPECT_EQ(resultText(), src("a.rm") + block + src("b.rm") + block + src("sub/a.rm") + block);

  // A disk too full for the whole result: the old one stays and the failure is shown.
  mvtest::writeFile(result, mvtest::Bytes{'o', 'l', 'd'});
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = block.size();
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  recorder.messages.clear();
  const mv::BatchOutcome outcome = start();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(outcome, mv::BatchOutcome::ResultCreateFailed);
  EXPECT_EQ(recorder.messages, std::vector<std::string>{mv::msg::kBatchResultCreateFailed});
  EXPECT_EQ(resultText(), "old");
}

TEST_F(BatchCheckTest, ResultPathThatIsADeviceOrAMediaFileOfTheRunIsRefused) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  put("a.rm", rmFile(5, {2}));
  put("sub/b.rm", rmFile(5, {2}));
  EXPECT_EQ(check.OnStart(source.string(), "/dev/full"), mv::BatchOutcome::ResultCreateFailed);
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  EXPECT_EQ(recorder.messages, std::vector<std::string>{mv::msg::kBatchResultCreateFailed});

  // The media file itself, a second name of it and a link to it: refused after the counting
  // pass, before anything is written.
  const mvtest::Bytes media = mvtest::readFile(src("sub/b.rm"));
  fs::create_hard_link(src("sub/b.rm"), dir.file("hard.txt"));
  fs::create_symlink(src("sub/b.rm"), dir.file("soft.txt"));
  for (const std::string& target : {src("sub/b.rm"), dir.file("hard.txt"), dir.file("soft.txt")}) {
    recorder.messages.clear();
    EXPECT_EQ(check.OnStart(source.string(), target), mv::BatchOutcome::ResultCreateFailed) << target;
    EXPECT_EQ(recorder.messages, std::vector<std::string>{mv::msg::kWriteFailed}) << target;
    EXPECT_EQ(check.checkedFiles(), 0);
    EXPECT_EQ(mvtest::readFile(src("sub/b.rm")), media) << target;
  }
  EXPECT_TRUE(fs::is_symlink(dir.file("soft.txt")));
  EXPECT_TRUE(opened.empty());
}

// Stopped before the counting pass reached it, a media file named as the result is still kept.
TEST_F(BatchCheckTest, StopInTheCountingPassKeepsAResultPathNamedLikeItsFiles) {
  put("a.rm", rmFile(5, {2}));
  put("sub/z.rm", rmFile(5, {2}));
  const mvtest::Bytes media = mvtest::readFile(src("sub/z.rm"));
  callbacks.pumpMessages = [this] { check.RequestStop(); };
  check.SetCallbacks(callbacks);
  EXPECT_EQ(check.OnStart(source.string(), src("sub/z.rm")), mv::BatchOutcome::ResultCreateFailed);
  EXPECT_EQ(recorder.messages, std::vector<std::string>{mv::msg::kWriteFailed});
  EXPECT_EQ(mvtest::readFile(src("sub/z.rm")), media);
  // A result named as results are is emptied as before.
  recorder.messages.clear();
  EXPECT_EQ(check.OnStart(source.string(), result), mv::BatchOutcome::Stopped);
  EXPECT_EQ(recorder.messages, std::vector<std::string>{mv::msg::kBatchStopped});
}

TEST_F(BatchCheckTest, LinkAtTheResultPathIsReplacedNotWrittenThrough) {
  put("a.rm", rmFile(5, {2}));
  const std::string other = dir.file("other.txt");
  mvtest::writeFile(other, mvtest::Bytes{'k', 'e', 'e', 'p'});
  fs::create_symlink(other, result);
  EXPECT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  EXPECT_FALSE(fs::is_symlink(result));
  EXPECT_EQ(resultText(), src("a.rm") + "\r\n00:00:03\r\n\r\n");
  EXPECT_EQ(readText(other), "keep");
}

TEST_F(BatchCheckTest, LinkedFoldersAreCheckedOnceAndLinksOutOfTheTreeAreNamed) {
  mvtest::TempDir elsewhere;
  rmFile(5, {2}).write(elsewhere.file("far.rm"));
  put("a.rm", rmFile(5));
  put("real/near.rm", rmFile(5, {2}));
  fs::create_directory_symlink(source / "real", source / "linked");
  fs::create_directory_symlink(elsewhere.path(), source / "out");
  fs::create_directory_symlink(source, source / "loop");
  std::vector<std::string> skipped;
  callbacks.linkSkipped = [&](const std::string& link) { skipped.push_back(link); };
  EXPECT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  EXPECT_EQ(check.totalFiles(), 2);
  EXPECT_EQ(check.problemFiles(), 1);
  EXPECT_EQ(skipped, std::vector<std::string>{src("out")});
  const std::string text = resultText();
  EXPECT_TRUE(text == src("linked/near.rm") + "\r\n00:00:03\r\n\r\n" ||
              text == src("real/near.rm") + "\r\n00:00:03\r\n\r\n")
      << text;
}

TEST_F(BatchCheckTest, FilesWrittenByFfmpeg) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  const std::string whole = src("whole.rm");
  int status = 0;
  mvtest::runCommand(
      "ffmpeg -loglevel error -y -f lavfi -i testsrc=d=8:r=25:s=176x144 -c:v rv10 -b:v 200k '" + whole + "'",
      &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(start(), mv::BatchOutcome::NoProblems);

  // The same file cut in the middle: the seconds after the cut carry no video up to the
  // second-last one.
  mvtest::Bytes bytes = mvtest::readFile(whole);
  bytes.resize(bytes.size() / 2);
  mvtest::writeFile(src("cut.rm"), bytes);
  EXPECT_EQ(start(), mv::BatchOutcome::ProblemsFound);
  const std::string text = resultText();
  ASSERT_EQ(text.rfind(src("cut.rm") + "\r\n00:00:0", 0), 0u) << text;
  const std::string tail = " -- 00:00:07\r\n\r\n";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
  EXPECT_EQ(check.problemFiles(), 1);
}

TEST(BatchCheckDefaults, ResultFileBesideTheExecutableElseInTheDataFolder) {
  mvtest::TempDir dir;
  const std::string tools = dir.file("tools.d");
  std::filesystem::create_directories(tools);
  mv::setExecutablePathOverride(tools + "/x.exe");
  EXPECT_EQ(mv::defaultBatchResultFile(), tools + "/x_chk.txt");
  // A folder the user cannot write, or an installed program: the user's data folder.
  ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  mv::setExecutablePathOverride("/nonexistent/tools/morvatelline");
  EXPECT_EQ(mv::defaultBatchResultFile(), dir.file("data") + "/morvatelline/morvatelline_chk.txt");
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("data") + "/morvatelline"));
  std::filesystem::create_directories(dir.file("usr/bin"));
  std::filesystem::create_directories(dir.file("usr/share/doc/morvatelline"));
  mvtest::writeFile(dir.file("usr/share/doc/morvatelline/morvatelline.htm"), mvtest::Bytes{'<'});
  mv::setExecutablePathOverride(dir.file("usr/bin/morvatelline"));
  EXPECT_EQ(mv::defaultBatchResultFile(), dir.file("data") + "/morvatelline/morvatelline_chk.txt");
  ::unsetenv("XDG_DATA_HOME");
  mv::setExecutablePathOverride("");
}

}  // namespace
