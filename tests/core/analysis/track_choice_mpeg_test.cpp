// The tracks of MPEG-TS and PS files made by ffmpeg against ffprobe's streams, and every choice
// of a video and an audio track against the rule's series of ffprobe's packets of those two.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/file_slot.h"
#include "analysis/picture_types.h"
#include "fixtures/byte_writer.h"
#include "fixtures/probed_series.h"
#include "media/frames.h"
#include "media/mpeg_timestamps.h"

namespace {

struct Probed {
  uint32_t program = 0;
  uint64_t id = 0;     // as the reader names it
  std::string select;  // ffprobe's stream id
  mv::TrackKind kind = mv::TrackKind::Other;
  std::string language;
};

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, ',');)
    if (!f.empty()) out.push_back(f);
  return out;
}

// ffprobe's streams in the reader's order: TS by program, PS as found; ids as the reader's (PS:
// stream id, 0xBD00 + sub-stream id).
std::vector<Probed> probeTracks(const std::string& file, bool ts) {
  std::map<std::string, Probed> byId;
  std::vector<std::string> order;
  std::istringstream streams(mvtest::runCommand(
      "ffprobe -v error -show_entries stream=id,codec_type:stream_tags=language -of csv=p=0 '" + file + "'"));
  for (std::string line; std::getline(streams, line);) {
    const std::vector<std::string> f = fields(line);
    if (f.size() < 2) continue;
    Probed& p = byId[f[1]];
    if (p.select.empty()) order.push_back(f[1]);
    p.select = f[1];
    p.kind = f[0] == "video" ? mv::TrackKind::Video : f[0] == "audio" ? mv::TrackKind::Audio : p.kind;
    if (f.size() > 2) p.language = f[2];
    const uint64_t id = std::stoull(f[1], nullptr, 16);
    p.id = ts || id >= 0x100 ? id & (ts ? 0x1FFF : 0xFF) : 0xBD00 | id;
  }
  std::vector<Probed> out;
  if (!ts) {
    for (const std::string& id : order) out.push_back(byId[id]);
    return out;
  }
  std::istringstream programs(mvtest::runCommand(
      "ffprobe -v error -show_entries program=program_id:program_stream=id -of csv=p=0 '" + file + "'"));
  uint32_t program = 0;
  for (std::string line; std::getline(programs, line);)
    for (const std::string& f : fields(line)) {
      if (f.rfind("0x", 0) != 0) {
        program = uint32_t(std::stoul(f));
        continue;
      }
      out.push_back(byId[f]);
      out.back().program = program;
    }
  return out;
}

std::vector<uint32_t> seriesOf(const mv::FileAnalysis& a) {
  std::vector<uint32_t> out(a.videoSeries->data(), a.videoSeries->data() + a.videoSeries->elementCount());
  out.insert(out.end(), a.audioSeries->data(), a.audioSeries->data() + a.audioSeries->elementCount());
  return out;
}

