#include "media/statistics.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "analysis/file_slot.h"
#include "media/peaks.h"

namespace {

using mv::PerSecondSeries;

PerSecondSeries seriesOf(std::initializer_list<uint32_t> seconds) {
  PerSecondSeries s(uint32_t(seconds.size() + 8));
  size_t i = 8;
  for (uint32_t b : seconds) s[i++] = b;
  return s;
}

TEST(ComputeStatistics, FirstAndLastSecondAreLeftOut) {
  PerSecondSeries s(13 + 8);
  for (size_t i = 8; i < 21; ++i) s[i] = 1280;
  s[8] = 9999;
  s[20] = 0;
  mv::computeStatistics(s);
  EXPECT_EQ(s[mv::kMaxRate], 1000u);
  EXPECT_EQ(s[mv::kMinRate], 1000u);
  EXPECT_EQ(s[mv::kAvgRate], 1000u);
  EXPECT_EQ(s[mv::kStdDev], 0u);
  EXPECT_EQ(s[mv::kVariationPermille], 0u);
}

TEST(ComputeStatistics, SpreadOfDistinctSeconds) {
  // Inner seconds 128, 256, 384 bytes: 1, 2, 3 kbit/s; sample deviation 1, variation 0.5.
  PerSecondSeries s = seriesOf({7, 128, 256, 384, 7});
  mv::computeStatistics(s);
  EXPECT_EQ(s[mv::kMaxRate], 300u);
  EXPECT_EQ(s[mv::kMinRate], 100u);
  EXPECT_EQ(s[mv::kAvgRate], 200u);
  EXPECT_EQ(s[mv::kStdDev], 100u);
  EXPECT_EQ(s[mv::kVariationPermille], 500u);
}

TEST(ComputeStatistics, TooShortOrDegenerateSeriesGiveZeroWithoutFailing) {
  for (auto s : {seriesOf({}), seriesOf({5000}), seriesOf({5000, 6000}), seriesOf({1, 2560, 3}),
                 seriesOf({1, 0, 0, 3})}) {
    mv::computeStatistics(s);
    EXPECT_EQ(s[mv::kStdDev], 0u);
    EXPECT_EQ(s[mv::kVariationPermille], 0u);
    if (s.elementCount() <= 10) {
      for (size_t i = 1; i <= 5; ++i) EXPECT_EQ(s[i], 0u) << "element " << i << " of N=" << s.elementCount();
    }
  }
  PerSecondSeries one = seriesOf({1, 2560, 3});
  mv::computeStatistics(one);
  EXPECT_EQ(one[mv::kAvgRate], 2000u);
}

TEST(ComputeStatistics, LargeSecondsDoNotWrapTheRate) {
  PerSecondSeries s = seriesOf({0, 100000000, 0});
  mv::computeStatistics(s);
  EXPECT_EQ(s[mv::kMaxRate], 78125000u);
}

PerSecondSeries innerSeconds(const std::vector<uint32_t>& inner) {
  PerSecondSeries s(uint32_t(inner.size() + 10));
  for (size_t i = 0; i < inner.size(); ++i) s[9 + i] = inner[i];
  return s;
}

TEST(ComputeThresholds, FifthHighestAndFifthLowest) {
  std::vector<uint32_t> v;
  for (uint32_t i = 1; i <= 30; ++i) v.push_back(i * 10);
  PerSecondSeries s = innerSeconds(v);
  mv::computeThresholds(s, 5, 5);
  EXPECT_EQ(s[mv::kHighThreshold], 260u);
  EXPECT_EQ(s[mv::kLowThreshold], 50u);
}

TEST(ComputeThresholds, ZeroSecondsAreNotAmongTheLowest) {
  std::vector<uint32_t> v;
  for (uint32_t i = 1; i <= 30; ++i) v.push_back(i * 10);
  v.push_back(0);
  v.push_back(0);
  PerSecondSeries s = innerSeconds(v);
  mv::computeThresholds(s, 5, 5);
  EXPECT_EQ(s[mv::kLowThreshold], 50u);
}

TEST(ComputeThresholds, OverlapSplitsInTheMiddle) {
  // 12 inner seconds, 8 of them zero: the walk stops at index 8, lo = hi = 4, m = 4.
  PerSecondSeries s = innerSeconds({9, 0, 7, 0, 0, 5, 0, 0, 3, 0, 0, 0});
  mv::computeThresholds(s, 5, 5);
  EXPECT_EQ(s[mv::kHighThreshold], 0u);
  EXPECT_EQ(s[mv::kLowThreshold], 0u);
}

TEST(ComputeThresholds, TooFewInnerSecondsKeepEarlierValues) {
  PerSecondSeries s = innerSeconds({1, 2, 3, 4, 5, 6, 7, 8, 9});
  s[mv::kHighThreshold] = 77;
  s[mv::kLowThreshold] = 66;
  mv::computeThresholds(s, 5, 5);
  EXPECT_EQ(s[mv::kHighThreshold], 77u);
  EXPECT_EQ(s[mv::kLowThreshold], 66u);
  mv::computeThresholds(s, 4, 5);
  EXPECT_EQ(s[mv::kHighThreshold], 6u);
  EXPECT_EQ(s[mv::kLowThreshold], 5u);
}

TEST(RateHistogram, BucketWidthIsTheSmallestStepGivingTenBuckets) {
  PerSecondSeries s(20);
  s[mv::kMinRate] = 12345;
  s[mv::kMaxRate] = 98765;
  auto h = mv::rateHistogram(s, 100);
  EXPECT_EQ(h.lower, 200u);
  EXPECT_EQ(h.step, 100u);
  EXPECT_EQ(h.counts.size(), 9u);

  s[mv::kMinRate] = 0;
  s[mv::kMaxRate] = 250000;
  h = mv::rateHistogram(s, 100);
  EXPECT_EQ(h.lower, 300u);
  EXPECT_EQ(h.step, 300u);
  EXPECT_EQ(h.counts.size(), 9u);
}

TEST(RateHistogram, SecondAboveTheTopEdgeIsLeftOut) {
  // The last second (1000 kbit/s) lies outside the inner seconds and above the top edge.
  PerSecondSeries s = seriesOf({150 * 128, 250 * 128, 650 * 128, 1000 * 128});
  mv::computeStatistics(s);
  auto h = mv::rateHistogram(s, 100);
  EXPECT_EQ(h.lower, 300u);
  EXPECT_EQ(h.seconds, 4u);
  EXPECT_EQ(h.counts, (std::vector<uint32_t>{2, 0, 0, 0, 1}));
}

TEST(Accessors, CellValueByRow) {
  mv::FileSlot slot;
  EXPECT_EQ(mv::cellValue(slot, 8, mv::ITEM_VIDEO), 0.0);
  auto& a = slot.analysis;
  a.videoSeries = std::make_unique<PerSecondSeries>(12);
  a.audioSeries = std::make_unique<PerSecondSeries>(12);
  a.totalSeries = std::make_unique<PerSecondSeries>(12);
  (*a.videoSeries)[1] = 12345;
  (*a.videoSeries)[5] = 250;
  (*a.audioSeries)[9] = 64;
  EXPECT_DOUBLE_EQ(mv::cellValue(slot, 1, mv::ITEM_VIDEO), 123.45);
  EXPECT_DOUBLE_EQ(mv::cellValue(slot, 5, mv::ITEM_VIDEO), 0.25);
  EXPECT_DOUBLE_EQ(mv::cellValue(slot, 9, mv::ITEM_AUDIO), 0.5);
  EXPECT_EQ(mv::cellValue(slot, 0, mv::ITEM_VIDEO), 0.0);
  EXPECT_EQ(mv::cellValue(slot, 12, mv::ITEM_AUDIO), 0.0);
}

TEST(Accessors, LabelsAndTimeFormats) {
  EXPECT_EQ(mv::rowLabel(0), "");
  EXPECT_EQ(mv::rowLabel(1), "最大值  ");
  EXPECT_EQ(mv::rowLabel(5), "变异系数");
  EXPECT_EQ(mv::rowLabel(8), "00:00:01");
  EXPECT_EQ(mv::rowLabel(3607), "01:00:00");
  EXPECT_EQ(mv::formatSeconds(360000), "100:00:00");
  EXPECT_EQ(mv::formatMilliseconds(3599999), "00:59:59.99");
  EXPECT_EQ(mv::formatMilliseconds(1234), "00:00:01.23");
  EXPECT_EQ(mv::formatMilliseconds(1995), "00:00:01.99");
}

}  // namespace

