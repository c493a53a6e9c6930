// Another track of an AVI or RealMedia file counts as it does in a file holding only that track,
// from the units kept at the load; going back to the first tracks gives the load's series again.
#include <gtest/gtest.h>

#include <sstream>

#include "analysis/file_slot.h"
#include "analysis/picture_types.h"
#include "fixtures/byte_writer.h"
#include "media/frames.h"

namespace {

struct Case {
  const char* name;
  const char* suffix;
  const char* make;  // ffmpeg's arguments for the file of every track, inputs and codecs
  int video, audio;  // the choice: which video and audio track by its place among its kind, -1 none
  const char* only;  // ffmpeg's -map arguments copying the chosen tracks alone
};

class TrackChoice : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
      GTEST_SKIP() << "ffmpeg not installed";
  }
  void run(const std::string& args) {
    int status = 0;
    const std::string said = mvtest::runCommand("ffmpeg -v error -y " + args + " 2>&1", &status);
    ASSERT_EQ(status, 0) << args << "\n" << said;
  }
  mvtest::TempDir dir;
};

constexpr const char* kSources =
    "-f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 "
    "-f lavfi -i sine=frequency=880:sample_rate=48000 -t 12 ";

std::vector<uint32_t> values(const mv::PerSecondSeries& s) { return {s.data(), s.data() + s.elementCount()}; }

// Track index of the `nth` track of a kind, -1 for none.
int trackOf(const mv::FileAnalysis& a, mv::TrackKind kind, int nth) {
  for (size_t i = 0; i < a.tracks.size() && nth >= 0; ++i)
    if (a.tracks[i].kind == kind && nth-- == 0) return int(i);
  return -1;
}

TEST_P(TrackChoice, CountsAsTheFileOfThatTrackAlone) {
  const Case& c = GetParam();
  const std::string all = dir.file(std::string("all") + c.suffix),
                    only = dir.file(std::string("only") + c.suffix);
  ASSERT_NO_FATAL_FAILURE(run(std::string(kSources) + c.make + " '" + all + "'"));
  ASSERT_NO_FATAL_FAILURE(run("-i '" + all + "' " + c.only + " -c copy '" + only + "'"));

  mv::FileSlot slot, alone;
  ASSERT_TRUE(slot.open(all).ok());
  ASSERT_TRUE(alone.open(only).ok());
  mv::FileAnalysis& a = slot.analysis;
  // The tracks as ffprobe lists the streams.
  std::istringstream probed(
      mvtest::runCommand("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + all + "'"));
  std::vector<std::string> kinds;
  for (const mv::Track& t : a.tracks) kinds.emplace_back(mv::trackKindName(t.kind));
  std::vector<std::string> probedKinds;
  for (std::string kind; probed >> kind;) probedKinds.push_back(kind);
  EXPECT_EQ(kinds, probedKinds);
  EXPECT_EQ(a.videoTrack, trackOf(a, mv::TrackKind::Video, 0));
  EXPECT_EQ(a.audioTrack, trackOf(a, mv::TrackKind::Audio, 0));

  const auto video = values(*a.videoSeries), audio = values(*a.audioSeries);
  const auto frames = a.videoUnits.numbered.size() + a.videoUnits.units.size();
  const int32_t duration = a.durationSeconds;
  const int chosenVideo = trackOf(a, mv::TrackKind::Video, c.video);
  const int chosenAudio = trackOf(a, mv::TrackKind::Audio, c.audio);
  ASSERT_TRUE(slot.chooseTracks(chosenVideo, chosenAudio));
  EXPECT_EQ(values(*a.videoSeries), values(*alone.analysis.videoSeries));
  EXPECT_EQ(values(*a.audioSeries), values(*alone.analysis.audioSeries));
  EXPECT_EQ(a.durationSeconds, alone.analysis.durationSeconds);
  // The picture types are read again from the file: at the chosen track's places.
  const auto typed = [](const mv::FileSlot& s) {
    std::vector<mv::VideoFrame> frames = mv::videoFrames(s.analysis);
    EXPECT_TRUE(mv::readPictureTypes(s, frames).ok());
    std::string types;
    for (const mv::VideoFrame& f : frames) types += f.type ? f.type : '-';
    return types;
  };
  const std::string types = typed(slot);
  EXPECT_EQ(types, typed(alone));
  EXPECT_EQ(types.find('I') == std::string::npos, chosenVideo < 0);

  ASSERT_TRUE(slot.chooseTracks(a.defaultVideo, a.defaultAudio));
  EXPECT_EQ(values(*a.videoSeries), video);
  EXPECT_EQ(values(*a.audioSeries), audio);
  EXPECT_EQ(a.videoUnits.numbered.size() + a.videoUnits.units.size(), frames);
  EXPECT_EQ(a.durationSeconds, duration);
}

INSTANTIATE_TEST_SUITE_P(
    Muxed, TrackChoice,
    ::testing::Values(
        // PCM past ten seconds: its entry count overrules the header's rate, as a file of it alone.
        Case{"avi_mp3_pcm", ".avi",
             "-map 0:v -map 1:a -map 2:a -c:v mpeg4 -c:a:0 libmp3lame -c:a:1 pcm_s16le", 0, 1,
             "-map 0:v -map 0:a:1"},
        Case{"avi_ac3_mp3", ".avi", "-map 0:v -map 1:a -map 2:a -c:v mpeg4 -c:a:0 ac3 -c:a:1 libmp3lame", 0,
             1, "-map 0:v -map 0:a:1"},
        Case{"avi_second_video", ".avi", "-map 0:v -map 0:v -map 1:a -c:v mpeg4 -g:v:1 5 -c:a libmp3lame", 1,
             0, "-map 0:v:1 -map 0:a"},
        // ffmpeg writes at most one video and one audio stream into RealMedia, and no play time
        // into a copy of its video alone.
        Case{"rm_audio", ".rm", "-map 0:v -map 1:a -c:v rv10 -c:a ac3", -1, 0, "-map 0:a"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
