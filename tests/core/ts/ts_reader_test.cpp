// Transport streams built packet by packet, and made by ffmpeg; the oracle for real files is
// ffprobe's packet list read without its parsers, one packet per PES.
#include "ts/ts_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sstream>

#include "analysis/buffer_check.h"
#include "analysis/file_slot.h"
#include "fixtures/byte_writer.h"
#include "fixtures/gst_files.h"
#include "fixtures/loaders.h"
#include "fixtures/probed_frames.h"
#include "fixtures/probed_series.h"
#include "fixtures/text_capture.h"
#include "media/frames.h"
#include "ts/ts_info.h"

namespace {

using mvtest::Bytes;
constexpr int64_t kWrap = int64_t(1) << 33;

struct Es {
  uint8_t type;
  uint16_t pid;
  Bytes descriptors;
};

// Packets of one size; each TS packet's 188 bytes wrapped as the size asks.
class TsWriter {
 public:
  explicit TsWriter(uint32_t size = 188) : size_(size) {}

  // One packet; a payload under 184 bytes (or a random access flag) brings an adaptation field.
  void packet(uint16_t pid, bool start, const Bytes& payload, bool key = false) {
    if (size_ == 192) w_.u32be(0x1234);
    const bool adaptation = payload.size() < 184 || key;
    w_.u8(0x47)
        .u8(uint8_t((start ? 0x40 : 0) | (pid >> 8)))
        .u8(uint8_t(pid))
        .u8(uint8_t(adaptation ? 0x30 : 0x10));
    if (adaptation) {
      const size_t length = 183 - payload.size();
      w_.u8(uint8_t(length));
      if (length > 0) {
        w_.u8(key ? 0x40 : 0);
        w_.bytes(Bytes(length - 1, 0xFF));
      }
    }
    w_.bytes(payload);
    if (size_ == 204) w_.zeros(16);
  }

  // A PSI section behind a zero pointer field, spread over as many packets as it needs.
  // `extension`: the PAT's stream id, the PMT's program number.
  void section(uint16_t pid, const Bytes& body, uint8_t tableId, uint16_t extension) {
    Bytes s{tableId,
            uint8_t(0xB0 | ((body.size() + 9) >> 8)),
            uint8_t(body.size() + 9),
            uint8_t(extension >> 8),
            uint8_t(extension),
            0xC1,
            0,
            0};
    s.insert(s.end(), body.begin(), body.end());
    s.insert(s.end(), {0, 0, 0, 0});  // CRC, not checked
    s.insert(s.begin(), 0);
    for (size_t at = 0; at < s.size(); at += 184) {
      Bytes chunk(s.begin() + long(at), s.begin() + long(std::min(s.size(), at + 184)));
      chunk.resize(184, 0xFF);
      packet(pid, at == 0, chunk);
    }
  }
  void pat(std::vector<std::pair<uint16_t, uint16_t>> programs) {
    Bytes body;
    for (auto [number, pid] : programs)
      body.insert(body.end(),
                  {uint8_t(number >> 8), uint8_t(number), uint8_t(0xE0 | pid >> 8), uint8_t(pid)});
    section(0, body, 0x00, 1);
  }
  void pmt(uint16_t pid, uint16_t program, const std::vector<Es>& streams) {
    Bytes body{0xE1, 0x00, 0xF0, 0x00};
    for (const Es& e : streams) {
      body.insert(body.end(), {e.type, uint8_t(0xE0 | e.pid >> 8), uint8_t(e.pid), uint8_t(0xF0),
                               uint8_t(e.descriptors.size())});
      body.insert(body.end(), e.descriptors.begin(), e.descriptors.end());
    }
    section(pid, body, 0x02, program);
  }

