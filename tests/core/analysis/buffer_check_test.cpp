// The decoder-buffer check: hand-worked frame lists against the model, and ffmpeg-made MPEG-2
// files encoded within and beyond a DVD's buffer.
#include "analysis/buffer_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "fixtures/avi_builder.h"
#include "fixtures/byte_writer.h"

namespace {

using mv::BufferModel;
using mv::BufferPreset;
using mv::BufferViolation;
using mv::VideoFrame;

// 16 frames a second: every time and every fill of the buffer is exact in binary.
std::vector<VideoFrame> steady(uint32_t count, uint32_t bytes, double fps = 16,
                               const std::function<void(uint32_t, VideoFrame&)>& shape = {}) {
  std::vector<VideoFrame> frames(count);
  for (uint32_t k = 0; k < count; ++k) {
    frames[k] = {k / fps, bytes, uint8_t(k == 0 ? 1 : 0), 0};
    if (shape) shape(k, frames[k]);
  }
  return frames;
}

struct ExpectedRun {
  uint32_t first, last;
  BufferViolation kind;
  std::optional<double> lowest;
};

TEST(BufferCheck, HandWorkedFrameLists) {
  // 8000 bit/s at 16 frames a second refills 500 bits between frames; the buffer holds 1000.
  const BufferModel model{BufferPreset::Custom, 8000, 1000, 0};
  const BufferModel dvd2997 = mv::presetModel(BufferPreset::Dvd, 29970);
  const BufferModel dvd30 = mv::presetModel(BufferPreset::Dvd, 30000);
  // Key pictures every 15 frames but one GOP of 19 from frame 60 (2.002 s at 29.97 fps: second 3,
  // as the seconds are labelled from 1).
  const auto gops = [](uint32_t k, VideoFrame& f) {
    f.key = k < 60 ? k % 15 == 0 : k == 60 || (k >= 79 && (k - 79) % 15 == 0);
  };
  const struct {
    const char* name;
    std::vector<VideoFrame> frames;
    BufferModel model;
    std::vector<ExpectedRun> runs;
    double lowest, lowestSeconds;
  } cases[] = {
      {"just under the rate", steady(160, 62), model, {}, 1000, 0},
      // Each frame takes 4 bits more than arrives: frame 125 (7.8125 s) finds 500 for its 504,
      // and every frame after it finds the 500 of one interval.
      {"just over the rate", steady(160, 63), model, {{8, 10, BufferViolation::Underflow, 500}}, 500, 7.8125},
      {"one frame larger than the buffer",
       steady(160, 62, 16, [](uint32_t k, VideoFrame& f) { f.bytes = k == 80 ? 200 : f.bytes; }),
       model,
       {{6, 6, BufferViolation::FrameTooLarge, 1000}},
       500,
       5.0625},
      // The first of two 960-bit frames leaves 40; the second finds 540.
      {"two large frames in a row",
       steady(160, 62, 16, [](uint32_t k, VideoFrame& f) { f.bytes = k == 80 || k == 81 ? 120 : f.bytes; }),
       model,
       {{6, 6, BufferViolation::Underflow, 540}},
       500,
       5.125},
      {"a GOP of 19 at 29.97 fps on a DVD",
       steady(150, 1000, 29.97, gops),
       dvd2997,
       {{3, 3, BufferViolation::GopTooLong, std::nullopt}},
       1'835'008,
       0},
      {"the same GOPs at 30 fps have no DVD limit", steady(150, 1000, 30, gops), dvd30, {}, 1'835'008, 0},
  };
  for (const auto& c : cases) {
    const mv::BufferCheck check = mv::checkBuffer(c.frames, c.model);
    EXPECT_EQ(check.fullness.size(), c.frames.size()) << c.name;
    ASSERT_EQ(check.runs.size(), c.runs.size()) << c.name;
    for (size_t i = 0; i < c.runs.size(); ++i) {
      const mv::BufferRun& r = check.runs[i];
      EXPECT_EQ(r.seconds, (mv::ZeroRun{c.runs[i].first, c.runs[i].last})) << c.name;
      EXPECT_EQ(r.kind, c.runs[i].kind) << c.name;
      EXPECT_EQ(r.lowest, c.runs[i].lowest) << c.name;
    }
    EXPECT_EQ(check.ok(), c.runs.empty()) << c.name;
    EXPECT_EQ(check.lowest, c.lowest) << c.name;
    EXPECT_EQ(check.lowestSeconds, c.lowestSeconds) << c.name;
    for (double f : check.fullness) ASSERT_TRUE(f >= 0 && f <= double(c.model.bits)) << c.name;
  }
}

TEST(BufferCheck, PresetsAndNames) {
  EXPECT_EQ(mv::presetModel(BufferPreset::Dvd, 25000).maxGop, 15u);
  EXPECT_EQ(mv::presetModel(BufferPreset::Dvd, 23976).maxGop, 18u);
  EXPECT_EQ(mv::presetModel(BufferPreset::Dvd, 59940).maxGop, 18u);
  EXPECT_EQ(mv::presetModel(BufferPreset::Vcd, 25000).rate, 1'151'929u);
  EXPECT_EQ(mv::presetModel(BufferPreset::BluRay, 25000).bits, 30'000'000u);
  EXPECT_EQ(mv::presetModel(BufferPreset::Custom, 25000, 5, 6).bits, 6u);
  for (BufferPreset p : {BufferPreset::Dvd, BufferPreset::Vcd, BufferPreset::BluRay, BufferPreset::Stream,
                         BufferPreset::Custom})
    EXPECT_EQ(mv::bufferPresetOfName(mv::bufferPresetName(p)), p);
  EXPECT_FALSE(mv::bufferPresetOfName("DVD"));
  EXPECT_EQ(mv::violationName(BufferViolation::GopTooLong), "gop-too-long");
}

TEST(BufferCheck, StreamModelOfAnotherCodecSaysWhy) {
  mvtest::TempDir dir;
  const std::string path = dir.file("a.avi");
  mvtest::writeFile(path, mvtest::avi::simpleVideo(50, 500).build());
  mv::FileSlot slot;
  ASSERT_TRUE(slot.open(path).ok());
  std::string why;
  EXPECT_FALSE(mv::streamModel(slot, why));
  EXPECT_NE(why.find("MPEG-1/2"), std::string::npos);
}

// 720x576 MPEG-2 at 25 fps: within a DVD's rate and buffer, and a file whose last two seconds
// are at 15 Mbit/s, which empty the buffer in about a third of a second.
TEST(BufferCheck, FfmpegMpeg2AgainstDvd) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const auto encode = [&](const std::string& args, const std::string& name, double seconds) {
    int status = 0;
    const std::string log = mvtest::runCommand("ffmpeg -v error -y -f lavfi -i testsrc2=s=720x576:r=25 -t " +
                                                   std::to_string(seconds) + " -c:v mpeg2video -g 12 -bf 2 " +
                                                   args + " '" + dir.file(name) + "' 2>&1",
                                               &status);
    EXPECT_EQ(status, 0) << log;
    return dir.file(name);
  };
  const std::string dvdArgs = "-b:v 8M -maxrate 9.8M -bufsize 1835k";
  const std::string within = encode(dvdArgs, "dvd.mpg", 3);
  const std::string calm = encode(dvdArgs + " -f mpeg2video", "calm.m2v", 2);
  const std::string loud =
      encode("-b:v 15M -minrate 15M -maxrate 15M -bufsize 1835k -f mpeg2video", "loud.m2v", 2);
  int status = 0;
  mvtest::runCommand("ffmpeg -v error -y -fflags +genpts -r 25 -i 'concat:" + calm + "|" + loud +
                         "' -c copy '" + dir.file("over.ts") + "' 2>&1",
                     &status);
  ASSERT_EQ(status, 0);

