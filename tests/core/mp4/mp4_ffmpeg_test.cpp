// MP4 and MOV files written by real muxers (ffmpeg, GStreamer), checked element for element
// against series worked out here from the packets ffprobe lists.
#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <sstream>

#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"
#include "mp4/mp4_reader.h"

namespace {

struct Case {
  const char* name;
  const char* suffix;
  const char* inputs;            // ffmpeg input arguments
  const char* output;            // ffmpeg output arguments
  bool audioTotalsOnly = false;  // PCM in MOV: ffprobe lists chunks, not samples
};

struct Stream {
  std::string type;
  int64_t num = 1, den = 1;                           // time base
  std::vector<std::pair<int64_t, uint32_t>> packets;  // dts, size
};

__extension__ typedef __int128 Int128;

class Mp4FromMuxers : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
      GTEST_SKIP() << "ffmpeg not installed";
  }

  // Lines of "key=value|key=value" as ffprobe's compact writer gives them.
  std::vector<std::map<std::string, std::string>> probeRows(const std::string& path,
                                                            const std::string& entries) {
    int status = 0;
    std::istringstream in(mvtest::runCommand(
        "ffprobe -v error -show_entries " + entries + " -of compact=p=0 '" + path + "'", &status));
    EXPECT_EQ(status, 0) << entries;
    std::vector<std::map<std::string, std::string>> rows;
    for (std::string line; std::getline(in, line);) {
      auto& row = rows.emplace_back();
      std::istringstream fields(line);
      for (std::string field; std::getline(fields, field, '|');) {
        const size_t eq = field.find('=');
        if (eq != std::string::npos) row[field.substr(0, eq)] = field.substr(eq + 1);
      }
    }
    return rows;
  }

  std::vector<Stream> probe(const std::string& path) {
    std::vector<Stream> out;
    for (auto& row : probeRows(path, "stream=codec_type,time_base")) {
      Stream s;
      s.type = row["codec_type"];
      const std::string& tb = row["time_base"];
      s.num = std::stoll(tb.substr(0, tb.find('/')));
      s.den = std::stoll(tb.substr(tb.find('/') + 1));
      out.push_back(s);
    }
    for (auto& row : probeRows(path, "packet=stream_index,size,dts")) {
      if (!row.count("stream_index") || !row.count("size")) continue;
      const size_t index = std::stoul(row["stream_index"]);
      if (index < out.size() && row["dts"] != "N/A")
        out[index].packets.push_back({std::stoll(row["dts"]), uint32_t(std::stoul(row["size"]))});
    }
    return out;
  }

  // The series of the first video and audio stream from ffprobe's decode times, one origin.
  void expected(const std::vector<Stream>& streams, std::vector<uint32_t>& video,
                std::vector<uint32_t>& audio, uint64_t& videoTotal, uint64_t& audioTotal,
                int32_t& rateMilli) {
    const Stream* chosen[2] = {nullptr, nullptr};
    for (const Stream& s : streams) {
      if (s.type == "video" && !chosen[0]) chosen[0] = &s;
      if (s.type == "audio" && !chosen[1]) chosen[1] = &s;
    }
    // Ticks of 1 / common seconds.
    int64_t common = 1;
    for (const Stream* s : chosen) {
      if (s) common = std::lcm(common, s->den);
    }
    const auto ticks = [&](const Stream& s, int64_t dts) { return Int128(dts) * s.num * (common / s.den); };
    bool any = false;
    Int128 origin = 0;
    for (const Stream* s : chosen) {
      for (const auto& [dts, size] : s ? s->packets : std::vector<std::pair<int64_t, uint32_t>>{}) {
        if (!any || ticks(*s, dts) < origin) origin = ticks(*s, dts);
        any = true;
      }
    }
    std::vector<uint32_t>* out[2] = {&video, &audio};
    uint64_t* totals[2] = {&videoTotal, &audioTotal};
    for (int k = 0; k < 2; ++k) {
      if (!chosen[k]) continue;
      for (const auto& [dts, size] : chosen[k]->packets) {
        const size_t second = size_t((ticks(*chosen[k], dts) - origin) / common);
        for (auto* v : out) {
          if (v->size() <= second) v->resize(second + 1);
        }
        (*out[k])[second] += size;
        *totals[k] += size;
      }
    }
    rateMilli = 0;
    if (chosen[0] && chosen[0]->packets.size() > 1) {
      const auto& p = chosen[0]->packets;
      rateMilli = int32_t(Int128(p.size() - 1) * 1000 * chosen[0]->den /
                          ((p.back().first - p.front().first) * chosen[0]->num));
    }
  }

  mvtest::TempDir dir;
};

