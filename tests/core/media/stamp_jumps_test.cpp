// Joined recordings (TS, PS, FLV parts made by ffmpeg, put end to end): their time stamps jump
// and are closed up; TS parts keep their own continuity counters, as `cat` leaves them. The oracle is
// ffprobe's packets of each part alone, end to end, each jump closed up by the track's last forward step that
// was none.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"
#include "fixtures/probed_series.h"
#include "flv/flv_reader.h"
#include "media/timed_units.h"
#include "ps/ps_reader.h"
#include "ts/ts_reader.h"

namespace {

using mvtest::Bytes;
using mvtest::ProbedUnits;

TEST(StampJumps, SmallStepsBackAndUpToTenSecondsOnStayJumpsCloseUp) {
  const mv::UnitClock clock{1, 0, 1000};
  const struct {
    const char* name;
    std::vector<int64_t> in, out;
    uint64_t jumps;
  } cases[] = {
      {"pictures in presentation order", {0, 120, 40, 80, 240, 160, 200}, {0, 120, 40, 80, 240, 160, 200}, 0},
      {"10 s on, 1 s back", {0, 40, 10040, 9040}, {0, 40, 10040, 9040}, 0},
      {"over 10 s on", {0, 40, 10041, 10081}, {0, 40, 80, 120}, 1},
      {"over 1 s back, jumps add up", {0, 40, 80, -1000, -960, 50000}, {0, 40, 80, 120, 160, 200}, 2},
      {"a jump before any step forward", {5000, 5000, 0, 40}, {5000, 5000, 5000, 5040}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mv::StampJumps jumps;
    std::vector<int64_t> got;
    for (int64_t t : c.in) got.push_back(jumps.place(t, clock));
    EXPECT_EQ(got, c.out);
    EXPECT_EQ(jumps.count, c.jumps);
  }
}

// The packets end to end, closed up as the rule closes them; the times after the jumps appended.
ProbedUnits closedUp(const ProbedUnits& joined, int64_t perSecond, std::vector<int64_t>& jumps) {
  ProbedUnits out;
  int64_t shift = 0, step = 0;
  for (size_t i = 0; i < joined.size(); ++i) {
    const int64_t d = i ? joined[i].first - joined[i - 1].first : 0;
    const bool jump = d > 10 * perSecond || d < -perSecond;
    if (jump) shift = out.back().first + step - joined[i].first;
    if (!jump && d > 0) step = d;
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

}  // namespace
