// AVI files written by a real muxer (ffmpeg), checked against what ffprobe reports on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <sstream>

#include "analysis/file_slot.h"
#include "avi/avi_reader.h"
#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"
#include "fixtures/message_recorder.h"

namespace {

struct Case {
  const char* name;
  const char* rate;   // ffmpeg frame rate
  const char* video;  // encoder arguments
  const char* audio;  // encoder arguments, or nullptr for video only
  int width, height;
  int seconds;
};

class AviFromFfmpeg : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
      GTEST_SKIP() << "ffmpeg not installed";
  }
  std::string probe(const std::string& path, const std::string& args) {
    int status = 0;
    std::string out = mvtest::runCommand("ffprobe -v error " + args + " '" + path + "'", &status);
    EXPECT_EQ(status, 0) << args;
    return out;
  }
  // Sum of packet sizes of the first stream of a kind ("v" or "a"), as ffprobe sees the file.
  uint64_t packetBytes(const std::string& path, const char* kind) {
    std::istringstream in(
        probe(path, std::string("-select_streams ") + kind + ":0 -show_entries packet=size -of csv=p=0"));
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
  ASSERT_TRUE(slot.open(path).ok());
  const auto& a = slot.analysis;
  EXPECT_EQ(a.frameWidth, c.width);
  EXPECT_EQ(a.frameHeight, c.height);

  const double probedDuration = std::stod(probe(path, "-show_entries format=duration -of csv=p=0"));
  EXPECT_LE(std::fabs(a.durationSeconds - probedDuration), 1.0) << probedDuration;

  std::string rate = probe(path, "-select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0");
  const double num = std::stod(rate.substr(0, rate.find('/'))),
               den = std::stod(rate.substr(rate.find('/') + 1));
  EXPECT_NEAR(a.frameRateMilli, 1000 * num / den, 1000 * num / den * 0.001);

  // The index's byte total per stream equals the packets the demuxer of ffmpeg reads.
  mv::InputFile file;
  ASSERT_TRUE(file.open(path));
  mv::AviReader reader(&file);
  ASSERT_TRUE(reader.result().ok());
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

// What recordings look like after a lost index or a killed writer.
class AviFromFfmpegDamaged : public AviFromFfmpeg {
 protected:
  std::string make(const std::string& name, const std::string& limit, int seconds) {
    const std::string path = dir.file(name);
    int status = 0;
    mvtest::runCommand(limit +
                           "ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i "
                           "sine=sample_rate=22050 -t " +
                           std::to_string(seconds) + " -c:v mpeg4 -q:v 5 -c:a pcm_s16le '" + path + "' 2>&1",
                       &status);
    return path;
  }
  // Bytes of the packets of a stream that lie wholly in the file, as ffprobe reads them (it
  // delivers the last, cut one with the bytes that are there).
  uint64_t completePackets(const std::string& path, const char* kind, uint64_t fileLength) {
    std::istringstream in(
        probe(path, std::string("-select_streams ") + kind + ":0 -show_entries packet=size,pos -of csv=p=0"));
    uint64_t sum = 0, size = 0, pos = 0;
    char comma = 0;
    while (in >> size >> comma >> pos) {
      if (pos + size < fileLength) sum += size;
    }
    return sum;
  }
};

TEST_F(AviFromFfmpegDamaged, IndexRenamedToJunkReadsLikeTheOriginal) {
  const std::string path = make("whole.avi", "", 14);
  mv::FileAnalysis original, stripped;
  ASSERT_TRUE(mvtest::load<mv::walkAvi>(path, original).ok());
  mvtest::Bytes bytes = mvtest::readFile(path);
  const std::string idx1 = "idx1";
  const auto at = std::search(bytes.begin(), bytes.end(), idx1.begin(), idx1.end());
  ASSERT_NE(at, bytes.end());
  std::copy_n("JUNK", 4, at);
  mvtest::writeFile(path, bytes);
  ASSERT_TRUE(mvtest::load<mv::walkAvi>(path, stripped).ok());
  EXPECT_EQ(stripped.durationSeconds, original.durationSeconds);
  const auto values = [](const mv::PerSecondSeries& s) {
    return std::vector<uint32_t>(s.data(), s.data() + s.elementCount());
  };
  EXPECT_EQ(values(*stripped.videoSeries), values(*original.videoSeries));
  EXPECT_EQ(values(*stripped.audioSeries), values(*original.audioSeries));
  // ffmpeg writes OpenDML indexes only into files of several parts: this one is read from movi.
  EXPECT_EQ(stripped.notes, std::vector<std::string>{"index-rebuilt"});
}

TEST_F(AviFromFfmpegDamaged, RecordingStoppedMidWriteKeepsItsCompletePackets) {
  // ffmpeg is stopped by the file size limit (SIGXFSZ) at 150 or 300 KiB, as the shell counts.
  const std::string path = make("killed.avi", "ulimit -f 300; ", 30);
  mv::FileAnalysis a;
  ASSERT_TRUE(mvtest::load<mv::walkAvi>(path, a).ok());
  EXPECT_LE(a.fileLength, 300u * 1024);
  EXPECT_EQ(a.notes, (std::vector<std::string>{"cut-short", "index-rebuilt"}));
  mv::InputFile file;
  ASSERT_TRUE(file.open(path));
  mv::AviReader reader(&file);
  ASSERT_TRUE(reader.result().ok());
  mv::AviStreamEntries entries;
  mv::ProgressGate gate(nullptr, 0);
  ASSERT_TRUE(reader.walkMovi(entries, gate).ok());
  const auto sum = [](const std::vector<uint32_t>& v) {
    return std::accumulate(v.begin(), v.end(), uint64_t(0));
  };
  EXPECT_EQ(sum(entries.sizes[0]), completePackets(path, "v", a.fileLength));
  EXPECT_EQ(sum(entries.sizes[1]), completePackets(path, "a", a.fileLength));
  EXPECT_EQ(a.durationSeconds, int32_t(entries.sizes[0].size() / 25));
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