std::vector<uint32_t> tail(const mv::PerSecondSeries& s) {
  return {s.data() + 8, s.data() + s.elementCount()};
}
uint64_t sum(const std::vector<uint32_t>& v) { return std::accumulate(v.begin(), v.end(), uint64_t(0)); }

TEST_P(Mp4FromMuxers, SeriesMatchProbedPackets) {
  const Case& c = GetParam();
  const std::string path = dir.file(std::string(c.name) + c.suffix);
  int status = 0;
  std::string command = c.inputs;
  if (command.rfind("gst-launch-1.0", 0) == 0) {
    if (!mvtest::haveProgram("gst-launch-1.0") ||
        mvtest::runCommand(
            "gst-inspect-1.0 qtmux >/dev/null 2>&1 && gst-inspect-1.0 jpegenc >/dev/null 2>&1 && echo ok") !=
            "ok\n")
      GTEST_SKIP() << "GStreamer qtmux or jpegenc missing";
    command += " location='" + path + "'";
  } else {
    command = "ffmpeg -v error -y " + command + " " + c.output + " '" + path + "'";
  }
  mvtest::runCommand(command + " 2>&1", &status);
  ASSERT_EQ(status, 0) << command;

  std::vector<uint32_t> video, audio;
  uint64_t videoTotal = 0, audioTotal = 0;
  int32_t rate = 0;
  expected(probe(path), video, audio, videoTotal, audioTotal, rate);

  mv::FileAnalysis a;
  ASSERT_TRUE(mvtest::load<mv::walkMp4>(path, a).ok());
  EXPECT_EQ(tail(*a.videoSeries), video);
  if (c.audioTotalsOnly) {
    EXPECT_EQ(sum(tail(*a.audioSeries)), audioTotal);
  } else {
    EXPECT_EQ(tail(*a.audioSeries), audio);
    EXPECT_EQ(a.durationSeconds, int32_t(video.size()));
  }
  EXPECT_EQ(a.frameRateMilli, rate);
  if (videoTotal) {
    EXPECT_EQ(a.frameWidth, 160);
    EXPECT_EQ(a.frameHeight, 120);
  }
}

constexpr const char* kAv = "-f lavfi -i testsrc=s=160x120:r=25 -f lavfi -i sine=sample_rate=44100 -t 5";

INSTANTIATE_TEST_SUITE_P(
    Muxed, Mp4FromMuxers,
    ::testing::Values(
        Case{"h264_bframes_edit_list", ".mp4", kAv, "-c:v libx264 -bf 2 -g 25 -c:a aac"},
        Case{"mpeg4_bframes_faststart", ".mp4", kAv, "-c:v mpeg4 -bf 2 -c:a aac -movflags +faststart"},
        Case{"fragmented", ".mp4", kAv, "-c:v mpeg4 -g 25 -c:a aac -movflags frag_keyframe+empty_moov"},
        Case{"fragmented_base_moof", ".mp4", kAv,
             "-c:v libx264 -bf 2 -g 25 -c:a aac -movflags frag_keyframe+empty_moov+default_base_moof"},
        Case{"mov_pcm", ".mov", kAv, "-c:v mjpeg -c:a pcm_s16le", true},
        Case{"video_only", ".m4v", "-f lavfi -i testsrc=s=160x120:r=30000/1001 -t 4", "-c:v mpeg4"},
        Case{"audio_only", ".mp4", "-f lavfi -i sine=sample_rate=48000 -t 4", "-c:a aac"},
        Case{"two_audio_tracks", ".mp4",
             "-f lavfi -i testsrc=s=160x120:r=25 -f lavfi -i sine=sample_rate=22050 -t 3",
             "-map 0:v -map 1:a -map 1:a -c:v mpeg4 -c:a:0 aac -c:a:1 libmp3lame"},
        // GStreamer's mp4mux takes no JPEG and this machine has no H.264 encoder for it: its
        // QuickTime sibling writes the same boxes.
        Case{"gstreamer_qtmux", ".mov",
             "gst-launch-1.0 -q audiotestsrc num-buffers=40 ! audio/x-raw,format=S16LE,rate=44100,channels=1 "
             "! m. "
             "videotestsrc num-buffers=60 ! video/x-raw,width=160,height=120,framerate=25/1 ! jpegenc ! "
             "qtmux name=m ! filesink",
             "", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
