// Program streams built pack by pack, plain and in VCD sectors, and made by ffmpeg; the oracle
// for real files is ffprobe's packet list read without its parsers, one packet per PES.
#include "ps/ps_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sstream>

#include "fixtures/byte_writer.h"
#include "fixtures/gst_files.h"
#include "fixtures/loaders.h"
#include "fixtures/probed_frames.h"
#include "fixtures/probed_series.h"
#include "fixtures/text_capture.h"
#include "ps/ps_info.h"

namespace {

using mvtest::Bytes;
constexpr int64_t kWrap = int64_t(1) << 33;

Bytes filled(size_t n, std::initializer_list<uint8_t> head = {}) {
  Bytes b(head);
  b.resize(n, 0x55);
  return b;
}

// Packs and PES packets of one syntax: MPEG-1 (stuffing and STD buffer before the stamps) or
// MPEG-2 (flags and header length).
class PsWriter {
 public:
  explicit PsWriter(bool mpeg2) : mpeg2_(mpeg2) {}

  void pack() {
    w_.u32be(0x000001BA);
    if (mpeg2_) {
      w_.bytes({0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xFA});  // mux rate 25200
      w_.bytes({0xFF, 0xFF});                                                  // two stuffing bytes
    } else {
      w_.bytes({0x21, 0x00, 0x01, 0x00, 0x01, 0x80, 0x1B, 0x83});  // mux rate 3521
    }
  }
  void other(uint8_t id, size_t n) { w_.u32be(0x00000100u | id).u16be(uint16_t(n)).bytes(Bytes(n, 0xFF)); }
  void pes(uint8_t id, std::optional<int64_t> pts, std::optional<int64_t> dts, const Bytes& payload) {
    Bytes h;
    auto stamp = [&](uint8_t prefix, int64_t v) {
      h.insert(h.end(), {uint8_t((prefix << 4) | ((v >> 29) & 0x0E) | 1), uint8_t(v >> 22),
                         uint8_t((v >> 14) | 1), uint8_t(v >> 7), uint8_t((v << 1) | 1)});
    };
    if (pts) stamp(dts ? 3 : 2, *pts);
    if (dts) stamp(1, *dts);
    if (mpeg2_) {
      h.insert(h.begin(), {0x81, uint8_t(pts ? (dts ? 0xC0 : 0x80) : 0), uint8_t(h.size() + 1)});
      h.push_back(0xFF);  // stuffing inside the header length
    } else {
      h.insert(h.begin(), {0xFF, 0xFF, 0x60, 0x2E});  // stuffing, STD buffer
      if (!pts) h.push_back(0x0F);
    }
    w_.u32be(0x00000100u | id).u16be(uint16_t(h.size() + payload.size())).bytes(h).bytes(payload);
  }
  void raw(const Bytes& b) { w_.bytes(b); }
  Bytes take() { return w_.take(); }

