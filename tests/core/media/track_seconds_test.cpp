#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "analysis/file_slot.h"
#include "fixtures/track_slot.h"
#include "media/tracks.h"

namespace {

using mv::TrackKind;

std::vector<uint32_t> seconds(const mv::PerSecondSeries& s) {
  return std::vector<uint32_t>(s.data() + 8, s.data() + s.elementCount());
}

// A track's seconds, `shift` seconds later and as long as `length`.
std::vector<uint32_t> shifted(std::vector<uint32_t> v, size_t shift, size_t length) {
  v.insert(v.begin(), shift, 0);
  v.resize(length, 0);
  return v;
}

// Each track's seconds are the series it gives when chosen, moved by the whole seconds between
// the chosen tracks' earliest time stamp and that of every track.
TEST(TrackSeconds, EveryTrackCountsAsTheSeriesCountItWhenChosen) {
  struct Case {
    const char* name;
    int64_t subtitleStartMs;
    size_t shift;
  };
  const Case cases[] = {{"one origin", 0, 0}, {"subtitles two seconds early", -2000, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mv::FileSlot slot;
    mvtest::fillTracks(
        slot,
        {{.kind = TrackKind::Video, .seconds = {90000, 40000, 50000, 60000}},
         {.kind = TrackKind::Audio, .seconds = {16000, 16000, 16000, 16000}, .unitsPerSecond = 43},
         {.kind = TrackKind::Audio, .seconds = {4000, 4100, 4200}, .unitsPerSecond = 10},
         {.kind = TrackKind::Subtitle, .seconds = {30}, .startMs = c.subtitleStartMs, .unitsPerSecond = 1},
         {.kind = TrackKind::Audio, .seconds = {}}});
    mv::TimedSeconds all;
    ASSERT_TRUE(mv::trackSeconds(slot.analysis, all).ok());
    ASSERT_EQ(all.bytes.size(), size_t(5));
    EXPECT_EQ(all.seconds, 4 + c.shift);
    EXPECT_TRUE(all.bytes[4].empty());
    EXPECT_EQ(all.bytes[3], std::vector<uint32_t>{30});
    for (int audio : {1, 2, 4}) {
      ASSERT_TRUE(slot.chooseTracks(0, audio));
      const size_t n = all.seconds;
      EXPECT_EQ(shifted(seconds(*slot.analysis.videoSeries), c.shift, n), shifted(all.bytes[0], 0, n));
      EXPECT_EQ(shifted(seconds(*slot.analysis.audioSeries), c.shift, n),
                shifted(all.bytes[size_t(audio)], 0, n));
      mv::TimedSeconds again;  // the choice moves units, not what each track holds
      ASSERT_TRUE(mv::trackSeconds(slot.analysis, again).ok());
      EXPECT_EQ(again.bytes, all.bytes);
    }
  }
}

TEST(TrackSeconds, TooManySecondsOfTooManyTracksAreRefused) {
  mv::FileSlot slot;
  mvtest::fillTracks(
      slot, {{.kind = TrackKind::Video, .seconds = {100}}, {.kind = TrackKind::Audio, .seconds = {50}}});
  // A late unit on each of 40 tracks: 40 × 500,000 seconds.
  for (int k = 0; k < 40; ++k) {
    mv::Track t;
    t.kind = TrackKind::Other;
    t.units.present = true;
    t.units.clock.den = 1000;
    t.units.add({0, 1}, 0);
    t.units.add({500'000'000, 1}, 0);
    slot.analysis.tracks.push_back(std::move(t));
  }
  mv::TimedSeconds all;
  EXPECT_EQ(mv::trackSeconds(slot.analysis, all).failure, mv::LoadFailure::OutOfMemory);
  EXPECT_TRUE(all.bytes.empty());
}

}  // namespace
