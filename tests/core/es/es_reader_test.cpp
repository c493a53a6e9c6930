// Raw elementary streams made by ffmpeg against ffprobe's parsed packets and decoded types, and
// crafted ones for the timing rules and the truncations.
#include "es/es_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "analysis/file_slot.h"
#include "es/es_info.h"
#include "fixtures/bit_writer.h"
#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"
#include "fixtures/text_capture.h"
#include "media/frames.h"
#include "media/per_second_series.h"

namespace {

using mvtest::BitWriter;
using mvtest::Bytes;

struct Packet {
  uint32_t bytes;
  char type;
};

// ffprobe's packets of the first video stream, each with the type its decoder gives the frame.
std::vector<Packet> probed(const std::string& path) {
  std::vector<Packet> packets;
  std::map<uint64_t, char> types;
  std::string line;
  std::istringstream frames(
      mvtest::runCommand("ffprobe -v error -select_streams v:0 -show_frames -show_entries "
                         "frame=pkt_pos,pict_type -of csv=p=0 '" +
                         path + "'"));
  while (std::getline(frames, line)) {
    const size_t comma = line.find(',');
    if (comma != std::string::npos && comma + 1 < line.size() && std::isdigit(uint8_t(line[0])))
      types[std::stoull(line.substr(0, comma))] = line[comma + 1];
  }
  std::istringstream lines(mvtest::runCommand(
      "ffprobe -v error -select_streams v:0 -show_packets -show_entries packet=size,pos -of csv=p=0 '" +
      path + "'"));
  while (std::getline(lines, line)) {
    const size_t comma = line.find(',');
    if (comma == std::string::npos || !std::isdigit(uint8_t(line[0]))) continue;
    const uint64_t pos = std::stoull(line.substr(comma + 1));
    const auto t = types.find(pos);
    packets.push_back({uint32_t(std::stoul(line.substr(0, comma))), t == types.end() ? char(0) : t->second});
  }
  return packets;
}

class EsReader : public ::testing::Test {
 protected:
  mv::LoadResult load(const Bytes& bytes, mv::FileAnalysis& a, const char* name = "clip.m2v") {
    path = dir.file(name);
    mvtest::writeFile(path, bytes);
    a.videoUnits.keepPlaces = true;
    return mvtest::load<mv::walkElementaryStream>(path, a);
  }
  mvtest::TempDir dir;
  std::string path;
};

// Pictures in decode order as ffprobe's parsers cut them, typed as its decoder types them; a
// constant-rate stream's seconds hold the bytes of their 25 pictures.
TEST_F(EsReader, FfmpegStreamsMatchTheProbe) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  const struct {
    const char* options;
    const char* suffix;
    const char* stream;
    bool zeroSlack;            // MPEG-2 / HEVC: ffprobe keeps a picture's trailing zero byte
    bool rateAssumed = false;  // ffmpeg's MPEG-4 layer declares no fixed rate
  } cases[] = {
      {"-c:v mpeg2video -bf 2 -f mpeg2video", ".m2v", "MPEG-2 video", true},
      {"-c:v mpeg2video -bf 2 -flags +ildct+ilme -top 1 -f mpeg2video", ".m2v", "MPEG-2 video", true},
      {"-c:v mpeg1video -bf 2 -f mpeg1video", ".m1v", "MPEG-1 video", true},
      {"-c:v libx264 -bf 2 -f h264", ".264", "H.264", false},
      // Noise: larger than one read of the walk.
      {"-vf noise=alls=20:allf=t -c:v libx264 -qp 20 -bf 2 -f h264", ".264", "H.264", false},
      {"-c:v libx265 -x265-params log-level=none -f hevc", ".hevc", "HEVC", true},
      {"-c:v libvpx -auto-alt-ref 0 -f ivf", ".ivf", "VP8", false},
      {"-c:v libvpx-vp9 -f ivf", ".ivf", "VP9", false},
      // Named as MP4's: the content tells the stream.
      {"-c:v mpeg4 -bf 2 -f m4v", ".m4v", "MPEG-4 Visual", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string file = dir.file(std::string("made") + c.suffix);
    int status = 0;
    mvtest::runCommand(std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=176x144:r=25 -t 3 ") +
                           c.options + " '" + file + "' 2>&1",
                       &status);
    if (status != 0) continue;  // an encoder this ffmpeg lacks
    mv::FileAnalysis a;
    a.videoUnits.keepPlaces = true;
    ASSERT_TRUE(mvtest::load<mv::walkElementaryStream>(file, a).ok());
    EXPECT_EQ(mv::elementaryStreamName(file), c.stream);
    EXPECT_EQ(a.frameWidth, 176);
    EXPECT_EQ(a.frameHeight, 144);
    EXPECT_EQ(a.frameRateMilli, 25000);
    EXPECT_EQ(a.notes,
              c.rateAssumed ? std::vector<std::string>{mv::kNoteRateAssumed} : std::vector<std::string>{});
    const std::vector<Packet> packets = probed(file);
    const std::vector<mv::VideoFrame> got = mv::videoFrames(a);
    ASSERT_EQ(got.size(), packets.size());
    ASSERT_EQ(a.videoUnits.places.size(), got.size());
    std::vector<int64_t> seconds(3, 0);
    for (size_t i = 0; i < got.size(); ++i) {
      SCOPED_TRACE(::testing::Message() << "picture " << i);
      EXPECT_LE(std::abs(int64_t(got[i].bytes) - int64_t(packets[i].bytes)), c.zeroSlack ? 1 : 0);
      if (packets[i].type) {
        EXPECT_EQ(got[i].type, packets[i].type);
      }
      EXPECT_NEAR(got[i].seconds, i / 25.0, 1e-9);
      seconds[i / 25] += packets[i].bytes;
    }
    ASSERT_EQ(a.durationSeconds, 3);
    for (int s = 0; s < 3; ++s)
      EXPECT_LE(std::abs(int64_t((*a.videoSeries)[mv::kFirstSecond + s]) - seconds[s]), c.zeroSlack ? 25 : 0);
    EXPECT_EQ((*a.audioSeries)[mv::kFirstSecond], 0u);
    for (const char* name : {c.suffix, ".cmp", ""}) {
      const std::string copy = dir.file(std::string("opened") + name);
      std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
      mv::FileSlot slot;
      ASSERT_TRUE(slot.open(copy).ok()) << name;
      EXPECT_EQ(slot.mediaType(), mv::MEDIA_ES) << name;
      EXPECT_EQ(mv::videoFrames(slot.analysis).size(), got.size()) << name;
    }
    int result = 0;
    const std::string text =
        mvtest::reportOf(dir, mvtest::readFile(file), c.suffix, mv::writeElementaryStreamInfo, &result);
    EXPECT_EQ(result, 1);
    for (const std::string& row : {std::string(c.stream), std::string("176 x 144"), std::string("75\r\n")})
      EXPECT_NE(text.find(row), std::string::npos) << row;
  }
}

// MPEG-2 pictures with repeat_first_field last three fields; an SPS without timing is timed at 25
// a second, with the note.
void sequence(BitWriter& w) {
  w.code(0xB3).bits(720, 12).bits(480, 12).bits(2, 4).bits(4, 4).bits(5000, 18).bits(1, 1).bits(112, 10);
  w.bits(0, 3);
  w.code(0xB5).bits(1, 4).bits(0x48, 8).bits(0, 1).bits(1, 2).bits(0, 4).bits(0, 12).bits(1, 1).bits(0, 8);
  w.bits(0, 1).bits(0, 2).bits(0, 5);
}

void picture(BitWriter& w, uint32_t type, bool repeatFirst) {
  w.code(0x00).bits(0, 10).bits(type, 3).bits(0xFFFF, 16);
  if (type != 1) w.bits(0x5, 4);
  if (type == 3) w.bits(0x5, 4);
  w.bits(0, 1);
  w.code(0xB5).bits(8, 4).bits(0x1111, 16).bits(0, 2).bits(3, 2).bits(1, 1).bits(1, 5).bits(repeatFirst, 1);
  w.bits(0, 3);
  w.code(0x01).raw({0x12, 0x34, 0x56, 0x78});
}

BitWriter& ue(BitWriter& w, uint32_t v) {
  int bits = 0;
  while ((v + 1) >> (bits + 1)) ++bits;
  return w.bits(0, bits).bits(v + 1, bits + 1);
}

Bytes h264WithoutTiming(int pictures) {
  BitWriter w;
  w.raw({0, 0, 0, 1, 0x67, 66, 0xC0, 30});
  ue(ue(ue(ue(w, 0), 0), 2), 1).bits(0, 1);  // sps id, frame_num bits, POC type 2, refs, gaps
  ue(ue(w, 10), 8).bits(1, 1).bits(1, 1).bits(0, 1).bits(0, 1).bits(1, 1);  // 176 x 144, no VUI
  for (int i = 0; i < pictures; ++i) {
    w.raw({0, 0, 0, 1, uint8_t(i == 0 ? 0x65 : 0x41)});
    ue(ue(ue(w, 0), i == 0 ? 7 : 5), 0).bits(0x5A5A5, 20);
  }
  return w.take();
}

TEST_F(EsReader, CraftedTiming) {
  BitWriter w;
  sequence(w);
  w.code(0xB8).bits(0, 32);
  picture(w, 1, true);
  picture(w, 3, false);
  picture(w, 2, true);
  picture(w, 2, false);
  mv::FileAnalysis a;
  ASSERT_TRUE(load(w.take(), a).ok());
  std::vector<mv::VideoFrame> f = mv::videoFrames(a);
  ASSERT_EQ(f.size(), 4u);
  const double field = 1001.0 / 60000;
  const double fields[] = {0, 3, 5, 8};
  for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(f[i].seconds, fields[i] * field, 1e-9);
  EXPECT_EQ(std::string() + f[0].type + f[1].type + f[2].type + f[3].type, "IBPP");
  EXPECT_EQ(a.frameRateMilli, 29970);
  EXPECT_EQ(a.frameWidth, 720);
  EXPECT_TRUE(a.notes.empty());

  ASSERT_TRUE(load(h264WithoutTiming(30), a, "clip.264").ok());
  f = mv::videoFrames(a);
  ASSERT_EQ(f.size(), 30u);
  EXPECT_EQ(f[0].key, 1);
  EXPECT_EQ(f[0].type, 'I');
  EXPECT_EQ(f[1].type, 'P');
  EXPECT_NEAR(f[29].seconds, 29 / 25.0, 1e-9);
  EXPECT_EQ(a.frameWidth, 176);
  EXPECT_EQ(a.frameRateMilli, 25000);
  EXPECT_EQ(a.notes, std::vector<std::string>{mv::kNoteRateAssumed});
  EXPECT_EQ(a.durationSeconds, 2);
}

Bytes ivf(int frames, uint32_t size) {
  mvtest::ByteWriter w;
  w.bytes({'D', 'K', 'I', 'F'}).u16le(0).u16le(32).bytes({'V', 'P', '8', '0'}).u16le(176).u16le(144);
  w.u32le(25).u32le(1).u32le(uint32_t(frames)).u32le(0);
  for (int i = 0; i < frames; ++i) {
    w.u32le(size).u32le(uint32_t(i)).u32le(0);
    // A VP8 frame tag: key frame first, then inter frames.
    w.bytes({uint8_t(i == 0 ? 0x10 : 0x11), 0x02, 0x00, 0x9D, 0x01, 0x2A, 176, 0, 144, 0});
    w.bytes(Bytes(size - 10, 0x55));
  }
  return w.take();
}

// Each kind cut anywhere loads what it holds or fails with a reason; what is no stream fails.
TEST_F(EsReader, TruncationsLoadOrFailCleanly) {
  BitWriter m;
  sequence(m);
  for (int i = 0; i < 10; ++i) picture(m, i ? 2 : 1, false);
  const Bytes streams[] = {m.take(), h264WithoutTiming(10), ivf(10, 40)};
  const char* names[] = {"clip.m2v", "clip.264", "clip.ivf"};
  for (size_t k = 0; k < 3; ++k) {
    for (size_t cut = 1; cut < streams[k].size(); cut += 7) {
      SCOPED_TRACE(::testing::Message() << names[k] << " cut at " << cut);
      mv::FileAnalysis a;
      const mv::LoadResult r = load(Bytes(streams[k].begin(), streams[k].begin() + long(cut)), a, names[k]);
      if (r.ok()) {
        ASSERT_TRUE(a.videoSeries && a.audioSeries);
        uint64_t bytes = 0;
        for (const mv::VideoFrame& f : mv::videoFrames(a)) bytes += f.bytes;
        EXPECT_LE(bytes, cut);
      } else {
        EXPECT_TRUE(r.failure == mv::LoadFailure::NotThisFormat || r.failure == mv::LoadFailure::Damaged)
            << int(r.failure);
      }
    }
  }
  // An IVF frame cut by the end is left out, and said.
  mv::FileAnalysis a;
  const Bytes whole = ivf(10, 40);
  ASSERT_TRUE(load(Bytes(whole.begin(), whole.end() - 5), a, "clip.ivf").ok());
  EXPECT_EQ(mv::videoFrames(a).size(), 9u);
  EXPECT_EQ(a.notes, std::vector<std::string>{mv::kNoteCutShort});
  EXPECT_EQ(mv::videoFrames(a)[0].type, 'I');
  EXPECT_EQ(mv::videoFrames(a)[1].type, 'P');

  for (const Bytes& other : {Bytes(3000, 0x47), Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '},
                             Bytes{0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xC3, 0xF8}, Bytes{}}) {
    EXPECT_EQ(load(other, a).failure, mv::LoadFailure::NotThisFormat);
    EXPECT_FALSE(mv::looksLikeElementaryStream(other.data(), other.size()));
  }
  for (size_t k = 0; k < 3; ++k)
    EXPECT_TRUE(mv::looksLikeElementaryStream(streams[k].data(), 64)) << names[k];
}

// A padding OBU before each frame header puts the header past the first KiB: key and type
// still come from it, as ffprobe's key flags say.
TEST_F(EsReader, Av1KeyFramesBehindPadding) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe")) GTEST_SKIP() << "no ffmpeg";
  const std::string made = dir.file("made.ivf");
  int status = 0;
  mvtest::runCommand(
      "ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -t 2 -c:v libaom-av1 -cpu-used 8 "
      "-g 10 -f ivf '" +
          made + "' 2>&1",
      &status);
  if (status != 0) GTEST_SKIP() << "no AV1 encoder";
  std::vector<bool> keys;
  std::istringstream flags(
      mvtest::runCommand("ffprobe -v error -show_entries packet=flags -of csv=p=0 '" + made + "'"));
  for (std::string line; std::getline(flags, line);) keys.push_back(line.find('K') != std::string::npos);
  // Each frame: its temporal delimiter (2 bytes), then 5,000 bytes of padding OBU.
  const Bytes in = mvtest::readFile(made);
  Bytes out(in.begin(), in.begin() + 32);
  const Bytes padding = [] {
    Bytes p = {0x7A, 0x88, 0x27};  // type 15 with its size, 5000 as leb128
    p.resize(3 + 5000, 0x80);
    return p;
  }();
  for (size_t pos = 32; pos + 12 <= in.size();) {
    const uint32_t size = uint32_t(in[pos]) | uint32_t(in[pos + 1]) << 8 | uint32_t(in[pos + 2]) << 16 |
                          uint32_t(in[pos + 3]) << 24;
    const uint32_t grown = size + uint32_t(padding.size());
    out.insert(out.end(), {uint8_t(grown), uint8_t(grown >> 8), uint8_t(grown >> 16), uint8_t(grown >> 24)});
    out.insert(out.end(), in.begin() + long(pos) + 4, in.begin() + long(pos) + 14);
    out.insert(out.end(), padding.begin(), padding.end());
    out.insert(out.end(), in.begin() + long(pos) + 14, in.begin() + long(pos + 12 + size));
    pos += 12 + size;
  }
  mv::FileAnalysis a;
  ASSERT_TRUE(load(out, a, "padded.ivf").ok());
  const std::vector<mv::VideoFrame> got = mv::videoFrames(a);
  ASSERT_EQ(got.size(), keys.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].key != 0, bool(keys[i])) << i;
    if (keys[i]) {
      EXPECT_EQ(got[i].type, 'I') << i;
    }
  }
}

