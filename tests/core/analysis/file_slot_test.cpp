#include "analysis/file_slot.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "analysis/failure_causes.h"
#include "fixtures/avi_builder.h"
#include "fixtures/message_recorder.h"
#include "media/statistics.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/para_block.h"

namespace {

namespace avi = mvtest::avi;
using mv::mediaTypeOfPath;

TEST(MediaTypeOfPath, WholeSuffixFromLastDotCaseInsensitive) {
  EXPECT_EQ(mediaTypeOfPath("MOVIE.AVI"), mv::MEDIA_AVI);
  EXPECT_EQ(mediaTypeOfPath("/x/a.Avi"), mv::MEDIA_AVI);
  EXPECT_EQ(mediaTypeOfPath("x.RMVB"), mv::MEDIA_RM);
  EXPECT_EQ(mediaTypeOfPath("x.rm"), mv::MEDIA_RM);
  for (const char* p :
       {"x.ra", "x.ogv", "noextension", "a.avi2", "a.avi.bak", "a.rm ", "/data/release.old/clip"}) {
    EXPECT_EQ(mediaTypeOfPath(p), mv::MEDIA_NONE) << p;
  }
}

TEST(MediaTypeOfPath, SuffixesCompareTheSameInTurkish) {
  // Turkish folds "I" to a dotless "ı": a locale-aware comparison would refuse MOVIE.AVI.
  if (!std::setlocale(LC_ALL, "tr_TR.UTF-8")) GTEST_SKIP() << "Turkish locale not installed";
  const auto type = mediaTypeOfPath("MOVIE.AVI");
  const auto txt = mv::ensureExtension("REPORT.TXT", ".txt");
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(type, mv::MEDIA_AVI);
  EXPECT_EQ(txt, "REPORT.TXT");
}

class FileSlotTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const mvtest::Bytes& bytes) {
    const std::string p = dir.file(name);
    mvtest::writeFile(p, bytes);
    return p;
  }
  mvtest::TempDir dir;
  mvtest::MessageRecorder recorder;
  mv::FileSlot slot;
};

// The slot shows nothing: it returns why, and the window's one box comes from that value.
TEST_F(FileSlotTest, FailureIsReturnedNotShownAndLeavesTheSlotEmpty) {
  mvtest::Bytes damaged = avi::simpleVideo(250, 1000).build();
  damaged[0] = 'X';
  // A named pipe with a media name is refused at once instead of waiting for a writer.
  ASSERT_EQ(mkfifo(dir.file("pipe.rm").c_str(), 0600), 0);
  struct Case {
    std::string path;
    mv::LoadFailure failure;
    const char* message;
  };
  const Case cases[] = {
      // Of no suffix the program reads, and no container by its first bytes either.
      {write("clip.ogv", damaged), mv::LoadFailure::NotThisFormat, mv::msg::kInvalidFile},
      {write("bad.avi", damaged), mv::LoadFailure::NotThisFormat, mv::msg::kReadFailed},
      {dir.file("missing.avi"), mv::LoadFailure::CouldNotRead, mv::msg::kReadFailed},
      {dir.file("pipe.rm"), mv::LoadFailure::CouldNotRead, mv::msg::kReadFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_TRUE(slot.open(write("good.avi", avi::simpleVideo(250, 1000).build())).ok());
    const mv::LoadResult r = slot.open(c.path);
    EXPECT_EQ(r.failure, c.failure);
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_STREQ(mv::loadFailureMessage(c.path, r), c.message);
    EXPECT_FALSE(slot.isLoaded());
    EXPECT_EQ(slot.elementCount(), 0u);
    EXPECT_TRUE(slot.analysis.path.empty());
    EXPECT_EQ(slot.mediaType(), mv::MEDIA_NONE);
  }
}

// Out of memory is one box, not the memory box followed by the read-failure box; a cancelled
// load shows none.
TEST(LoadFailureMessage, OneBoxPerFailureAndNoneWhenCancelled) {
  mvtest::MessageRecorder recorder;
  using F = mv::LoadFailure;
  const std::pair<mv::LoadResult, std::vector<std::string>> cases[] = {
      {mv::LoadResult::fail(F::OutOfMemory), {mv::msg::kOutOfMemory}},
      {mv::LoadResult::fail(F::Damaged, 12), {mv::msg::kReadFailed}},
      {mv::LoadResult::fail(F::Cancelled), {}},
      {mv::LoadResult::success(), {}},
  };
  for (const auto& [result, shown] : cases) {
    recorder.messages.clear();
    mv::showLoadFailure("clip.avi", result);
    EXPECT_EQ(recorder.messages, shown) << mv::reasonName(result.failure);
  }
}

// A file whose series do not fit in what memory is left: the slot says so and stays empty.
TEST_F(FileSlotTest, LoadThatRunsOutOfMemoryReturnsItAndShowsNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
  // 4,000,000 seconds: series of 16 MB each.
  auto f = avi::simpleVideo(1, 10, 1000000000);
  f.main.totalFrames = 4000;
  const std::string p = write("long.avi", f.build());
  // Room for small allocations, none for a series.
  const auto openWithLittleMemory = [&] {
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(8) << 20);
    const rlimit rl{limit, limit};
    if (pages == 0 || setrlimit(RLIMIT_AS, &rl) != 0) std::_Exit(3);
    const mv::LoadResult r = slot.open(p);
    const bool silent = recorder.messages.empty();
    std::_Exit(r.failure != mv::LoadFailure::OutOfMemory ? 1 : !silent || slot.isLoaded() ? 2 : 0);
  };
  EXPECT_EXIT(openWithLittleMemory(), ::testing::ExitedWithCode(0), "");
#endif
}

