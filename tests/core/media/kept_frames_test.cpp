// The video frames AVI and RealMedia files keep for the frame and GOP views: one per index entry
// or video packet, in order, with the key flag their container sets and the time the series
// uses.
#include <gtest/gtest.h>

#include <functional>

#include "avi/avi_reader.h"
#include "fixtures/avi_builder.h"
#include "fixtures/loaders.h"
#include "fixtures/rm_builder.h"
#include "media/frames.h"
#include "rm/rm_reader.h"

namespace {

namespace avi = mvtest::avi;

struct Frame {
  double seconds;
  uint32_t bytes;
  uint32_t key;
};

struct Case {
  const char* name;
  const char* suffix;
  std::function<mvtest::Bytes()> build;
  std::vector<Frame> want;  // empty: check only `count`, `keysAt` and `timeOf`
  size_t count = 0;
  std::vector<uint32_t> keysAt{};
  std::pair<size_t, double> timeOf{0, 0.0};  // frame number and its seconds
  bool video = true;                         // the file has a video stream
};

avi::File videoAndAudio(uint32_t scale, uint32_t rate) {
  avi::File f;
  f.main.totalFrames = 4;
  avi::Stream v;
  v.header.scale = scale;
  v.header.rate = rate;
  f.streams.push_back(v);
  avi::Stream a;
  a.header.fccType = "auds";
  a.format = avi::waveFormat(1, 1, 8000, 8000, 1, 8);
  f.streams.push_back(a);
  return f;
}

const Case kCases[] = {
    {"Idx1KeyFlagsAndNoTimeEntries",
     "avi",
     [] {
       avi::File f = videoAndAudio(1, 25);
       f.add(0, "dc", 900, 0x10);
       f.add(1, "wb", 300);
       f.add(0, "dc", 100, 0);
       f.add(0, "pc", 20, 0x100);  // a palette change: no play time, no frame
       f.add(0, "dc", 110, 0);
       f.add(0, "dc", 950, 0x10 | 0x02);
       return f.build();
     },
     {{0.0, 900, 1}, {0.04, 100, 0}, {0.08, 110, 0}, {0.12, 950, 1}}},
    {"Idx1NtscRate",
     "avi",
     [] {
       avi::File f = videoAndAudio(1001, 30000);
       f.main.microSecPerFrame = 33367;
       f.main.totalFrames = 61;
       for (int k = 0; k < 61; ++k) f.add(0, "dc", 100, k % 30 == 0 ? 0x10 : 0);
       return f.build();
     },
     {},
     61,
     {0, 30, 60},
     {30, 1.001}},
    // A header rate of 1 frame a second over 250 frames of 40 ms: the series spread them over
    // the header's 10 s, and so do the frames.
    {"ImplausibleRateFollowsThePlayTime",
     "avi",
     [] {
       avi::File f = videoAndAudio(1, 1);
       f.main.totalFrames = 250;
       for (int k = 0; k < 250; ++k) f.add(0, "dc", 100, k == 0 ? 0x10 : 0);
       return f.build();
     },
     {},
     250,
     {0},
     {125, 5.0}},
    {"OpenDmlKeyBit",
     "avi",
     [] {
       avi::OdmlFile f;
       f.partFrames = {15, 12};
       f.frameBytes = 64;
       f.audioBytes = 8;
       return f.build();
     },
     {},
     27,
     {0, 10, 15, 25},
     {26, 1.04}},
    {"RebuiltIndexHasNoKeys",
     "avi",
     [] {
       avi::File f = videoAndAudio(1, 25);
       f.withIndex = false;
       f.writePayloads = true;
       for (int k = 0; k < 3; ++k) f.add(0, "dc", 40 + uint32_t(k));
       return f.build();
     },
     {{0.0, 40, 0}, {0.04, 41, 0}, {0.08, 42, 0}}},
    {"AviWithoutVideo",
     "avi",
     [] {
       avi::File f = videoAndAudio(1, 25);
       f.streams.erase(f.streams.begin());
       f.add(0, "wb", 300);
       return f.build();
     },
     {},
     0,
     {},
     {},
     false},
    {"RealMediaPacketFlags",
     "rm",
     [] {
       mvtest::RmBuilder b;
       b.fileHeader(0, 5).properties({.duration = 3000, .numStreams = 2});
       b.mediaProperties({.streamNumber = 0,
                          .mime = "video/x-pn-realvideo",
                          .typeSpecific = mvtest::realVideoBlock("RV20", 160, 120, 25u << 16)});
       b.mediaProperties({.streamNumber = 1,
                          .mime = "audio/x-pn-realaudio",
                          .typeSpecific = mvtest::realAudioBlock(4, 44100, 16, 2)});
       b.data(
           {{.stream = 0, .timestamp = 0, .length = 500, .flags = 2},
            {.stream = 1, .timestamp = 0, .length = 200, .flags = 2},
            {.stream = 0, .timestamp = 40, .length = 60},
            {.stream = 0, .timestamp = 1960, .length = 480, .flags = 3},
            {.stream = 0, .timestamp = 1960, .length = 400, .flags = 2},  // the same picture's second slice
            {.stream = 0, .timestamp = 2000, .length = 70, .flags = 1}});
       return b.bytes();
     },
     {{0.0, 500, 1}, {0.04, 60, 0}, {1.96, 880, 1}, {2.0, 70, 0}}},
};

class KeptFrames : public ::testing::TestWithParam<Case> {};

TEST_P(KeptFrames, InIndexOrderWithKeysAndTimes) {
  const Case& c = GetParam();
  mvtest::TempDir dir;
  const std::string path = dir.file(std::string("f.") + c.suffix);
  mvtest::writeFile(path, c.build());
  mv::FileAnalysis a;
  const auto load =
      std::string(c.suffix) == "avi" ? mvtest::load<mv::walkAvi> : mvtest::load<mv::walkRealMedia>;
  ASSERT_TRUE(load(path, a, nullptr).ok());
  EXPECT_EQ(a.videoUnits.present, c.video);
  const std::vector<mv::VideoFrame> frames = mv::videoFrames(a);
  if (!c.want.empty()) {
    ASSERT_EQ(frames.size(), c.want.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_NEAR(frames[i].seconds, c.want[i].seconds, 1e-9) << i;
      EXPECT_EQ(frames[i].bytes, c.want[i].bytes) << i;
      EXPECT_EQ(frames[i].key, c.want[i].key) << i;
    }
    return;
  }
  ASSERT_EQ(frames.size(), c.count);
  std::vector<uint32_t> keys;
  for (size_t i = 0; i < frames.size(); ++i)
    if (frames[i].key) keys.push_back(uint32_t(i));
  EXPECT_EQ(keys, c.keysAt);
  if (!frames.empty()) {
    EXPECT_NEAR(frames[c.timeOf.first].seconds, c.timeOf.second, 1e-9);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, KeptFrames, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
