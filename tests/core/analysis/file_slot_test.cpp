#include <gtest/gtest.h>

#include <clocale>
#include <sys/stat.h>

#include "analysis/file_slot.h"
#include "fixtures/avi_builder.h"
#include "fixtures/message_recorder.h"
#include "platform/paths.h"
#include "media/statistics.h"
#include "settings/para_block.h"

namespace {

namespace avi = mvtest::avi;
using mv::mediaTypeOfPath;

TEST(MediaTypeOfPath, WholeSuffixFromLastDotCaseInsensitive) {
  EXPECT_EQ(mediaTypeOfPath("MOVIE.AVI"), mv::MEDIA_AVI);
  EXPECT_EQ(mediaTypeOfPath("/x/a.Avi"), mv::MEDIA_AVI);
  EXPECT_EQ(mediaTypeOfPath("x.RMVB"), mv::MEDIA_RM);
  EXPECT_EQ(mediaTypeOfPath("x.rm"), mv::MEDIA_RM);
  for (const char* p : {"x.ra", "x.ogv", "noextension", "a.avi2", "a.avi.bak", "a.rm ", "/data/release.old/clip"}) {
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

TEST_F(FileSlotTest, UnsupportedSuffixTellsTheUserAndLeavesTheSlotEmpty) {
  const std::string p = write("clip.ogv", avi::simpleVideo(250, 1000).build());
  EXPECT_EQ(slot.open(p), 0);
  EXPECT_EQ(recorder.messages, std::vector<std::string>{"抱歉，请选择一个有效的文件。"});
  EXPECT_EQ(slot.elementCount(), 0u);
  EXPECT_EQ(slot.mediaType(), mv::MEDIA_NONE);
}

TEST_F(FileSlotTest, DamagedFileTellsTheUserAndLeavesTheSlotEmpty) {
  mvtest::Bytes bytes = avi::simpleVideo(250, 1000).build();
  bytes[0] = 'X';
  EXPECT_EQ(slot.open(write("bad.avi", bytes)), 0);
  EXPECT_EQ(recorder.messages, std::vector<std::string>{"抱歉，文件读取失败。"});
  EXPECT_FALSE(slot.isLoaded());
  EXPECT_EQ(slot.elementCount(), 0u);
  EXPECT_TRUE(slot.analysis.path.empty());
  EXPECT_EQ(slot.mediaType(), mv::MEDIA_NONE);

  EXPECT_EQ(slot.open(dir.file("missing.avi")), 0);
  EXPECT_EQ(recorder.messages.size(), 2u);

  // A named pipe with a media name is refused at once instead of waiting for a writer.
  ASSERT_EQ(mkfifo(dir.file("pipe.rm").c_str(), 0600), 0);
  EXPECT_EQ(slot.open(dir.file("pipe.rm")), 0);
  EXPECT_EQ(recorder.messages.size(), 3u);
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
  ASSERT_EQ(slot.open(p), 1);
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
  ASSERT_EQ(slot.open(write("empty.avi", avi::simpleVideo(0, 0).build())), 1);
  EXPECT_EQ(slot.elementCount(), 8u);
  for (size_t i = 1; i < 8; ++i) EXPECT_EQ((*slot.analysis.videoSeries)[i], 0u);
}

TEST_F(FileSlotTest, SecondOpenReplacesAndClearEmpties) {
  ASSERT_EQ(slot.open(write("a.avi", avi::simpleVideo(250, 1000).build())), 1);
  ASSERT_EQ(slot.open(write("b.avi", avi::simpleVideo(500, 10).build())), 1);
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
  ASSERT_EQ(slot.open(write("ramp.avi", f.build())), 1);
  auto& v = *slot.analysis.videoSeries;
  const uint32_t high5 = v[mv::kHighThreshold];
  slot.setMarkedSeconds(1, 5);
  slot.recomputeThresholds();
  EXPECT_GT(v[mv::kHighThreshold], high5);
}

}  // namespace