  const struct {
    std::string path;
    bool ok;
  } cases[] = {{within, true}, {dir.file("over.ts"), false}};
  for (const auto& c : cases) {
    mv::FileSlot slot;
    ASSERT_TRUE(slot.open(c.path).ok()) << c.path;
    std::string why;
    const std::optional<BufferModel> declared = mv::streamModel(slot, why);
    ASSERT_TRUE(declared) << c.path << ": " << why;
    EXPECT_EQ(declared->bits, 1'835'008u) << c.path;
    const BufferModel dvd = mv::presetModel(BufferPreset::Dvd, slot.analysis.frameRateMilli);
    EXPECT_EQ(dvd.maxGop, 15u);
    for (const BufferModel& model : {dvd, *declared}) {
      mv::BufferCheck check;
      ASSERT_TRUE(mv::checkSlotBuffer(slot, model, check).ok()) << c.path;
      EXPECT_EQ(check.fullness.size(), size_t(c.ok ? 75 : 100)) << c.path;
      if (c.ok) {
        EXPECT_TRUE(check.ok()) << c.path << " " << mv::zeroRunText(check.runs.front().seconds);
        continue;
      }
      // The loud part starts at 2 s (second 3); its frames in decode order run to the last second.
      ASSERT_FALSE(check.runs.empty()) << c.path;
      EXPECT_EQ(check.runs.front().seconds.first, 3u) << c.path;
      EXPECT_EQ(check.runs.back().seconds.last, 4u) << c.path;
      EXPECT_EQ(check.runs.front().kind, BufferViolation::Underflow) << c.path;
      EXPECT_LT(check.lowest, 1e6) << c.path;
    }
  }
}

}  // namespace