  // A PES packet: header with the stamps given, `payload` after it, split over packets.
  void pes(uint16_t pid, std::optional<int64_t> pts, std::optional<int64_t> dts, const Bytes& payload,
           bool zeroLength = false, bool key = false) {
    Bytes h{0, 0, 1, uint8_t(pid < 0x101 ? 0xE0 : 0xC0), 0, 0, 0x80, 0, 0};
    auto stamp = [&](uint8_t prefix, int64_t v) {
      h.insert(h.end(), {uint8_t((prefix << 4) | ((v >> 29) & 0x0E) | 1), uint8_t(v >> 22),
                         uint8_t((v >> 14) | 1), uint8_t(v >> 7), uint8_t((v << 1) | 1)});
    };
    if (pts) stamp(dts ? 3 : 2, *pts);
    if (dts) stamp(1, *dts);
    h[7] = uint8_t(pts ? (dts ? 0xC0 : 0x80) : 0);
    h[8] = uint8_t(h.size() - 9);
    const size_t length = zeroLength ? 0 : h.size() - 6 + payload.size();
    h[4] = uint8_t(length >> 8);
    h[5] = uint8_t(length);
    h.insert(h.end(), payload.begin(), payload.end());
    for (size_t at = 0; at < h.size();) {
      const size_t room = at == 0 && key ? 182 : 184;
      const size_t n = std::min(room, h.size() - at);
      packet(pid, at == 0, Bytes(h.begin() + long(at), h.begin() + long(at + n)), at == 0 && key);
      at += n;
    }
  }
  void raw(const Bytes& b) { w_.bytes(b); }
  Bytes take() { return w_.take(); }
  size_t size() const { return w_.size(); }

