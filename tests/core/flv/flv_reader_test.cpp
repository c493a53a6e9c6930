// FLV files built byte by byte and made by ffmpeg; the oracle for real files is ffprobe's packet
// list, whose sizes and time stamps are the tags' coded frames.
#include "flv/flv_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "fixtures/byte_writer.h"
#include "fixtures/gst_files.h"
#include "fixtures/loaders.h"
#include "fixtures/robustness.h"
#include "fixtures/text_capture.h"
#include "flv/flv_info.h"

namespace {

using mvtest::Bytes;

struct Tag {
  uint8_t type;
  int32_t stamp;
  Bytes data;
};

Bytes flv(const std::vector<Tag>& tags, uint8_t flags = 5) {
  mvtest::ByteWriter w;
  w.chars("FLV").u8(1).u8(flags).u32be(9).u32be(0);
  for (const Tag& t : tags) {
    const uint32_t s = uint32_t(t.stamp);
    w.u8(t.type).u8(uint8_t(t.data.size() >> 16)).u16be(uint16_t(t.data.size()));
    w.u8(uint8_t(s >> 16)).u16be(uint16_t(s)).u8(uint8_t(s >> 24)).u8(0).u16be(0);
    w.bytes(t.data).u32be(uint32_t(t.data.size() + 11));
  }
  return w.take();
}

Bytes payload(std::initializer_list<uint8_t> head, size_t total) {
  Bytes b(head);
  b.resize(total, 0x33);
  return b;
}

std::vector<uint32_t> seconds(const mv::PerSecondSeries& s) {
  return std::vector<uint32_t>(s.data() + 8, s.data() + s.elementCount());
}

class FlvReader : public ::testing::Test {
 protected:
  mv::LoadResult load(const Bytes& bytes, mv::FileAnalysis& a) {
    mvtest::writeFile(path, bytes);
    return mvtest::load<mv::walkFlv>(path, a);
  }
  mvtest::TempDir dir;
  std::string path = dir.file("clip.flv");
};

TEST_F(FlvReader, TagsBecomeUnitsOfTheirSecond) {
  // AVC: sequence header and end of sequence carry no frame; a frame counts DataSize − 5.
  // AAC: the config carries no frame; a frame counts DataSize − 2. Others count DataSize − 1.
  const Bytes file = flv({
      {9, 1000, payload({0x17, 0}, 40)},         // AVC sequence header
      {8, 1000, payload({0xAF, 0}, 7)},          // AAC config
      {9, 1000, payload({0x17, 1}, 105)},        // key frame: 100
      {8, 1010, payload({0xAF, 1}, 52)},         // 50
      {9, 1999, payload({0x27, 1}, 25)},         // 20
      {8, 2000, payload({0x2F}, 11)},            // MP3: 10
      {9, 2500, payload({0x22}, 31)},            // H.263: 30
      {9, 2600, payload({0x17, 2}, 5)},          // end of sequence
      {18, 0, payload({5}, 3)},                  // script data without onMetaData
      {9, 0x1000000 + 500, payload({0x22}, 9)},  // extended stamp, 16,777.716 s: the video alone, a hole
  });
  mv::FileAnalysis a;
  ASSERT_TRUE(load(file, a).ok());
  EXPECT_EQ(a.durationSeconds, 16777);  // where it lies: 16,776.716 s after the first tag
  const auto v = seconds(*a.videoSeries), au = seconds(*a.audioSeries);
  EXPECT_EQ((std::vector<uint32_t>(v.begin(), v.begin() + 2)), (std::vector<uint32_t>{120, 30}));
  EXPECT_EQ((std::vector<uint32_t>(au.begin(), au.begin() + 2)), (std::vector<uint32_t>{50, 10}));
  EXPECT_EQ(v.back(), 8u);
  EXPECT_EQ(a.videoUnits.units.size(), 4u);
  EXPECT_EQ(a.videoUnits.units[0].key, 1u);
  EXPECT_EQ(a.videoUnits.units[1].key, 0u);
}

TEST_F(FlvReader, NegativeStampsCutTagsAndMetadata) {
  mvtest::ByteWriter meta;
  meta.u8(2).u16be(10).chars("onMetaData").u8(8).u32be(3);
  meta.u16be(5).chars("width").u8(0).u32be(0x40740000).u32be(0);      // 320.0
  meta.u16be(6).chars("height").u8(0).u32be(0x406E0000).u32be(0);     // 240.0
  meta.u16be(9).chars("framerate").u8(0).u32be(0x40390000).u32be(0);  // 25.0
  meta.u16be(0).u8(9);
  const Bytes script = meta.take();
  Bytes file = flv({{18, 0, script},
                    {9, -1500, payload({0x12}, 11)},
                    {9, 0, payload({0x22}, 21)},
                    {9, 40, payload({0x22}, 5000)}});
  file.resize(file.size() - 100);             // the last tag is cut: left out
  file[13 + 11 + script.size() + 3] ^= 0xFF;  // a wrong previous-tag-size is no error
  mv::FileAnalysis a;
  ASSERT_TRUE(load(file, a).ok());
  EXPECT_EQ(seconds(*a.videoSeries), (std::vector<uint32_t>{10, 20}));
  EXPECT_EQ(a.frameWidth, 320);
  EXPECT_EQ(a.frameHeight, 240);
  EXPECT_EQ(a.frameRateMilli, 25000);

  EXPECT_EQ(load(Bytes{'F', 'L', 'X', 1, 5, 0, 0, 0, 9}, a).failure, mv::LoadFailure::NotThisFormat);
  EXPECT_EQ(load(Bytes{}, a).failure, mv::LoadFailure::NotThisFormat);
  ASSERT_TRUE(load(flv({}), a).ok());  // a header alone holds no second
  EXPECT_EQ(a.durationSeconds, 0);
}

TEST_F(FlvReader, TruncationsAndMutationsLoadOrFail) {
  const Bytes file = flv({{9, 0, payload({0x17, 0}, 40)},
                          {9, 0, payload({0x17, 1}, 60)},
                          {8, 20, payload({0xAF, 1}, 30)},
                          {18, 0, payload({2, 0, 10}, 40)},
                          {9, 1040, payload({0x27, 1}, 50)}});
  const auto check = [&](const Bytes& b) { mvtest::expectLoadsOrFails(path, b); };
  mvtest::forEachTruncation(file, check);
  mvtest::forEachMutation(file, 7, 3000, mvtest::extremeU32(true), check);
}

// ffprobe lists every coded frame of a tag with the tag's time stamp as dts, in milliseconds.
void expectMatchesProbe(const std::string& path, bool video) {
  std::istringstream in(mvtest::runCommand(
      "ffprobe -v error -show_entries packet=codec_type,size,dts -of csv=p=0 '" + path + "'"));
  std::vector<std::pair<int64_t, uint32_t>> probed[2];
  std::string line;
  int64_t origin = INT64_MAX;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string kind, size, dts;
    std::getline(f, kind, ',');
    std::getline(f, dts, ',');
    std::getline(f, size, ',');
    if (size.empty()) continue;
    probed[kind == "video" ? 0 : 1].push_back({int64_t(std::stoll(dts)), uint32_t(std::stoul(size))});
    origin = std::min<int64_t>(origin, std::stoll(dts));
  }
  ASSERT_FALSE(probed[0].empty() && probed[1].empty());
  std::map<int64_t, uint32_t> want[2];
  int64_t last = -1;
  for (int k = 0; k < 2; ++k)
    for (auto [dts, size] : probed[k]) {
      want[k][(dts - origin) / 1000] += size;
      last = std::max(last, (dts - origin) / 1000);
    }
  mv::FileAnalysis a;
  ASSERT_TRUE(mvtest::load<mv::walkFlv>(path, a).ok());
  ASSERT_EQ(a.durationSeconds, last + 1);
  for (int64_t s = 0; s <= last; ++s) {
    EXPECT_EQ((*a.videoSeries)[8 + s], want[0].count(s) ? want[0][s] : 0u) << s;
    EXPECT_EQ((*a.audioSeries)[8 + s], want[1].count(s) ? want[1][s] : 0u) << s;
  }
  EXPECT_EQ(a.frameWidth, video ? 64 : 0);
}

