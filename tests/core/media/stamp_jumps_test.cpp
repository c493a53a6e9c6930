// Joined recordings (TS, PS, FLV parts made by ffmpeg, put end to end): their time stamps jump
// and are closed up; TS parts keep their own continuity counters, as `cat` leaves them. The oracle is
// ffprobe's packets of each part alone, end to end, each jump closed up by the track's most common forward
// step that was none.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"
#include "fixtures/probed_series.h"
#include "flv/flv_reader.h"
#include "media/timed_units.h"
#include "media/zero_runs.h"
#include "ps/ps_reader.h"
#include "ts/ts_reader.h"

namespace {

using mvtest::Bytes;
using mvtest::ProbedUnits;

// Units of two tracks (side 0 and 1) in file order, 1000 ticks a second: where each stays.
TEST(StampJumps, TheRule) {
  const mv::UnitClock clock{1, 0, 1000};
  const struct {
    const char* name;
    std::vector<std::pair<int, int64_t>> in;
    std::vector<int64_t> out;  // in the order of `in`
    uint64_t jumps;
    int64_t unitTicks = 0;
  } cases[] = {
      {"pictures in presentation order",
       {{0, 0}, {0, 120}, {0, 40}, {0, 80}, {0, 240}, {0, 160}, {0, 200}},
       {0, 120, 40, 80, 240, 160, 200},
       0},
      {"10 s on, 1 s back", {{0, 0}, {0, 40}, {0, 10040}, {0, 9040}}, {0, 40, 10040, 9040}, 0},
      {"over 10 s on in the only track: a hole",
       {{0, 0}, {0, 40}, {0, 10041}, {0, 10081}},
       {0, 40, 10041, 10081},
       0},
      {"over 1 s back, jumps add up; a hole after them moves with them",
       {{0, 0}, {0, 40}, {0, 80}, {0, -1000}, {0, -960}, {0, 50000}},
       {0, 40, 80, 120, 160, 51120},
       1},
      {"a jump before any step forward: the unit's duration",
       {{0, 5000}, {0, 5000}, {0, 0}, {0, 40}},
       {5000, 5000, 5040, 5080},
       1,
       40},
      {"the most common step, not the last",
       {{0, 0}, {0, 40}, {0, 80}, {0, 120}, {0, 130}, {0, -5000}},
       {0, 40, 80, 120, 130, 170},
       1},
      {"a 10 s step is no normal step",
       {{0, 0}, {0, 40}, {0, 80}, {0, 10080}, {0, 9000}},
       {0, 40, 80, 10080, 10120},
       1},
      {"both tracks on from the same moment, video first",
       {{0, 0}, {1, 0}, {0, 40}, {1, 23}, {0, 80}, {1, 46}, {0, 20080}, {1, 20046}, {0, 20120}, {1, 20069}},
       {0, 0, 40, 23, 80, 46, 120, 69, 160, 92},
       2},
      {"both tracks on from the same moment, audio first, the video still a unit behind",
       {{0, 0}, {1, 0}, {0, 40}, {1, 23}, {1, 20046}, {0, 80}, {0, 20080}, {1, 20069}},
       {0, 0, 40, 23, 46, 80, 120, 69},
       2},
      {"the video alone steps on: a hole",
       {{0, 0}, {1, 0}, {0, 40}, {1, 23}, {0, 30040}, {1, 1023}, {1, 2023}, {0, 30080}},
       {0, 0, 40, 23, 30040, 1023, 2023, 30080},
       0},
      {"stills: every video step over 10 s, the audio steady",
       {{0, 0}, {1, 0}, {1, 5000}, {0, 11000}, {1, 10000}, {1, 15000}, {0, 22000}, {1, 20000}},
       {0, 0, 5000, 11000, 10000, 15000, 22000, 20000},
       0},
      {"both on, but not from the same moment",
       {{0, 0}, {1, 0}, {0, 40}, {1, 3000}, {0, 20040}, {1, 40000}, {0, 20080}, {1, 40500}},
       {0, 0, 40, 3000, 20040, 40000, 20080, 40500},
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mv::StampJumps jumps[2];
    mv::UnitVector units[2];
    mv::StampBounds bounds[2];
    mv::StampJoin join(clock, 0);
    for (int side = 0; side < 2; ++side) {
      jumps[side].unitTicks = c.unitTicks;
      join.attach(side, jumps[side], units[side], bounds[side]);
    }
    for (const auto& [side, ticks] : c.in) join.add(side, {ticks, 1}, 0);
    join.finish();
    std::vector<int64_t> got;
    size_t next[2] = {0, 0};
    for (const auto& [side, ticks] : c.in) got.push_back(units[side][next[side]++].ticks);
    EXPECT_EQ(got, c.out);
    EXPECT_EQ(jumps[0].count + jumps[1].count, c.jumps);
  }
}

// The packets end to end, closed up as the rule closes them; the times after the jumps appended.
ProbedUnits closedUp(const ProbedUnits& joined, int64_t perSecond, std::vector<int64_t>& jumps) {
  ProbedUnits out;
  int64_t shift = 0;
  std::vector<std::pair<int64_t, int>> steps;  // forward steps in the order first seen, and how often
  for (size_t i = 0; i < joined.size(); ++i) {
    const int64_t d = i ? joined[i].first - joined[i - 1].first : 0;
    const bool jump = d > 10 * perSecond || d < -perSecond;
    if (jump) {
      const auto most = std::max_element(steps.begin(), steps.end(),
                                         [](const auto& a, const auto& b) { return a.second < b.second; });
      shift = out.back().first + most->first - joined[i].first;
    }
    if (!jump && d > 0) {
      const auto seen = std::find_if(steps.begin(), steps.end(), [&](const auto& s) { return s.first == d; });
      if (seen == steps.end())
        steps.push_back({d, 1});
      else
        ++seen->second;
    }
    out.push_back({joined[i].first + shift, joined[i].second});
    if (jump) jumps.push_back(out.back().first);
  }
  return out;
}

enum class Kind { Ts, Vob, Flv };

struct Case {
  const char* name;
  Kind kind;
  std::vector<const char*> parts;  // ffmpeg options of each part
  bool pictures = false;           // the frame list's pictures follow the closed-up PES stamps
};

TEST(StampJumps, JoinedRecordingsPlayOn) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  const Case cases[] = {
      {"two TS parts", Kind::Ts, {"", ""}, true},
      {"three TS parts", Kind::Ts, {"", "", ""}},
      {"TS with 20 s missing", Kind::Ts, {"", "-output_ts_offset 20"}},
      {"two VOB parts", Kind::Vob, {"", ""}},
      {"FLV whose clock restarts", Kind::Flv, {"", ""}},
  };
  mvtest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const char* codecs = c.kind == Kind::Ts    ? "-c:v mpeg2video -c:a mp2 -f mpegts"
                         : c.kind == Kind::Vob ? "-c:v mpeg2video -c:a mp2 -f vob"
                                               : "-c:v libx264 -c:a aac -f flv";
    const char* probeOptions = c.kind == Kind::Flv ? "" : "-fflags +noparse+nofillin";
    const int64_t perSecond = c.kind == Kind::Flv ? 1000 : 90000;
    Bytes joined;
    ProbedUnits parts[2];
    for (size_t k = 0; k < c.parts.size(); ++k) {
      const std::string part = dir.file("part" + std::to_string(k));
      int status = 0;
      mvtest::runCommand(std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i "
                                     "sine=r=44100 -t 3 ") +
                             codecs + " " + c.parts[k] + " '" + part + "' 2>&1",
                         &status);
      ASSERT_EQ(status, 0);
      for (int t = 0; t < 2; ++t) {
        const ProbedUnits p = mvtest::probePackets(part, probeOptions, t ? "a:0" : "v:0");
        parts[t].insert(parts[t].end(), p.begin(), p.end());
      }
      Bytes bytes = mvtest::readFile(part);
      // FLV: the later parts' tags after the first's, without their header and first tag size.
      const size_t from = c.kind == Kind::Flv && k > 0 ? 13 : 0;
      joined.insert(joined.end(), bytes.begin() + long(from), bytes.end());
    }
    const std::string file = dir.file(c.kind == Kind::Ts    ? "all.ts"
                                      : c.kind == Kind::Vob ? "all.vob"
                                                            : "all.flv");
    mvtest::writeFile(file, joined);
    std::vector<int64_t> jumps;
    const ProbedUnits want[2] = {closedUp(parts[0], perSecond, jumps), closedUp(parts[1], perSecond, jumps)};
    ASSERT_EQ(jumps.size(), 2 * (c.parts.size() - 1));
    const auto walk = c.kind == Kind::Ts    ? mvtest::load<mv::walkTs>
                      : c.kind == Kind::Vob ? mvtest::load<mv::walkPs>
                                            : mvtest::load<mv::walkFlv>;
    mv::FileAnalysis a;
    ASSERT_TRUE(walk(file, a, nullptr).ok());
    mvtest::expectUnitsAndSeries(a, want, perSecond);
    EXPECT_EQ(a.notes, std::vector<std::string>{mv::kNoteTimestampsDiscontinuous});
    int64_t origin = INT64_MAX;
    for (const ProbedUnits& track : want)
      for (const auto& u : track) origin = std::min(origin, u.first);
    // Both tracks jump at each join: one place, at the earlier of the two.
    std::sort(jumps.begin(), jumps.end());
    std::vector<int64_t> places;
    for (int64_t j : jumps)
      if (places.empty() || j - places.back() >= perSecond) places.push_back(j);
    EXPECT_EQ(a.jumpCount, c.parts.size() - 1);
    ASSERT_EQ(a.jumpSeconds.size(), places.size());
    for (size_t i = 0; i < places.size(); ++i)
      EXPECT_NEAR(a.jumpSeconds[i], double(places[i] - origin) / double(perSecond), 1e-9);
    if (!c.pictures) continue;
    // The pictures: one a PES packet here, each at its packet's closed-up time.
    mv::FileAnalysis framed;
    framed.videoUnits.keepPlaces = true;
    ASSERT_TRUE(walk(file, framed, nullptr).ok());
    const mv::TrackUnits& pictures = framed.videoUnits;
    ASSERT_EQ(pictures.units.size(), want[0].size());
    for (size_t i = 0; i < want[0].size(); ++i)
      EXPECT_EQ(pictures.units[i].ticks * 90000, want[0][i].first * int64_t(pictures.clock.den)) << i;
    EXPECT_EQ(framed.jumpCount, a.jumpCount);
    EXPECT_EQ(framed.durationSeconds, a.durationSeconds);
  }
}