namespace {

// Peak windows over the inner seconds only (elements 9 .. N-2), and the moving average.
TEST(PeakWindows, HighestAverageOverConsecutiveInnerSeconds) {
  mv::FileAnalysis a;
  // Seconds 0..11: the first and last are outside the inner seconds however high they are.
  const std::vector<uint32_t> bytes = {99999, 128, 256, 1280, 1280, 128, 0, 1280, 1280, 1280, 128, 99999};
  a.videoSeries = std::make_unique<mv::PerSecondSeries>(uint32_t(bytes.size() + 8));
  a.audioSeries = std::make_unique<mv::PerSecondSeries>(uint32_t(bytes.size() + 8));
  for (size_t s = 0; s < bytes.size(); ++s) (*a.videoSeries)[8 + s] = bytes[s];
  a.totalSeries = std::make_unique<mv::PerSecondSeries>(*a.videoSeries);
  const struct {
    uint32_t seconds, start;
    double rate;
  } cases[] = {{1, 3, 10.0}, {2, 3, 10.0}, {3, 7, 10.0}, {4, 7, 7.75}, {10, 1, 7040.0 / 10 / 128}};
  for (const auto& c : cases) {
    const mv::PeakWindow p = mv::peakWindow(a, mv::ITEM_VIDEO, c.seconds);
    ASSERT_TRUE(p.found) << c.seconds;
    EXPECT_EQ(p.start, c.start) << c.seconds;
    EXPECT_DOUBLE_EQ(p.rate, c.rate) << c.seconds;
  }
  EXPECT_FALSE(mv::peakWindow(a, mv::ITEM_VIDEO, 11).found);
  EXPECT_FALSE(mv::peakWindow(a, mv::ITEM_AUDIO, 1).rate > 0);
  const std::vector<double> avg = mv::movingAverage(a, mv::ITEM_VIDEO, 2);
  ASSERT_EQ(avg.size(), bytes.size());
  EXPECT_DOUBLE_EQ(avg[0], 99999 / 128.0);
  EXPECT_DOUBLE_EQ(avg[3], (256 + 1280) / 2 / 128.0);
}

}  // namespace

// The report's rows of seconds are written without printf: the same text as printf's.
TEST(Statistics, SecondRowsAsPrintfWritesThem) {
  std::vector<uint32_t> values;
  for (uint32_t v = 0; v < 200000; ++v) values.push_back(v);
  for (uint64_t v = 1; v < (uint64_t(1) << 32); v = v * 3 + 7) values.push_back(uint32_t(v));
  values.push_back(0xFFFFFFFF);
  for (uint32_t v : values) {
    char fast[32], slow[48];
    std::snprintf(slow, sizeof slow, "%.2f", v / 128.0);
    ASSERT_EQ(std::string(fast, mv::writeSecondCell(fast, v)), slow) << v;
    ASSERT_EQ(std::string(fast, mv::writeSecondLabel(fast, v)), mv::formatSeconds(v)) << v;
  }
}