 private:
  uint32_t size_;
  mvtest::ByteWriter w_;
};

Bytes filled(size_t n, std::initializer_list<uint8_t> head = {}) {
  Bytes b(head);
  b.resize(n, 0x55);
  return b;
}

// An MPEG-2 sequence header of 64 x 48 opening the first picture.
const Bytes kSequence64x48 = [] {
  Bytes b{0, 0, 1, 0xB3, 0x04, 0x00, 0x30, 0x13, 0xFF, 0xFF, 0xE0, 0x18};
  b.resize(100, 0);
  return b;
}();

std::vector<uint32_t> seconds(const mv::PerSecondSeries& s) {
  return std::vector<uint32_t>(s.data() + 8, s.data() + s.elementCount());
}

const std::vector<Es> kMpeg2AndMp2 = {{0x02, 0x100, {}}, {0x03, 0x101, {}}};

// Video DTS, PTS and no stamp; audio at 0.5 s before the video.
void twoTracks(TsWriter& w, const Bytes& garbage = {}) {
  w.pat({{0, 0x10}, {1, 0x1000}});
  w.pmt(0x1000, 1, kMpeg2AndMp2);
  w.pes(0x101, 45000, std::nullopt, filled(30));
  w.pes(0x100, 93000, 90000, kSequence64x48, false, true);
  w.raw(garbage);
  w.pes(0x100, 200000, std::nullopt, filled(200));
  w.pes(0x100, std::nullopt, std::nullopt, filled(50));
  w.pes(0x101, 225000, std::nullopt, filled(400));
}

struct Case {
  const char* name;
  std::function<void(TsWriter&)> build;
  std::vector<uint32_t> video, audio;
  uint32_t packetSize = 188;
  size_t cutBytes = 0;  // bytes taken off the end
};

// The walk's units one a PES packet, which the series are made of.
mv::TsFile pesOf(const std::string& file) {
  mv::InputFile in;
  mv::TsFile ts;
  EXPECT_TRUE(in.open(file));
  EXPECT_TRUE(mv::readTs(in, ts).ok());
  return ts;
}

class TsReader : public ::testing::Test {
 protected:
  mv::LoadResult load(const Bytes& bytes, mv::FileAnalysis& a) {
    mvtest::writeFile(path, bytes);
    return mvtest::load<mv::walkTs>(path, a);
  }
  mvtest::TempDir dir;
  std::string path = dir.file("clip.ts");
};

TEST_F(TsReader, PesPacketsBecomeUnitsOfTheirSecond) {
  const Bytes junk{1, 0x47, 2, 0x47, 0x47, 9, 9, 9, 0x47, 0, 0, 0, 5};
  const std::vector<uint32_t> video{100, 250, 0}, audio{30, 0, 400};
  const Case cases[] = {
      {"two tracks", [](TsWriter& w) { twoTracks(w); }, video, audio},
      {"m2ts", [](TsWriter& w) { twoTracks(w); }, video, audio, 192},
      {"check bytes", [](TsWriter& w) { twoTracks(w); }, video, audio, 204},
      {"garbage resynced", [&](TsWriter& w) { twoTracks(w, junk); }, video, audio},
      {"garbage resynced m2ts", [&](TsWriter& w) { twoTracks(w, junk); }, video, audio, 192},
      {"cut PES left out",
       [](TsWriter& w) {
         twoTracks(w);
         w.pes(0x101, 315000, std::nullopt, filled(300));
       },
       video, audio, 188, 100},
      {"zero length video runs to the next start and the end",
       [](TsWriter& w) {
         w.pat({{1, 0x20}});
         w.pmt(0x20, 1, {{0x1B, 0x100, {}}});
         w.pes(0x100, 0, std::nullopt, filled(500), true);
         w.pes(0x100, 90000, std::nullopt, filled(10), true);
       },
       {500, 10},
       {}},
      {"wrap inside a track",
       [](TsWriter& w) {
         w.pat({{1, 0x20}});
         w.pmt(0x20, 1, kMpeg2AndMp2);
         w.pes(0x100, kWrap - 44999, std::nullopt, filled(1000));
         w.pes(0x100, 45000, std::nullopt, filled(2000));
         w.pes(0x100, kWrap - 45000, std::nullopt, filled(3));  // back again, before the first: 1 s, no jump
       },
       {1003, 2000},
       {0, 0}},
      {"wrap between the two tracks' first stamps",
       [](TsWriter& w) {
         w.pat({{1, 0x20}});
         w.pmt(0x20, 1, kMpeg2AndMp2);
         w.pes(0x101, 0, std::nullopt, filled(20));
         w.pes(0x100, kWrap - 90000, std::nullopt, filled(10));
         w.pes(0x101, 90000, std::nullopt, filled(30));
       },
       {10, 0, 0},
       {0, 20, 30}},
      {"private data chosen by its descriptor",
       [](TsWriter& w) {
         w.pat({{1, 0x20}});
         w.pmt(
             0x20, 1,
             {{0x06, 0x102, {}}, {0x06, 0x103, {0x05, 4, 'O', 'p', 'u', 's'}}, {0x06, 0x104, {0x6A, 1, 0}}});
         w.pes(0x102, 0, std::nullopt, filled(70, {0x12, 0x34}));
         w.pes(0x104, 0, std::nullopt, filled(90));
         w.pes(0x103, 0, std::nullopt, filled(80));
       },
       {0},
       {80}},
      {"private data chosen by its sync word",
       [](TsWriter& w) {
         w.pat({{1, 0x20}});
         w.pmt(0x20, 1, {{0x06, 0x102, {}}, {0x06, 0x103, {}}, {0x06, 0x104, {}}});
         w.pes(0x102, 0, std::nullopt, filled(70, {0xFF, 0xE1}));  // MPEG audio without a layer: neither
         w.pes(0x103, 0, std::nullopt, filled(80, {0x56, 0xE1}));  // LATM
         w.pes(0x103, 90000, std::nullopt, filled(81, {0x12, 0x34}));
         w.pes(0x104, 0, std::nullopt, filled(90, {0x0B, 0x77}));
       },
       {0, 0},
       {80, 81}},
      {"the first program's streams only, its PAT over two packets",
       [](TsWriter& w) {
         std::vector<std::pair<uint16_t, uint16_t>> programs{{0, 0x10}, {7, 0x30}, {8, 0x40}};
         for (uint16_t i = 0; i < 50; ++i) programs.push_back({uint16_t(100 + i), uint16_t(0x50 + i)});
         w.pat(programs);
         w.pmt(0x40, 8, {{0x03, 0x200, {}}});
         w.pmt(0x30, 7, {{0x0F, 0x101, {}}});
         w.pes(0x200, 0, std::nullopt, filled(5));
         w.pes(0x101, 0, std::nullopt, filled(6));
       },
       {0},
       {6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TsWriter w(c.packetSize);
    c.build(w);
    Bytes b = w.take();
    b.resize(b.size() - c.cutBytes);
    mv::FileAnalysis a;
    ASSERT_TRUE(load(b, a).ok());
    EXPECT_EQ(seconds(*a.videoSeries), c.video);
    EXPECT_EQ(seconds(*a.audioSeries), c.audio.empty() ? std::vector<uint32_t>(c.video.size(), 0) : c.audio);
    EXPECT_EQ(a.audioUnits.present, !c.audio.empty());
  }
}

TEST_F(TsReader, KeyFlagsPictureSizeAndRate) {
  TsWriter w;
  twoTracks(w);
  mv::FileAnalysis a;
  ASSERT_TRUE(load(w.take(), a).ok());
  const mv::TsFile ts = pesOf(path);
  ASSERT_EQ(ts.video.units.size(), 3u);
  EXPECT_EQ(ts.video.units[0].key, 1u);
  EXPECT_EQ(ts.video.units[1].key, 0u);
  EXPECT_EQ(ts.video.units[2].ticks, 200000);  // the stamp before
  EXPECT_EQ(a.frameWidth, 64);
  EXPECT_EQ(a.frameHeight, 48);
}

// Without a random access flag the first picture tells a key frame, wherever its start code and
// coding type fall among the packets the PES payload came in.
TEST_F(TsReader, FirstPictureTellsAKeyFrameAcrossPackets) {
  struct PictureCase {
    size_t at;     // the picture start code's offset in the PES payload
    uint8_t type;  // picture_coding_type
    uint32_t key;
  };
  // The first packet carries 170 payload bytes after a 14-byte PES header.
  std::vector<PictureCase> cases;
  for (size_t k = 0; k <= 7; ++k) cases.push_back({170 - k, 1, 1}), cases.push_back({170 - k, 2, 0});
  cases.push_back({4090, 1, 1});  // the coding type is the last byte looked at
  cases.push_back({4091, 1, 0});  // past the bytes looked at
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "at " << c.at << " type " << int(c.type));
    Bytes es = filled(c.at);
    es.insert(es.end(), {0, 0, 1, 0x00, 0x00, uint8_t(c.type << 3)});
    es.resize(c.at + 600, 0x55);
    TsWriter w;
    w.pat({{1, 0x1000}});
    w.pmt(0x1000, 1, kMpeg2AndMp2);
    w.pes(0x100, 90000, std::nullopt, es);
    w.pes(0x100, 93600, std::nullopt, filled(100));
    mv::FileAnalysis a;
    ASSERT_TRUE(load(w.take(), a).ok());
    const mv::TsFile ts = pesOf(path);
    ASSERT_EQ(ts.video.units.size(), 2u);
    EXPECT_EQ(ts.video.units[0].key, c.key);
  }
}

TEST_F(TsReader, WhatFailsToLoad) {
  TsWriter noPat;
  noPat.pes(0x100, 0, std::nullopt, filled(300));
  TsWriter noPmt;
  noPmt.pat({{1, 0x20}});
  noPmt.pes(0x100, 0, std::nullopt, filled(300));
  const struct {
    Bytes bytes;
    mv::LoadFailure failure;
  } cases[] = {{{}, mv::LoadFailure::NotThisFormat},
               {Bytes(5000, 0x00), mv::LoadFailure::NotThisFormat},
               {filled(5000, {0x47}), mv::LoadFailure::NotThisFormat},
               {noPat.take(), mv::LoadFailure::Damaged},
               {noPmt.take(), mv::LoadFailure::Damaged}};
  for (const auto& c : cases) {
    mv::FileAnalysis a;
    EXPECT_EQ(load(c.bytes, a).failure, c.failure);
    EXPECT_FALSE(a.videoSeries || a.audioSeries);
  }
}

TEST_F(TsReader, TruncationsAndMutationsLoadOrFail) {
  TsWriter w;
  twoTracks(w, {0x47, 0, 1});
  w.pes(0x100, 0, std::nullopt, filled(400), true);
  const Bytes file = w.take();
  std::mt19937 rng(11);
  for (size_t round = 0; round < 2000 + file.size(); ++round) {
    Bytes b(file.begin(), file.begin() + long(std::min(round, file.size())));
    if (round >= file.size()) {
      b = file;
      for (int e = 0; e < 1 + int(rng() % 4); ++e)
        b[rng() % b.size()] = uint8_t(rng() % 3 == 0 ? 0x47 : rng());
    }
    mv::FileAnalysis a;
    if (load(b, a).ok()) {
      ASSERT_TRUE(a.videoSeries && a.audioSeries);
      ASSERT_EQ(a.videoSeries->elementCount(), uint32_t(a.durationSeconds) + 8);
    } else {
      ASSERT_FALSE(a.videoSeries || a.audioSeries);
    }
  }
}

// Each ffprobe packet is one PES here; time stamp = dts else pts, in 1/90000 s. `program`
// narrows the streams ("p:1:"); ffprobe's stamps lie `shift` ticks below the reader's.
void expectMatchesProbe(const std::string& file, int width, const std::string& program = "",
                        int64_t shift = 0) {
  const char* options = "-fflags +noparse+nofillin";
  mvtest::ProbedUnits probed[2] = {mvtest::probePackets(file, options, program + "v:0"),
                                   mvtest::probePackets(file, options, program + "a:0")};
  ASSERT_FALSE(probed[0].empty() && probed[1].empty());
  for (auto& track : probed)
    for (auto& unit : track) unit.first += shift;
  mv::FileAnalysis a;
  ASSERT_TRUE(mvtest::load<mv::walkTs>(file, a).ok());
  EXPECT_EQ(a.frameWidth, width);
  EXPECT_EQ(a.frameHeight, width ? 48 : 0);
  // The rate the stream declares, not PES packets a second.
  EXPECT_EQ(a.frameRateMilli, width ? 25000 : 0);
  a.videoUnits = pesOf(file).video;
  mvtest::expectUnitsAndSeries(a, probed, 90000);
}

TEST_F(TsReader, FfmpegFilesMatchTheProbe) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  const struct {
    const char* options;
    const char* suffix;
    int width;
    const char* program = "";
    int64_t shift = 0;
  } cases[] = {{"-c:v mpeg2video -c:a mp2", ".ts", 64},
               {"-c:v libx264 -c:a aac", ".ts", 64},
               {"-c:v libx264 -an", ".ts", 64},
               {"-vn -c:a mp2", ".ts", 0},
               {"-c:v mpeg2video -c:a ac3 -mpegts_m2ts_mode 1", ".m2ts", 64},
               {"-c:v mpeg4 -c:a ac3", ".ts", 64},
               // 33-bit wrap at 95443.7 s; ffprobe's own wrap correction puts the stamps before it below 0.
               {"-c:v libx264 -c:a aac -output_ts_offset 95441", ".ts", 64, "", kWrap},
               // The first program in the PAT carries the second pair of streams.
               {"-map 0:v -map 1:a -map 0:v -map 1:a -c:v:0 libx264 -c:a:0 aac -c:v:1 mpeg2video -c:a:1 mp2 "
                "-program program_num=1:title=one:st=2:st=3 -program program_num=2:title=two:st=0:st=1",
                ".ts", 64, "p:1:"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string file = dir.file(std::string("made") + c.suffix);
    int status = 0;
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine=r=48000 -t 4 ") +
            c.options + " '" + file + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    expectMatchesProbe(file, c.width, c.program, c.shift);
    if (HasFatalFailure()) return;
    if (c.options == cases[4].options) {
      int result = 0;
      const std::string text =
          mvtest::reportOf(dir, mvtest::readFile(file), ".m2ts", mv::writeTsInfo, &result);
      EXPECT_EQ(result, 1);
      for (const char* row :
           {"192 bytes", "0x02 = MPEG-2 Video", "= AC-3", "64 x 48", "kbps (1024 bits/second)\r\n"})
        EXPECT_NE(text.find(row), std::string::npos) << row;
    }
  }
}

// The frame list holds pictures cut from the PES payloads, as ffprobe's parser cuts them.
TEST_F(TsReader, PicturesMatchTheProbe) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  for (const char* options : {"-c:v mpeg2video -bf 2 -c:a mp2", "-c:v libx264 -bf 3 -c:a aac",
                              "-c:v libx265 -x265-params log-level=none -an", "-c:v mpeg1video -bf 2 -an"}) {
    SCOPED_TRACE(options);
    const std::string file = dir.file("made.ts");
    int status = 0;
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine=r=48000 -t 3 ") +
            options + " '" + file + "' 2>&1",
        &status);
    if (status != 0 && std::string(options).find("265") != std::string::npos) continue;  // no x265
    ASSERT_EQ(status, 0);
    // Opening keeps the PES packets as units, with the stream's declared rate; a frame list
    // asks for the pictures.
    mv::FileAnalysis opened;
    ASSERT_TRUE(mvtest::load<mv::walkTs>(file, opened).ok());
    EXPECT_EQ(opened.frameRateMilli, 25000);
    mv::FileAnalysis a;
    a.videoUnits.keepPlaces = true;
    ASSERT_TRUE(mvtest::load<mv::walkTs>(file, a).ok());
    mvtest::expectFramesMatchProbe(file, a, std::string(options).find("264") == std::string::npos);
    EXPECT_EQ(a.frameRateMilli, 25000);
    EXPECT_TRUE(a.notes.empty());
    EXPECT_TRUE(a.videoUnits.places.empty());
  }
}

