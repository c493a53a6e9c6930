// AVI files written by a real muxer (ffmpeg), checked against what ffprobe reports on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "avi/avi_reader.h"
#include "analysis/file_slot.h"
#include "fixtures/byte_writer.h"
#include "fixtures/message_recorder.h"

namespace {

struct Case {
  const char* name;
  const char* rate;      // ffmpeg frame rate
  const char* video;     // encoder arguments
  const char* audio;     // encoder arguments, or nullptr for video only
  int width, height;
  int seconds;
};

class AviFromFfmpeg : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe")) GTEST_SKIP() << "ffmpeg not installed";
  }
  std::string probe(const std::string& path, const std::string& args) {
    int status = 0;
    std::string out = mvtest::runCommand("ffprobe -v error " + args + " '" + path + "'", &status);
    EXPECT_EQ(status, 0) << args;
    return out;
  }
  // Sum of packet sizes of the first stream of a kind ("v" or "a"), as ffprobe sees the file.
  uint64_t packetBytes(const std::string& path, const char* kind) {
    std::istringstream in(probe(path, std::string("-select_streams ") + kind +
                                          ":0 -show_entries packet=size -of csv=p=0"));
    uint64_t sum = 0, v = 0;
    while (in >> v) sum += v;
    return sum;
  }
  mvtest::TempDir dir;
  mvtest::MessageRecorder recorder;
};

uint64_t seriesSum(const mv::PerSecondSeries& s) {
  uint64_t sum = 0;
  for (uint32_t i = 8; i < s.elementCount(); ++i) sum += s[i];
  return sum;
}

TEST_P(AviFromFfmpeg, MatchesProbe) {
  const Case& c = GetParam();
  const std::string path = dir.file(std::string(c.name) + ".avi");
  std::ostringstream cmd;
  cmd << "ffmpeg -v error -y -f lavfi -i testsrc=size=" << c.width << "x" << c.height << ":rate=" << c.rate;
  if (c.audio) cmd << " -f lavfi -i sine=frequency=440:sample_rate=44100";
  cmd << " -t " << c.seconds << " " << c.video;
  if (c.audio) cmd << " " << c.audio;
  cmd << " '" << path << "'";
  int status = 0;
  mvtest::runCommand(cmd.str() + " 2>&1", &status);
  ASSERT_EQ(status, 0) << cmd.str();

  mv::FileSlot slot;
  ASSERT_EQ(slot.open(path), 1);
  const auto& a = slot.analysis;
  EXPECT_EQ(a.frameWidth, c.width);
  EXPECT_EQ(a.frameHeight, c.height);

  const double probedDuration = std::stod(probe(path, "-show_entries format=duration -of csv=p=0"));
  EXPECT_LE(std::fabs(a.durationSeconds - probedDuration), 1.0) << probedDuration;

  std::string rate = probe(path, "-select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0");
  const double num = std::stod(rate.substr(0, rate.find('/'))), den = std::stod(rate.substr(rate.find('/') + 1));
  EXPECT_NEAR(a.frameRateMilli, 1000 * num / den, 1000 * num / den * 0.001);

  // The index's byte total per stream equals the packets the demuxer of ffmpeg reads.
  mv::InputFile file;
  ASSERT_TRUE(file.open(path));
  mv::AviReader reader(&file);
  ASSERT_EQ(reader.result(), mv::ParseResult::Success);
  std::map<std::string, uint64_t> indexed;
  for (size_t i = 0; i < reader.indexEntryCount(); ++i) {
    const auto e = reader.indexEntry(i);
    indexed[std::string(reinterpret_cast<const char*>(&e.ckid), 2)] += e.dwChunkLength;
  }
  const uint64_t videoBytes = packetBytes(path, "v");
  EXPECT_EQ(indexed["00"], videoBytes);
  // The series hold every indexed byte but the tail after the last second boundary.
  EXPECT_LE(seriesSum(*a.videoSeries), videoBytes);
  EXPECT_GE(seriesSum(*a.videoSeries), videoBytes * 6 / 10);
  if (c.audio) {
    const uint64_t audioBytes = packetBytes(path, "a");
    EXPECT_EQ(indexed["01"], audioBytes);
    EXPECT_LE(seriesSum(*a.audioSeries), audioBytes);
    EXPECT_GE(seriesSum(*a.audioSeries), audioBytes * 6 / 10);
  } else {
    EXPECT_EQ(seriesSum(*a.audioSeries), 0u);
  }
  EXPECT_TRUE(recorder.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Muxed, AviFromFfmpeg,
    ::testing::Values(Case{"mpeg4_mp3", "25", "-c:v mpeg4 -q:v 5", "-c:a libmp3lame -b:a 128k", 320, 240, 4},
                      // PCM is indexed per chunk, not per sample: only past ten seconds does the entry count
                      // overrule the header's sample rate (shorter files show no audio).
                      Case{"mjpeg_pcm", "30000/1001", "-c:v mjpeg -q:v 5", "-c:a pcm_s16le", 176, 144, 12},
                      Case{"video_only", "25", "-c:v mpeg4 -q:v 5", nullptr, 352, 288, 3}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