TEST_F(FileSlotTest, LoadBuildsTotalAndStatistics) {
  auto f = avi::simpleVideo(250, 1000);
  avi::Stream a;
  a.header.fccType = "auds";
  a.header.scale = 1;
  a.header.rate = 1;
  a.format = avi::waveFormat(1, 1, 8000, 128, 1, 8);
  f.streams.push_back(a);
  for (int i = 0; i < 10; ++i) f.add(1, "wb", 128);
  const std::string p = write("Clip.AVI", f.build());
  ASSERT_TRUE(slot.open(p).ok());
  const auto& x = slot.analysis;
  EXPECT_EQ(x.path, p);
  EXPECT_EQ(slot.mediaType(), mv::MEDIA_AVI);
  EXPECT_EQ(slot.elementCount(), 18u);
  ASSERT_TRUE(x.totalSeries);
  EXPECT_EQ(x.totalSeries->elementCount(), 18u);
  for (size_t i = 8; i < 18; ++i) EXPECT_EQ((*x.totalSeries)[i], (*x.videoSeries)[i] + (*x.audioSeries)[i]);
  // Inner video seconds are 25000 bytes: 195.31 kbit/s.
  EXPECT_EQ((*x.videoSeries)[mv::kMaxRate], 19531u);
  EXPECT_EQ((*x.videoSeries)[mv::kMinRate], 19531u);
  EXPECT_DOUBLE_EQ(mv::cellValue(slot, 8, mv::ITEM_VIDEO), 25500 / 128.0);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(FileSlotTest, ZeroSecondFileLoadsWithHeaderOnly) {
  ASSERT_TRUE(slot.open(write("empty.avi", avi::simpleVideo(0, 0).build())).ok());
  EXPECT_EQ(slot.elementCount(), 8u);
  for (size_t i = 1; i < 8; ++i) EXPECT_EQ((*slot.analysis.videoSeries)[i], 0u);
}

TEST_F(FileSlotTest, SecondOpenReplacesAndClearEmpties) {
  ASSERT_TRUE(slot.open(write("a.avi", avi::simpleVideo(250, 1000).build())).ok());
  ASSERT_TRUE(slot.open(write("b.avi", avi::simpleVideo(500, 10).build())).ok());
  EXPECT_EQ(slot.analysis.durationSeconds, 20);
  EXPECT_EQ(slot.elementCount(), 28u);
  slot.clear();
  EXPECT_FALSE(slot.analysis.videoSeries || slot.analysis.audioSeries || slot.analysis.totalSeries);
  EXPECT_EQ(slot.analysis.fileLength, 0u);
  EXPECT_EQ(slot.analysis.durationSeconds, 0);
  EXPECT_EQ(slot.analysis.frameRateMilli, 0);
  EXPECT_EQ(slot.elementCount(), 0u);
}

TEST_F(FileSlotTest, RecomputeThresholdsFollowsTheMarkedCounts) {
  auto f = avi::simpleVideo(0, 0);
  f.main.totalFrames = 40 * 25;
  for (int s = 0; s < 40; ++s)
    for (int k = 0; k < 25; ++k) f.add(0, "dc", uint32_t(100 * (s + 1)));
  ASSERT_TRUE(slot.open(write("ramp.avi", f.build())).ok());
  auto& v = *slot.analysis.videoSeries;
  const uint32_t high5 = v[mv::kHighThreshold];
  slot.setMarkedSeconds(1, 5);
  slot.recomputeThresholds();
  EXPECT_GT(v[mv::kHighThreshold], high5);
}

}  // namespace