// Without the middle packet of `pid` that does not start a PES.
Bytes withoutMiddlePacket(const Bytes& file, uint16_t pid) {
  std::vector<size_t> inner;
  for (size_t at = 0; at + 188 <= file.size(); at += 188)
    if ((((file[at + 1] & 0x1F) << 8) | file[at + 2]) == pid && !(file[at + 1] & 0x40)) inner.push_back(at);
  Bytes b = file;
  if (!inner.empty())
    b.erase(b.begin() + long(inner[inner.size() / 2]), b.begin() + long(inner[inner.size() / 2] + 188));
  return b;
}

// A packet lost mid-file leaves its PES with the payload the file holds, counted in the information
// text; only the end of the file cuts a PES short, and leaves it out.
TEST_F(TsReader, LostPacketsKeepWhatIsLeftCutFilesAreShort) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  const std::string made = dir.file("made.ts");
  int status = 0;
  mvtest::runCommand(
      "ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine=r=48000 -t 4 "
      "-c:v mpeg2video -c:a mp2 '" +
          made + "' 2>&1",
      &status);
  ASSERT_EQ(status, 0);
  const Bytes clean = mvtest::readFile(made);
  mv::FileAnalysis whole;
  ASSERT_TRUE(load(clean, whole).ok());
  const mv::TsFile wholePes = pesOf(path);
  const struct {
    const char* name;
    Bytes bytes;
    std::vector<std::string> notes;
    int videoLost, audioLost;  // units fewer than the clean file's; -1 not compared
    bool incomplete = false;   // a PES lost a packet
  } cases[] = {
      {"clean", clean, {}, 0, 0},
      // ffmpeg declares no length for video PES: the continuity counter tells.
      {"video packet lost", withoutMiddlePacket(clean, 0x100), {mv::kNoteUnitsIncomplete}, 0, 0, true},
      {"audio packet lost", withoutMiddlePacket(clean, 0x101), {mv::kNoteUnitsIncomplete}, 0, 0, true},
      {"cut at 60 %",
       Bytes(clean.begin(), clean.begin() + long(clean.size() * 6 / 10)),
       {mv::kNoteCutShort},
       -1,
       -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mv::FileAnalysis a;
    ASSERT_TRUE(load(c.bytes, a).ok());
    EXPECT_EQ(a.notes, c.notes);
    if (c.videoLost >= 0) {
      EXPECT_EQ(pesOf(path).video.units.size() + size_t(c.videoLost), wholePes.video.units.size());
      EXPECT_EQ(a.audioUnits.units.size() + size_t(c.audioLost), whole.audioUnits.units.size());
    }
    const std::string text = mvtest::reportOf(dir, c.bytes, ".ts", mv::writeTsInfo);
    EXPECT_EQ(text.find(mv::utf8ToGbk("不全单元：1 (")) != std::string::npos, c.incomplete);
  }
}

