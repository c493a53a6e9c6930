#include "media/timed_units.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "media/file_analysis.h"
#include "media/frames.h"

namespace {

using mv::TrackUnits;

TrackUnits track(uint64_t den, std::vector<std::pair<int64_t, uint32_t>> units, mv::Int128 mul = 1,
                 mv::Int128 add = 0) {
  TrackUnits t;
  t.present = true;
  t.clock = {mul, add, den};
  for (auto [ticks, bytes] : units) t.units.push_back({ticks, bytes, 0});
  return t;
}

std::vector<uint32_t> seconds(const mv::PerSecondSeries& s) {
  return std::vector<uint32_t>(s.data() + 8, s.data() + s.elementCount());
}

TEST(TimedUnits, SecondsCountFromTheEarliestStampOfBothTracks) {
  struct Case {
    const char* name;
    TrackUnits video, audio;
    std::vector<uint32_t> wantVideo, wantAudio;
  };
  const Case cases[] = {
      {"one clock", track(1000, {{0, 10}, {999, 20}, {1000, 30}}), track(1000, {{500, 7}}), {30, 30}, {7, 0}},
      // Audio starts 0.4 s before video: video's 1.0 s lies in second 1 only from 1.4 s on.
      {"origin from the other track",
       track(90000, {{90000, 5}, {126000, 6}}),
       track(48000, {{19200, 1}}),
       {5, 6},
       {1, 0}},
      // 1/3 s steps against 1/1000: 1/3 < 0.334, so 1.333 s and 4/3 s fall apart exactly.
      {"exact fractions", track(3, {{4, 1}}), track(1000, {{334, 2}, {1334, 3}}), {1, 0}, {2, 3}},
      // Edit shift (ticks × 600 − 1200) / (600 × 30): ticks 30 → 0.933 s.
      {"affine clock", track(600 * 30, {{30, 9}, {62, 8}}, 600, -1200), track(1, {}), {9, 8}, {0, 0}},
      {"negative stamps", track(1000, {{-1500, 4}, {-400, 5}}), track(1000, {}), {4, 5}, {0, 0}},
      {"bytes wrap at 32 bits", track(1, {{0, 0xFFFFFFFF}, {0, 2}}), track(1, {}), {1}, {0}},
      {"no units", track(1000, {}), track(1000, {}), {}, {}},
      // Origin 0.1 s; units back and forth across seconds, as B-frames and interleaving give.
      {"units out of time order",
       track(1000, {{2500, 1}, {100, 2}, {2999, 3}, {1000, 4}, {1099, 5}, {1100, 6}}),
       track(1000, {}),
       {2 + 4 + 5, 6, 1 + 3},
       {0, 0, 0}},
      // The earliest unit is the one of the highest ticks.
      {"clock running backwards",
       track(1000, {{0, 1}, {-1500, 2}, {-999, 3}}, -1),
       track(1000, {}),
       {1 + 3, 2},
       {0, 0}},
      // Origin 1/3 s from the other track: 1.333 s is still second 0, 1.334 s second 1.
      {"origin between ticks",
       track(1000, {{334, 2}, {1333, 3}, {1334, 4}}),
       track(3, {{1, 1}}),
       {2 + 3, 4},
       {1, 0}},
  };
  for (const Case& c : cases) {
    mv::FileAnalysis a;
    ASSERT_TRUE(mv::fillTimedSeries(c.video, c.audio, a).ok()) << c.name;
    EXPECT_EQ(a.durationSeconds, int32_t(c.wantVideo.size())) << c.name;
    EXPECT_EQ(seconds(*a.videoSeries), c.wantVideo) << c.name;
    EXPECT_EQ(seconds(*a.audioSeries), c.wantAudio) << c.name;
  }
}

TEST(TimedUnits, SpansBeyondTheLongestPlayTimeOrTheClockAreDamage) {
  mv::FileAnalysis a;
  EXPECT_EQ(
      mv::fillTimedSeries(track(1, {{0, 1}, {int64_t(mv::kMaxDurationSeconds), 1}}), track(1, {}), a).failure,
      mv::LoadFailure::Damaged);
  EXPECT_FALSE(a.videoSeries);
  EXPECT_TRUE(
      mv::fillTimedSeries(track(1, {{0, 1}, {int64_t(mv::kMaxDurationSeconds) - 1, 1}}), track(1, {}), a)
          .ok());
  const mv::Int128 huge = mv::Int128(1) << 100;
  EXPECT_EQ(mv::fillTimedSeries(track(1, {{INT64_MAX, 1}}, huge), track(1, {}), a).failure,
            mv::LoadFailure::Damaged);
  EXPECT_EQ(mv::fillTimedSeries(track(0, {{1, 1}}), track(1, {}), a).failure, mv::LoadFailure::Damaged);
}

// Units kept as runs give the series of the same units kept one by one, whatever the clock.
TEST(TimedUnits, RunsCountLikeTheirUnits) {
  struct Case {
    uint64_t den;
    mv::Int128 mul, add;
    std::vector<std::pair<int64_t, uint32_t>> units;  // fed to addToRun in this order
  };
  std::vector<std::pair<int64_t, uint32_t>> pcm, mixed;
  for (int64_t k = 0; k < 48000 * 3 + 17; ++k) pcm.push_back({k, 4});
  for (int64_t k = 0; k < 5000; ++k) mixed.push_back({7 * k + (k > 2000 ? 3 : 0), k % 900 == 0 ? 8u : 2u});
  const Case cases[] = {{48000, 1, 0, pcm},
                        {44100, 600, -123456, pcm},
                        {1000, 1, 0, mixed},
                        {3, 1, 1, {{0, 5}, {0, 5}, {0, 5}}}};
  for (const Case& c : cases) {
    TrackUnits one = track(c.den, c.units, c.mul, c.add), runs = track(c.den, {}, c.mul, c.add);
    for (auto [ticks, bytes] : c.units) mv::addToRun(runs.runs, ticks, bytes);
    EXPECT_LT(runs.runs.size(), c.units.size() / 2 + 2);
    EXPECT_EQ(runs.unitCount(), c.units.size());
    mv::FileAnalysis a, b;
    const TrackUnits video = track(1000, {{250, 1}});
    ASSERT_TRUE(mv::fillTimedSeries(video, one, a).ok());
    ASSERT_TRUE(mv::fillTimedSeries(video, runs, b).ok());
    EXPECT_EQ(seconds(*a.audioSeries), seconds(*b.audioSeries)) << c.den;
    EXPECT_EQ(seconds(*a.videoSeries), seconds(*b.videoSeries)) << c.den;
  }
}

TEST(TimedUnits, NumberedUnitsCountAndListLikeTheirUnits) {
  // Frames 0 .. 99 at 25/2 fps (ticks × 2 / 25 s), every 12th a key frame.
  TrackUnits units = track(25, {}, 2), numbered = track(25, {}, 2);
  for (uint32_t k = 0; k < 100; ++k) {
    units.units.push_back({int64_t(k), 100 + k, k % 12 == 0 ? 1u : 0u});
    numbered.numbered.push_back((100 + k) | (k % 12 == 0 ? mv::kNumberedKey : 0));
  }
  const TrackUnits audio = track(1000, {{-500, 7}});  // half a second earlier
  mv::FileAnalysis a, b;
  ASSERT_TRUE(mv::fillTimedSeries(units, audio, a).ok());
  ASSERT_TRUE(mv::fillTimedSeries(numbered, audio, b).ok());
  EXPECT_EQ(seconds(*a.videoSeries), seconds(*b.videoSeries));
  EXPECT_EQ(a.durationSeconds, b.durationSeconds);
  a.videoUnits = units;
  b.videoUnits = numbered;
  const std::vector<mv::VideoFrame> fa = mv::videoFrames(a), fb = mv::videoFrames(b);
  ASSERT_EQ(fa.size(), 100u);
  ASSERT_EQ(fb.size(), 100u);
  for (size_t k = 0; k < fa.size(); ++k) {
    EXPECT_DOUBLE_EQ(fa[k].seconds, fb[k].seconds);
    EXPECT_EQ(fa[k].bytes, fb[k].bytes);
    EXPECT_EQ(fa[k].key, fb[k].key);
  }
  EXPECT_DOUBLE_EQ(fb[1].seconds, 0.5 + 0.08);
  const std::vector<mv::Gop> gops = mv::groupsOfPictures(fb);
  ASSERT_EQ(gops.size(), 9u);
  EXPECT_EQ(gops[8].frames, 4u);
  EXPECT_DOUBLE_EQ(mv::frameStats(fb, gops).averageGopFrames, 100.0 / 9);
}

TEST(TimedUnits, LargeUnitListsKeepEveryUnitThroughGrowthAndCopies) {
  mv::UnitVector v;
  for (uint32_t k = 0; k < 400000; ++k) v.push_back({int64_t(k) * 3, k, k & 1});  // 6.4 MB
  mv::UnitVector copy = v;
  v.clear();
  v.shrink_to_fit();
  ASSERT_EQ(copy.size(), 400000u);
  for (uint32_t k = 0; k < copy.size(); k += 997) {
    EXPECT_EQ(copy[k].ticks, int64_t(k) * 3);
    EXPECT_EQ(copy[k].bytes, k);
  }
  EXPECT_EQ(copy.back().key, 1u);
}

TEST(TimedUnits, MeasuredFrameRate) {
  EXPECT_EQ(mv::measuredFrameRateMilli(track(90000, {{0, 1}, {3600, 1}, {7200, 1}})), 25000);
  EXPECT_EQ(mv::measuredFrameRateMilli(track(30000, {{0, 1}, {1001, 1}})), 29970);
  EXPECT_EQ(mv::measuredFrameRateMilli(track(1000, {{0, 1}})), 0);
  EXPECT_EQ(mv::measuredFrameRateMilli(track(1000, {{5, 1}, {5, 1}})), 0);
}

}  // namespace