 private:
  bool mpeg2_;
  mvtest::ByteWriter w_;
};

// An MPEG-2 sequence header of 64 x 48 opening the first picture.
const Bytes kSequence64x48 = [] {
  Bytes b{0, 0, 1, 0xB3, 0x04, 0x00, 0x30, 0x13, 0xFF, 0xFF, 0xE0, 0x18};
  b.resize(100, 0);
  return b;
}();

// An audio PES on private stream 1: sub-stream id and the three DVD header bytes are payload.
Bytes ac3(uint8_t sub, size_t n) { return filled(n, {sub, 1, 0, 1, 0x0B, 0x77}); }

// Video DTS, PTS and no stamp; audio at 0.5 s before the video. `gap` after each pack.
void twoTracks(PsWriter& w, bool privateAudio, const Bytes& gap = {}, size_t padding = 40) {
  auto audio = [&](int64_t pts, size_t n) {
    if (privateAudio)
      w.pes(0xBD, pts, std::nullopt, ac3(0x80, n));
    else
      w.pes(0xC0, pts, std::nullopt, filled(n));
  };
  w.pack();
  w.other(0xBB, 12);
  if (privateAudio) w.pes(0xBD, 1000, std::nullopt, filled(77, {0x20}));  // subpicture: no audio
  audio(45000, 30);
  w.raw(gap);
  w.pack();
  w.pes(0xE0, 93000, 90000, kSequence64x48);
  w.other(0xBE, padding);
  w.pes(0xE1, 0, std::nullopt, filled(9));  // a second video stream
  w.raw(gap);
  w.pack();
  w.pes(0xE0, 200000, std::nullopt, filled(200));
  w.pes(0xE0, std::nullopt, std::nullopt, filled(50));
  w.other(0xBF, 20);
  w.pes(0xC1, 0, std::nullopt, filled(3));  // a second audio stream
  if (privateAudio) w.pes(0xBD, 0, std::nullopt, ac3(0x81, 5));
  audio(225000, 400);
  w.raw({0, 0, 1, 0xB9});
}

// The program stream cut into sectors, Form 1 and Form 2 by turns, in a RIFF CDXA file.
Bytes cdxa(const Bytes& ps, bool mixedForms) {
  mvtest::ByteWriter sectors;
  bool form2 = true;
  for (size_t at = 0; at < ps.size(); form2 = !mixedForms || !form2) {
    const size_t user = form2 ? 2324 : 2048;
    sectors.bytes(
        {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00, 0x02});
    const uint8_t submode = form2 ? 0x62 : 0x08;
    sectors.bytes({1, 1, submode, 0x0F, 1, 1, submode, 0x0F});
    Bytes data(ps.begin() + long(at), ps.begin() + long(std::min(ps.size(), at + user)));
    data.resize(user, 0);
    sectors.bytes(data).zeros(2352 - 24 - user);
    at += user;
  }
  mvtest::ByteWriter w;
  w.chars("RIFF").u32le(uint32_t(4 + 24 + 8 + sectors.size())).chars("CDXAfmt ").u32le(16).zeros(16);
  w.chars("data").u32le(uint32_t(sectors.size())).bytes(sectors.data());
  return w.take();
}

std::vector<uint32_t> seconds(const mv::PerSecondSeries& s) {
  return std::vector<uint32_t>(s.data() + 8, s.data() + s.elementCount());
}

// The walk's units one a PES packet, which the series are made of.
mv::PsFile pesOf(const std::string& file) {
  mv::InputFile in;
  mv::PsFile ps;
  EXPECT_TRUE(in.open(file));
  EXPECT_TRUE(mv::readPs(in, ps).ok());
  return ps;
}

class PsReader : public ::testing::Test {
 protected:
  mv::LoadResult load(const Bytes& bytes, mv::FileAnalysis& a, const char* name = "clip.mpg") {
    path = dir.file(name);
    mvtest::writeFile(path, bytes);
    return mvtest::load<mv::walkPs>(path, a);
  }
  mvtest::TempDir dir;
  std::string path;
};

struct Case {
  const char* name;
  std::function<Bytes()> build;
  std::vector<uint32_t> video, audio;
};

Bytes made(bool mpeg2, bool privateAudio, const Bytes& gap = {}, size_t padding = 40) {
  PsWriter w(mpeg2);
  twoTracks(w, privateAudio, gap, padding);
  return w.take();
}

TEST_F(PsReader, PesPacketsBecomeUnitsOfTheirSecond) {
  const std::vector<uint32_t> video{100, 250, 0}, audio{30, 0, 400};
  const Bytes junk{1, 0, 0, 1, 0xB3, 9, 0, 0, 0, 1};
  const Case cases[] = {
      {"MPEG-1", [] { return made(false, false); }, video, audio},
      {"MPEG-2", [] { return made(true, false); }, video, audio},
      {"MPEG-2 with AC-3 on private stream 1", [] { return made(true, true); }, video, audio},
      {"garbage skipped", [&] { return made(true, true, junk); }, video, audio},
      {"VCD zeros skipped", [] { return made(false, false, Bytes(20, 0)); }, video, audio},
      {"VCD sectors", [] { return cdxa(made(false, false, Bytes(20, 0)), false); }, video, audio},
      {"VCD sectors of both forms", [] { return cdxa(made(true, true), true); }, video, audio},
      {"cut PES left out",
       [] {
         Bytes b = made(true, false);
         PsWriter w(true);
         w.pes(0xC0, 315000, std::nullopt, filled(300));
         const Bytes cut = w.take();
         b.insert(b.end(), cut.begin(), cut.end() - 1);
         return b;
       },
       video, audio},
      {"audio only, its first PES unstamped",
       [] {
         PsWriter w(false);
         w.pack();
         w.pes(0xC0, std::nullopt, std::nullopt, filled(8));
         w.pes(0xC0, 10, std::nullopt, filled(9));
         w.pes(0xC0, 90010, std::nullopt, filled(10));
         return w.take();
       },
       {0, 0},
       {9, 10}},
      {"wrap inside a track",
       [] {
         PsWriter w(true);
         w.pack();
         w.pes(0xE0, kWrap - 44999, std::nullopt, filled(1000));
         w.pes(0xE0, 45000, std::nullopt, filled(2000));
         w.pes(0xE0, kWrap - 45000, std::nullopt, filled(3));  // 1 s back: no jump yet
         return w.take();
       },
       {1003, 2000},
       {}},
      {"wrap between the two tracks' first stamps",
       [] {
         PsWriter w(true);
         w.pack();
         w.pes(0xC0, 0, std::nullopt, filled(20));
         w.pes(0xE0, kWrap - 90000, std::nullopt, filled(10));
         w.pes(0xC0, 90000, std::nullopt, filled(30));
         return w.take();
       },
       {10, 0, 0},
       {0, 20, 30}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mv::FileAnalysis a;
    ASSERT_TRUE(load(c.build(), a, "clip.dat").ok());
    EXPECT_EQ(seconds(*a.videoSeries), c.video);
    EXPECT_EQ(seconds(*a.audioSeries), c.audio.empty() ? std::vector<uint32_t>(c.video.size(), 0) : c.audio);
    EXPECT_EQ(a.audioUnits.present, !c.audio.empty());
  }
}

// Packs and PES headers read across the end of a sector's user data, either form.
TEST_F(PsReader, SectorEndsAnywhere) {
  for (size_t padding = 1700; padding < 2330; padding += 3) {
    SCOPED_TRACE(padding);
    mv::FileAnalysis a;
    ASSERT_TRUE(
        load(cdxa(made(padding % 2 == 0, true, Bytes(20, 0), padding), padding % 2 == 0), a, "x.dat").ok());
    EXPECT_EQ(seconds(*a.videoSeries), (std::vector<uint32_t>{100, 250, 0}));
    EXPECT_EQ(seconds(*a.audioSeries), (std::vector<uint32_t>{30, 0, 400}));
  }
}

TEST_F(PsReader, KeyFlagsPictureSizeAndRate) {
  mv::FileAnalysis a;
  ASSERT_TRUE(load(made(false, false), a).ok());
  const mv::PsFile ps = pesOf(path);
  ASSERT_EQ(ps.video.units.size(), 3u);
  EXPECT_EQ(ps.video.units[0].key, 1u);
  EXPECT_EQ(ps.video.units[1].key, 0u);
  EXPECT_EQ(ps.video.units[2].ticks, 200000);  // the stamp before
  EXPECT_EQ(a.frameWidth, 64);
  EXPECT_EQ(a.frameHeight, 48);
}

TEST_F(PsReader, WhatFailsToLoad) {
  Bytes late = made(true, false);
  late.insert(late.begin(), {0, 0});
  Bytes riffNotPs = cdxa(late, false);
  const struct {
    Bytes bytes;
    mv::LoadFailure failure;
  } cases[] = {{{}, mv::LoadFailure::NotThisFormat},
               {Bytes(5000, 0x00), mv::LoadFailure::NotThisFormat},
               {late, mv::LoadFailure::NotThisFormat},
               {riffNotPs, mv::LoadFailure::NotThisFormat}};
  for (const auto& c : cases) {
    mv::FileAnalysis a;
    EXPECT_EQ(load(c.bytes, a).failure, c.failure);
    EXPECT_FALSE(a.videoSeries || a.audioSeries);
  }
}

TEST_F(PsReader, TruncationsAndMutationsLoadOrFail) {
  // Every cut of the plain file; the sectors' cuts every few bytes.
  const struct {
    Bytes file;
    size_t cutStep;
  } files[] = {{made(true, true, {0, 0, 1}), 1}, {cdxa(made(false, false), true), 17}};
  for (const auto& [file, step] : files) {
    std::mt19937 rng(11);
    for (size_t round = 0; round < 1500 + file.size(); round += round < file.size() ? step : 1) {
      Bytes b(file.begin(), file.begin() + long(std::min(round, file.size())));
      if (round >= file.size()) {
        b = file;
        for (int e = 0; e < 1 + int(rng() % 4); ++e)
          b[rng() % b.size()] = uint8_t(rng() % 3 == 0 ? 0x01 : rng());
      }
      mv::FileAnalysis a;
      if (load(b, a, "clip.dat").ok()) {
        ASSERT_TRUE(a.videoSeries && a.audioSeries);
        ASSERT_EQ(a.videoSeries->elementCount(), uint32_t(a.durationSeconds) + 8);
      } else {
        ASSERT_FALSE(a.videoSeries || a.audioSeries);
      }
    }
  }
}

// `a`, read from `file` or from its bytes, against ffprobe's packets; `audioExtra`: private
// stream 1 bytes ffprobe leaves out.
void expectMatchesProbe(const std::string& file, mv::FileAnalysis& a, uint32_t audioExtra) {
  const char* options = "-fflags +noparse+nofillin";
  const mvtest::ProbedUnits probed[2] = {mvtest::probePackets(file, options, "v:0"),
                                         mvtest::probePackets(file, options, "a:0", audioExtra)};
  ASSERT_FALSE(probed[0].empty() || probed[1].empty());
  EXPECT_EQ(a.frameWidth, 64);
  EXPECT_EQ(a.frameHeight, 48);
  // The rate the stream declares, not PES packets a second (ffmpeg puts several small frames in one).
  EXPECT_EQ(a.frameRateMilli, 25000);
  a.videoUnits = pesOf(file).video;
  mvtest::expectUnitsAndSeries(a, probed, 90000);
}

TEST_F(PsReader, FfmpegFilesMatchTheProbe) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  const struct {
    const char* options;
    uint32_t audioExtra;  // private stream 1 bytes ffprobe leaves out
    bool sectors;
  } cases[] = {{"-c:v mpeg1video -c:a mp2 -f mpeg", 0, false},
               {"-c:v mpeg2video -c:a ac3 -f vob", 4, false},
               {"-c:v mpeg2video -c:a mp2 -f svcd", 0, false},
               {"-c:v mpeg1video -c:a mp2 -f vcd", 0, false},
               {"-c:v mpeg1video -c:a mp2 -f vcd", 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.options) + (c.sectors ? " in sectors" : ""));
    const std::string file = dir.file("made.mpg");
    int status = 0;
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine=r=44100 -t 4 ") +
            c.options + " '" + file + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    mv::FileAnalysis a;
    if (c.sectors) {
      ASSERT_TRUE(load(cdxa(mvtest::readFile(file), false), a, "AVSEQ01.DAT").ok());
    } else {
      ASSERT_TRUE(mvtest::load<mv::walkPs>(file, a).ok());
    }
    expectMatchesProbe(file, a, c.audioExtra);
    if (HasFatalFailure()) return;
    if (c.audioExtra) {
      int result = 0;
      const std::string text =
          mvtest::reportOf(dir, mvtest::readFile(file), ".vob", mv::writePsInfo, &result);
      EXPECT_EQ(result, 1);
      for (const char* row :
           {"MPEG-2", "0xE0", "0xBD/0x80", "AC-3", "64 x 48", "kbps (1024 bits/second)\r\n"})
        EXPECT_NE(text.find(row), std::string::npos) << row;
    }
  }
}