// A recording cut inside an audio PES and another put after it (cat): the cut PES is no unit,
// as at the end of a file.
TEST_F(TsReader, APesCutWhereTheNextRecordingBeginsIsLeftOut) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  Bytes parts[2];
  for (int i = 0; i < 2; ++i) {
    const std::string made = dir.file("part" + std::to_string(i) + ".ts");
    int status = 0;
    mvtest::runCommand("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine=r=48000 -t " +
                           std::to_string(6 - 3 * i) + " -c:v mpeg2video -c:a mp2 -b:a 192k '" + made +
                           "' 2>&1",
                       &status);
    ASSERT_EQ(status, 0);
    parts[i] = mvtest::readFile(made);
  }
  // Just after the first packet of the first part's last audio PES.
  size_t cut = 0;
  for (size_t at = 0; at + 188 <= parts[0].size(); at += 188)
    if (((parts[0][at + 1] & 0x1F) << 8 | parts[0][at + 2]) == 0x101 && (parts[0][at + 1] & 0x40))
      cut = at + 188;
  ASSERT_GT(cut, 0u);
  parts[0].resize(cut);
  size_t alone = 0;
  for (const Bytes& part : parts) {
    mv::FileAnalysis a;
    ASSERT_TRUE(load(part, a).ok());
    alone += a.audioUnits.units.size();
  }
  Bytes joined = parts[0];
  joined.insert(joined.end(), parts[1].begin(), parts[1].end());
  mv::FileAnalysis a;
  ASSERT_TRUE(load(joined, a).ok());
  EXPECT_EQ(a.audioUnits.units.size(), alone);
}