// A recording that loses its picture for 30 s while the sound goes on: the seconds without video
// stay where they are, each second as ffprobe's packets have it.
TEST(StampJumps, AHoleInOneTrackStays) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  const struct {
    Kind kind;
    const char* codecs;
  } cases[] = {
      {Kind::Ts, "-c:v mpeg2video -c:a mp2 -f mpegts"},
      {Kind::Vob, "-c:v mpeg2video -c:a mp2 -f vob"},
      {Kind::Flv, "-c:v libx264 -c:a aac -f flv"},
  };
  mvtest::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codecs);
    const std::string file = dir.file("gap30");
    int status = 0;
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine=r=44100 "
                    "-t 50 -vf \"select='not(between(t,10,40))'\" -fps_mode passthrough ") +
            c.codecs + " '" + file + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    const char* probeOptions = c.kind == Kind::Flv ? "" : "-fflags +noparse+nofillin";
    const ProbedUnits want[2] = {mvtest::probePackets(file, probeOptions, "v:0"),
                                 mvtest::probePackets(file, probeOptions, "a:0")};
    const auto walk = c.kind == Kind::Ts    ? mvtest::load<mv::walkTs>
                      : c.kind == Kind::Vob ? mvtest::load<mv::walkPs>
                                            : mvtest::load<mv::walkFlv>;
    mv::FileAnalysis a;
    ASSERT_TRUE(walk(file, a, nullptr).ok());
    mvtest::expectUnitsAndSeries(a, want, c.kind == Kind::Flv ? 1000 : 90000);
    EXPECT_EQ(a.jumpCount, 0u);
    const std::vector<mv::ZeroRun> gaps = mv::zeroRuns(*a.videoSeries);
    ASSERT_EQ(gaps.size(), 1u);
    // Where the encoder's last pictures before the hole end and its first after it begin.
    EXPECT_GE(gaps[0].first, 10u);
    EXPECT_LE(gaps[0].last, 40u);
    EXPECT_GE(gaps[0].last - gaps[0].first, 26u) << gaps[0].first << " " << gaps[0].last;
  }
}

}  // namespace