TEST(TrackChoiceMpeg, EveryTrackAndEveryChoiceMatchTheProbe) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  const struct {
    const char* name;
    const char* options;
    const char* suffix;
  } cases[] = {
      {"two programs",
       "-map 0:v -map 1:a -map 0:v -map 1:a -c:v:0 libx264 -c:a:0 aac -c:v:1 mpeg2video -c:a:1 mp2 "
       "-program title=a:st=0:st=1 -program title=b:st=2:st=3",
       ".ts"},
      {"a stream in two programs",
       "-map 0:v -map 1:a -map 1:a -c:v mpeg2video -c:a mp2 -program title=a:st=0:st=1 -program "
       "title=b:st=0:st=2",
       ".ts"},
      {"two languages",
       "-map 0:v -map 1:a -map 1:a -c:v mpeg2video -c:a:0 mp2 -c:a:1 ac3 -metadata:s:a:0 language=eng "
       "-metadata:s:a:1 language=fra",
       ".ts"},
      {"VOB with AC-3 and MPEG audio",
       "-map 0:v -map 1:a -map 1:a -c:v mpeg2video -c:a:0 ac3 -c:a:1 mp2 -f vob", ".vob"},
  };
  mvtest::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.file(std::string("made") + c.suffix);
    const bool ts = std::string(c.suffix) == ".ts";
    int status = 0;
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine=r=48000 "
                    "-t 3 ") +
            c.options + " '" + file + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    mv::FileSlot slot;
    ASSERT_TRUE(slot.open(file).ok());
    const mv::FileAnalysis& a = slot.analysis;
    const std::vector<Probed> probed = probeTracks(file, ts);
    ASSERT_EQ(a.tracks.size(), probed.size());
    std::vector<int> videos, audios;
    for (size_t i = 0; i < probed.size(); ++i) {
      const mv::Track& t = a.tracks[i];
      EXPECT_EQ(t.program, probed[i].program) << i;
      EXPECT_EQ(t.id, probed[i].id) << i;
      EXPECT_EQ(t.kind, probed[i].kind) << i;
      EXPECT_EQ(t.language, probed[i].language) << i;
      (t.kind == mv::TrackKind::Video ? videos : audios).push_back(int(i));
    }
    // The rules choose the first video and audio track.
    EXPECT_EQ(a.videoTrack, videos[0]);
    EXPECT_EQ(a.audioTrack, audios[0]);
    EXPECT_EQ(a.defaultVideo, videos[0]);
    EXPECT_EQ(a.defaultAudio, audios[0]);
    const std::vector<uint32_t> defaults = seriesOf(a);
    for (int video : videos)
      for (int audio : audios) {
        SCOPED_TRACE(::testing::Message() << "video " << video << " audio " << audio);
        ASSERT_TRUE(slot.chooseTracks(video, audio));
        const Probed& v = probed[size_t(video)];
        const Probed& au = probed[size_t(audio)];
        // ffprobe leaves out private stream 1's sub-stream id and DVD header.
        const uint32_t extra = !ts && (au.id >> 8) == 0xBD ? 4 : 0;
        const char* options = "-fflags +noparse+nofillin";
        const mvtest::ProbedUnits units[2] = {mvtest::probePackets(file, options, "i:" + v.select),
                                              mvtest::probePackets(file, options, "i:" + au.select, extra)};
        mvtest::expectUnitsAndSeries(a, units, 90000);
        EXPECT_EQ(a.frameWidth, 64);
        EXPECT_EQ(a.frameRateMilli, 25000);
        // The frame list's pictures are the chosen video's.
        std::vector<mv::VideoFrame> frames = mv::videoFrames(a);
        ASSERT_TRUE(mv::readPictureTypes(slot, frames).ok());
        const mvtest::ProbedUnits pictures = mvtest::probePackets(file, "", "i:" + v.select);
        uint64_t gotBytes = 0, probedBytes = 0;
        for (const mv::VideoFrame& f : frames) gotBytes += f.bytes;
        for (const auto& p : pictures) probedBytes += p.second;
        EXPECT_EQ(frames.size(), pictures.size());
        EXPECT_EQ(gotBytes, probedBytes);
      }
    ASSERT_TRUE(slot.chooseTracks(videos[0], audios[0]));
    EXPECT_EQ(seriesOf(a), defaults);
  }
}

// A choice puts the chosen audio on the chosen video's clock as a walk that chose them does,
// however its stamps were moved by an earlier choice.
TEST(TrackChoiceMpeg, ChosenTracksShareOneClockAcrossTheWrap) {
  constexpr int64_t kWrap = int64_t(1) << 33;
  const auto track = [](mv::TrackKind kind, std::vector<std::pair<int64_t, uint32_t>> units) {
    mv::Track t;
    t.kind = kind;
    t.units.present = true;
    t.units.clock = {1, 0, 90000};
    for (auto [ticks, bytes] : units) t.units.add({ticks, bytes}, 0);
    return t;
  };
  mv::FileAnalysis a;
  a.tracks = {track(mv::TrackKind::Video, {{kWrap - 90000, 10}}),
              track(mv::TrackKind::Audio, {{0, 20}, {90000, 30}}),
              track(mv::TrackKind::Audio, {{kWrap - 180000, 5}})};
  const struct {
    int audio;
    std::vector<uint32_t> video, audioSeconds;
  } choices[] = {{1, {10, 0, 0}, {0, 20, 30}}, {2, {0, 10}, {5, 0}}, {1, {10, 0, 0}, {0, 20, 30}}};
  for (const auto& c : choices) {
    SCOPED_TRACE(c.audio);
    ASSERT_TRUE(mv::swapChosenTracks(a, 0, c.audio));
    ASSERT_TRUE(mv::fillMpegChosenSeries(a).ok());
    EXPECT_EQ(std::vector<uint32_t>(a.videoSeries->data() + 8,
                                    a.videoSeries->data() + a.videoSeries->elementCount()),
              c.video);
    EXPECT_EQ(std::vector<uint32_t>(a.audioSeries->data() + 8,
                                    a.audioSeries->data() + a.audioSeries->elementCount()),
              c.audioSeconds);
  }
}

}  // namespace