TEST_F(TsReader, GstreamerFilesMatchTheProbe) {
  for (const mvtest::GstRemux& c : {mvtest::kGstH264Aac, mvtest::kGstMpeg2Mp2}) {
    SCOPED_TRACE(c.source);
    const std::string file = dir.file("gst.ts");
    std::string missing;
    const mvtest::GstMade made = mvtest::remuxWithGstreamer(dir, c, "mpegtsmux", file, &missing);
    if (made == mvtest::GstMade::Missing) GTEST_SKIP() << missing << " not installed";
    if (made == mvtest::GstMade::Yes) expectMatchesProbe(file, 64);
  }
}

// Zeroed bytes inside a small TS: the series counts what the file holds of each PES, and the frame
// list's pictures, cut from the same payload, add up to the video series second by second.
TEST_F(TsReader, DamagedFilesFramesAddUpToTheVideoSeries) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  int status = 0;
  mvtest::runCommand(
      "ffmpeg -v error -y -f lavfi -i testsrc=s=320x240:r=25 -f lavfi -i sine=r=48000 -t 6 "
      "-c:v mpeg2video -c:a mp2 -omit_video_pes_length 0 '" +
          path + "' 2>&1",
      &status);
  ASSERT_EQ(status, 0);
  const Bytes clean = mvtest::readFile(path);
  // Zeroed ranges, and files cut short inside a video PES of declared length.
  const struct {
    size_t at, length;  // in hundredths of the file, bytes; 0: the file ends there
  } cases[] = {{50, 5000}, {30, 600}, {70, 20000}, {20, 188}, {45, 0}, {83, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.at);
    Bytes b = clean;
    const size_t from = b.size() * c.at / 100;
    if (c.length == 0)
      b.resize(from / 188 * 188);
    else
      std::fill(b.begin() + long(from), b.begin() + long(std::min(b.size(), from + c.length)), 0);
    mvtest::writeFile(path, b);
    mv::FileAnalysis a;
    a.videoUnits.keepPlaces = true;
    ASSERT_TRUE(mvtest::load<mv::walkTs>(path, a).ok());
    std::vector<uint64_t> frames(size_t(a.durationSeconds), 0);
    for (const mv::VideoFrame& f : mv::videoFrames(a))
      frames.at(size_t(std::floor(f.seconds + 1e-9))) += f.bytes;
    for (size_t second = 0; second < frames.size(); ++second)
      EXPECT_EQ(frames[second], (*a.videoSeries)[8 + second]) << second;
  }
}

