// Built MP4 files whose series are worked out by hand: track clocks, edit lists, fragments,
// box size forms, samples cut by the end of the file, and what fails.
#include "mp4/mp4_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "fixtures/loaders.h"
#include "fixtures/mp4_builder.h"

namespace {

namespace mp4 = mvtest::mp4;
using mvtest::Bytes;

std::vector<mp4::Sample> samples(size_t n, uint32_t size, uint32_t duration, size_t gop = 0) {
  std::vector<mp4::Sample> v(n, mp4::Sample{size, duration, true});
  if (gop) {
    for (size_t i = 0; i < n; ++i) v[i].key = i % gop == 0;
  }
  return v;
}

// 60 frames of 100 bytes at 25 fps (2.4 s) and 7 audio packets of 10 bytes every 0.5 s.
mp4::File twoTracks() {
  mp4::File f;
  mp4::Track v;
  v.trackId = 1;
  v.timescale = 25;
  v.samples = samples(60, 100, 1, 30);
  v.chunks = std::vector<uint32_t>(6, 10);
  mp4::Track a;
  a.handler = "soun";
  a.trackId = 2;
  a.timescale = 1000;
  a.samples = samples(7, 10, 500);
  a.chunks = {3, 3, 1};
  f.tracks = {v, a};
  return f;
}

// The same samples carried in two fragments after an empty moov.
mp4::File fragmented(bool tfdt) {
  mp4::File f = twoTracks();
  f.mvex = true;
  f.tracks[0].trexDuration = 1;
  f.tracks[0].trexFlags = 0x01010000;  // non-key unless said otherwise
  f.tracks[1].trexSize = 10;
  const auto v = f.tracks[0].samples;
  const auto a = f.tracks[1].samples;
  for (auto& t : f.tracks) t.samples.clear(), t.chunks.clear();
  for (int k = 0; k < 2; ++k) {
    mp4::Fragment fr;
    mp4::Traf tv;
    tv.trackId = 1;
    tv.durations = false;  // from trex
    tv.firstSampleFlags = 0x02000000;
    tv.samples.assign(v.begin() + 30 * k, v.begin() + 30 * (k + 1));
    mp4::Traf ta;
    ta.trackId = 2;
    ta.explicitBase = k == 1;
    ta.sizes = false;  // from trex, then from tfhd
    if (k == 1) ta.defaultSize = 10;
    ta.samples.assign(a.begin() + 4 * k, k ? a.end() : a.begin() + 4);
    if (tfdt) {
      tv.tfdt = 30 * k;
      tv.tfdtVersion = uint8_t(k);
      ta.tfdt = 2000 * k;
    }
    fr.trafs = {tv, ta};
    f.fragments.push_back(fr);
  }
  return f;
}

struct Case {
  const char* name;
  std::function<Bytes()> make;
  std::vector<uint32_t> video, audio;  // from element 8 on
  int32_t frameRateMilli = 25000;
};

Bytes built(const mp4::File& f) { return f.build(); }

const Case kCases[] = {
    {"TwoClocksOneOrigin", [] { return built(twoTracks()); }, {2500, 2500, 1000, 0}, {20, 20, 20, 10}},
    {"LeadingEmptyEditDelaysAudio",
     [] {
       auto f = twoTracks();
       f.tracks[1].edits = {{1500, -1}, {3500, 0}};
       return built(f);
     },
     {2500, 2500, 1000, 0, 0},
     {0, 10, 20, 20, 20}},
    {"MediaTimeAdvancesVideo",  // v1 elst: +0.5 s empty, −1 s media_time: video at −0.5 s
     [] {
       auto f = twoTracks();
       f.tracks[0].elstVersion = 1;
       f.tracks[0].edits = {{500, -1}, {2000, 25}, {100, 50}};
       return built(f);
     },
     {2500, 2500, 1000, 0},
     {10, 20, 20, 20}},
    {"SamplesPastTheEndDropped",  // the last audio sample and half the one before are cut
     [] {
       Bytes b = built(twoTracks());
       b.resize(b.size() - 15);
       return b;
     },
     {2500, 2500, 1000},
     {20, 20, 10}},
    {"MoovAfterMdat",
     [] {
       auto f = twoTracks();
       f.moovAfterMdat = true;
       return built(f);
     },
     {2500, 2500, 1000, 0},
     {20, 20, 20, 10}},
    {"LargeSizesCo64Stz2",
     [] {
       auto f = twoTracks();
       f.largeSizes = true;
       f.tracks[0].co64 = true;
       f.tracks[1].stz2 = true;
       return built(f);
     },
     {2500, 2500, 1000, 0},
     {20, 20, 20, 10}},
    {"MdatSizeZero",
     [] {
       auto f = twoTracks();
       f.mdatSizeZero = true;
       return built(f);
     },
     {2500, 2500, 1000, 0},
     {20, 20, 20, 10}},
    {"FragmentsWithTfdt", [] { return built(fragmented(true)); }, {2500, 2500, 1000, 0}, {20, 20, 20, 10}},
    {"FragmentsContinuing", [] { return built(fragmented(false)); }, {2500, 2500, 1000, 0}, {20, 20, 20, 10}},
    {"FragmentTfdtJumps",  // the second fragments start 10 s in
     [] {
       auto f = fragmented(true);
       f.fragments[1].trafs[0].tfdt = 250;
       f.fragments[1].trafs[1].tfdt = 10000;
       return built(f);
     },
     {2500, 500, 0, 0, 0, 0, 0, 0, 0, 0, 2500, 500},
     {20, 20, 0, 0, 0, 0, 0, 0, 0, 0, 20, 10},
     59 * 25 * 1000 / 279},
    {"FragmentCutByTheEnd",  // the second moof loses its last byte: only the first fragment counts
     [] {
       auto f = fragmented(true);
       Bytes first = f.build();
       const auto one = f.fragments[0];
       f.fragments = {one};
       Bytes b = f.build();
       b.insert(b.end(), first.begin() + long(b.size()), first.begin() + long(b.size()) + 20);
       return b;
     },
     {2500, 500},
     {20, 20}},
};

class Mp4Built : public ::testing::TestWithParam<Case> {
 protected:
  mvtest::TempDir dir;
};

std::vector<uint32_t> tail(const mv::PerSecondSeries& s) {
  return {s.data() + 8, s.data() + s.elementCount()};
}

TEST_P(Mp4Built, SeriesAsWorkedOut) {
  const Case& c = GetParam();
  const std::string path = dir.file("f.mp4");
  mvtest::writeFile(path, c.make());
  mv::FileAnalysis a;
  const mv::LoadResult r = mvtest::load<mv::walkMp4>(path, a);
  ASSERT_TRUE(r.ok()) << int(r.failure);
  EXPECT_EQ(a.durationSeconds, int32_t(c.video.size()));
  EXPECT_EQ(tail(*a.videoSeries), c.video);
  EXPECT_EQ(tail(*a.audioSeries), c.audio);
  EXPECT_EQ(a.frameWidth, 64);
  EXPECT_EQ(a.frameHeight, 48);
  EXPECT_EQ(a.frameRateMilli, c.frameRateMilli);
  const bool cut =
      std::string(c.name) == "SamplesPastTheEndDropped" || std::string(c.name) == "FragmentCutByTheEnd";
  EXPECT_EQ(a.notes, cut ? std::vector<std::string>{"cut-short"} : std::vector<std::string>{});
  ASSERT_TRUE(a.videoUnits.present && a.audioUnits.present);
  // Key frames every 30 frames from stss or the sample flags.
  for (size_t i = 0; i < a.videoUnits.units.size(); ++i) {
    EXPECT_EQ(a.videoUnits.units[i].key, i % 30 == 0 ? 1u : 0u) << i;
    EXPECT_EQ(a.videoUnits.units[i].bytes, 100u);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Mp4Built, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Mp4Units, TicksAreRawDecodeTimesOnAClockWithTheShift) {
  mvtest::TempDir dir;
  auto f = twoTracks();
  f.movieTimescale = 600;
  f.tracks[0].edits = {{300, -1}, {1000, 5}};  // +0.5 s, −0.2 s
  const std::string path = dir.file("f.mp4");
  mvtest::writeFile(path, f.build());
  mv::FileAnalysis a;
  ASSERT_TRUE(mvtest::load<mv::walkMp4>(path, a).ok());
  ASSERT_EQ(a.videoUnits.units.size(), 60u);
  EXPECT_EQ(a.videoUnits.units[59].ticks, 59);
  const mv::UnitClock& c = a.videoUnits.clock;
  // seconds = (dts × 600 + 300 × 25 − 5 × 600) / (25 × 600)
  EXPECT_EQ(c.den, 25u * 600u);
  EXPECT_TRUE(c.mul == 600 && c.add == 300 * 25 - 5 * 600);
  EXPECT_TRUE(a.audioUnits.clock.add == 0);
}

TEST(Mp4Load, CancelStopsIt) {
  struct Stop : mv::LoadControl {
    bool Continue(uint64_t, uint64_t) override { return false; }
  } stop;
  mvtest::TempDir dir;
  const std::string path = dir.file("f.mp4");
  mvtest::writeFile(path, twoTracks().build());
  mv::FileAnalysis a;
  EXPECT_EQ(mvtest::load<mv::walkMp4>(path, a, &stop).failure, mv::LoadFailure::Cancelled);
  EXPECT_FALSE(a.videoSeries || a.audioSeries);
}

struct FailCase {
  const char* name;
  std::function<Bytes()> make;
  mv::LoadFailure failure;
};

const FailCase kFailCases[] = {
    {"Empty", [] { return Bytes{}; }, mv::LoadFailure::NotThisFormat},
    {"TextFile", [] { return Bytes(40, '\x01'); }, mv::LoadFailure::NotThisFormat},
    {"FirstBoxTooSmall",
     [] {
       return mp4::concat({Bytes{0, 0, 0, 4, 'f', 't', 'y', 'p'}, Bytes(20, 0)});
     },
     mv::LoadFailure::NotThisFormat},
    {"NoMoov",
     [] {
       return mp4::concat({mp4::box("ftyp", Bytes(8, 'a')), mp4::box("mdat", Bytes(100, 1))});
     },
     mv::LoadFailure::Damaged},
    {"MoovCut",
     [] {
       Bytes b = twoTracks().build();
       b.resize(200);
       return b;
     },
     mv::LoadFailure::Damaged},
};

class Mp4Fails : public ::testing::TestWithParam<FailCase> {};

TEST_P(Mp4Fails, WithItsReason) {
  mvtest::TempDir dir;
  const std::string path = dir.file("f.mp4");
  mvtest::writeFile(path, GetParam().make());
  mv::FileAnalysis a;
  EXPECT_EQ(mvtest::load<mv::walkMp4>(path, a).failure, GetParam().failure);
  EXPECT_FALSE(a.videoSeries || a.audioSeries);
}

INSTANTIATE_TEST_SUITE_P(Cases, Mp4Fails, ::testing::ValuesIn(kFailCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Samples of the default size 0 take nothing of the file: a small file keeps as many as the
// floor lets a track hold, and is damaged at the trun that declares one more.
TEST(Mp4Units, EmptySamplesDeclaredByACountStopAtTheFloor) {
  for (const uint64_t count : {mv::kUnitFloor, mv::kUnitFloor + 1}) {
    SCOPED_TRACE(count);
    uint64_t trun = 0;
    const Bytes b = mp4::emptySampleFragment(uint32_t(count), &trun);
    mvtest::TempDir dir;
    const std::string path = dir.file("f.mp4");
    mvtest::writeFile(path, b);
    mv::FileAnalysis a;
    const mv::LoadResult r = mvtest::load<mv::walkMp4>(path, a);
    if (count == mv::kUnitFloor) {
      ASSERT_TRUE(r.ok());
      EXPECT_EQ(a.videoUnits.unitCount(), count);
    } else {
      EXPECT_EQ(r.failure, mv::LoadFailure::Damaged);
      EXPECT_EQ(r.position, trun);
    }
  }
}

}  // namespace