// The frame list holds pictures cut from the PES payloads, as ffprobe's parser cuts them; the
// pictures are large enough that each starts in a PES packet of its own, for ffprobe's types.
TEST_F(PsReader, PicturesMatchTheProbe) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  for (const char* options :
       {"-c:v mpeg2video -bf 2 -c:a ac3 -f vob", "-c:v mpeg2video -bf 2 -c:a mp2 -f dvd",
        "-c:v mpeg1video -bf 2 -c:a mp2 -f mpeg", "-c:v mpeg1video -bf 0 -an -f mpeg"}) {
    SCOPED_TRACE(options);
    const std::string file = dir.file("made.mpg");
    int status = 0;
    mvtest::runCommand(std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=352x288:r=25 -f lavfi -i "
                                   "sine=r=48000 -t 3 -q:v 2 ") +
                           options + " '" + file + "' 2>&1",
                       &status);
    ASSERT_EQ(status, 0);
    // Opening keeps the PES packets as units, with the stream's declared rate; a frame list
    // asks for the pictures.
    mv::FileAnalysis opened;
    ASSERT_TRUE(mvtest::load<mv::walkPs>(file, opened).ok());
    EXPECT_EQ(opened.frameRateMilli, 25000);
    mv::FileAnalysis a;
    a.videoUnits.keepPlaces = true;
    ASSERT_TRUE(mvtest::load<mv::walkPs>(file, a).ok());
    mvtest::expectFramesMatchProbe(file, a, std::string(options).find("264") == std::string::npos);
    EXPECT_EQ(a.frameRateMilli, 25000);
    EXPECT_TRUE(a.notes.empty());
  }
}

// mpegpsmux puts AAC and MPEG audio on C0, never on private stream 1.
TEST_F(PsReader, GstreamerFilesMatchTheProbe) {
  for (const mvtest::GstRemux& c : {mvtest::kGstMpeg2Mp2, mvtest::kGstH264Aac}) {
    SCOPED_TRACE(c.source);
    const std::string file = dir.file("gst.mpg");
    std::string missing;
    const mvtest::GstMade made = mvtest::remuxWithGstreamer(dir, c, "mpegpsmux", file, &missing);
    if (made == mvtest::GstMade::Missing) GTEST_SKIP() << missing << " not installed";
    if (made != mvtest::GstMade::Yes) continue;
    mv::FileAnalysis a;
    ASSERT_TRUE(mvtest::load<mv::walkPs>(file, a).ok());
    expectMatchesProbe(file, a, 0);
  }
}

}  // namespace