// Every video PES's header stuffed so that its payload begins 4 bytes before the end of its first
// TS packet: the sequence headers straddle two packets.
Bytes straddled(const Bytes& ts, uint16_t video) {
  std::vector<Bytes> pes;  // the video PES packets, in order
  std::vector<size_t> firsts;
  Bytes out;
  const auto pidOf = [&](size_t at) { return uint16_t(((ts[at + 1] & 0x1F) << 8) | ts[at + 2]); };
  for (size_t at = 0; at + 188 <= ts.size(); at += 188) {
    if (pidOf(at) != video) continue;
    const size_t payload = at + ((ts[at + 3] & 0x20) ? 5 + ts[at + 4] : 4);
    if (ts[at + 1] & 0x40) pes.emplace_back(), firsts.push_back(at);
    if (!pes.empty())
      pes.back().insert(pes.back().end(), ts.begin() + long(payload), ts.begin() + long(at + 188));
  }
  size_t next = 0;
  uint8_t counter = 0;
  for (size_t at = 0; at + 188 <= ts.size(); at += 188) {
    if (pidOf(at) != video) {
      out.insert(out.end(), ts.begin() + long(at), ts.begin() + long(at + 188));
      continue;
    }
    if (next >= firsts.size() || firsts[next] != at) continue;
    Bytes p = pes[next++];
    const size_t stuffing = 180 - 9 - p[8];
    p.insert(p.begin() + 9 + p[8], stuffing, 0xFF);
    p[8] = uint8_t(p[8] + stuffing);
    if (const size_t length = size_t(p[4] << 8 | p[5]); length > 0)
      p[4] = uint8_t((length + stuffing) >> 8), p[5] = uint8_t(length + stuffing);
    for (size_t i = 0; i < p.size(); i += 184) {
      const size_t n = std::min<size_t>(184, p.size() - i);
      out.insert(out.end(), {0x47, uint8_t((i == 0 ? 0x40 : 0) | (video >> 8)), uint8_t(video),
                             uint8_t((n < 184 ? 0x30 : 0x10) | (counter++ & 15))});
      if (n < 184) {
        out.push_back(uint8_t(183 - n));
        if (n < 183) out.push_back(0), out.insert(out.end(), 182 - n, 0xFF);
      }
      out.insert(out.end(), p.begin() + long(i), p.begin() + long(i + n));
    }
  }
  return out;
}

TEST_F(TsReader, StreamBufferModelFromSequenceHeadersAcrossPackets) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  int status = 0;
  mvtest::runCommand(
      "ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -t 2 -c:v mpeg2video -b:v 400k "
      "-maxrate 800k -bufsize 1000k '" +
          path + "' 2>&1",
      &status);
  ASSERT_EQ(status, 0);
  mv::FileSlot clean;
  ASSERT_TRUE(clean.open(path).ok());
  mv::StreamModelGap gap{};
  const std::optional<mv::BufferModel> want = mv::streamModel(clean, gap);
  ASSERT_TRUE(want);
  EXPECT_EQ(want->rate, 800000u);
  const std::string shifted = dir.file("shifted.ts");
  mvtest::writeFile(shifted, straddled(mvtest::readFile(path), 0x100));
  mv::FileSlot slot;
  ASSERT_TRUE(slot.open(shifted).ok());
  EXPECT_EQ(slot.analysis.frameWidth, 64);
  const std::optional<mv::BufferModel> got = mv::streamModel(slot, gap);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->rate, want->rate);
  EXPECT_EQ(got->bits, want->bits);
}

}  // namespace