TEST_F(FlvReader, FfmpegFilesMatchTheProbe) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  // -flvflags no_metadata leaves the picture size to the AVC sequence header.
  const char* cases[] = {"-c:v libx264 -c:a aac", "-c:v flv1 -c:a libmp3lame -ar 22050",
                         "-c:v libx264 -an -flvflags no_metadata", "-vn -c:a aac"};
  for (const char* c : cases) {
    SCOPED_TRACE(c);
    int status = 0;
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine -t 4 ") + c + " '" +
            path + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    expectMatchesProbe(path, std::string(c).find("-c:v") != std::string::npos);
    if (HasFatalFailure()) return;
    if (c == cases[0]) {
      int result = 0;
      const std::string text =
          mvtest::reportOf(dir, mvtest::readFile(path), ".flv", mv::writeFlvInfo, &result);
      EXPECT_EQ(result, 1);
      for (const char* row : {"7 = H.264/AVC", "10 = AAC", "fps\r\n", "kbps (1024 bits/second)\r\n"})
        EXPECT_NE(text.find(row), std::string::npos) << row;
    }
  }
}

TEST_F(FlvReader, GstreamerFilesMatchTheProbe) {
  for (const mvtest::GstRemux& c : {mvtest::kGstH264Aac, mvtest::kGstH264Mp3}) {
    SCOPED_TRACE(c.source);
    const std::string file = dir.file("gst.flv");
    std::string missing;
    const mvtest::GstMade made = mvtest::remuxWithGstreamer(dir, c, "flvmux", file, &missing);
    if (made == mvtest::GstMade::Missing) GTEST_SKIP() << missing << " not installed";
    if (made == mvtest::GstMade::Yes) expectMatchesProbe(file, true);
  }
}

}  // namespace