// A stream followed by gigabytes of hole (a sparse file): the same pictures and frames as the
// stream alone, read at once, and the file noted as cut short.
TEST_F(EsReader, SparseTailsAreJumped) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  const char* const kinds[] = {"-c:v libx264 -f h264 s.264", "-c:v mpeg2video -f mpeg2video s.m2v",
                               "-c:v libvpx -f ivf s.ivf", "-c:a mp2 -f mp2 s.mp2", "-c:a aac -f adts s.aac"};
  for (const char* kind : kinds) {
    const std::string cmd = kind;
    const std::string name = cmd.substr(cmd.rfind(' ') + 1);
    SCOPED_TRACE(name);
    mvtest::runCommand("cd '" + dir.path().string() +
                       "' && ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine -t 1 " +
                       cmd);
    mv::FileAnalysis whole, sparse;
    ASSERT_TRUE(mvtest::load<mv::walkElementaryStream>(dir.file(name), whole).ok());
    ASSERT_EQ(::truncate(dir.file(name).c_str(), off_t(4) << 30), 0);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file(name).c_str(), &st), 0);
    if (uint64_t(st.st_blocks) * 512 >= uint64_t(1) << 30) GTEST_SKIP() << "no sparse files here";
    ASSERT_TRUE(mvtest::load<mv::walkElementaryStream>(dir.file(name), sparse).ok());
    EXPECT_EQ(sparse.notes, std::vector<std::string>{mv::kNoteCutShort});
    const auto units = [](const mv::TrackUnits& t) {
      std::vector<std::pair<int64_t, uint32_t>> out;
      for (const auto& u : t.units) out.push_back({u.ticks, u.bytes});
      return out;
    };
    EXPECT_EQ(units(sparse.videoUnits), units(whole.videoUnits));
    EXPECT_EQ(units(sparse.audioUnits), units(whole.audioUnits));
    std::remove(dir.file(name).c_str());
  }
}

}  // namespace
