// Matroska files written by real muxers (ffmpeg, mkvmerge, GStreamer), each checked against the
// series worked out from ffprobe's packet list: laced frames share their block's position, so
// packets are grouped by it; one origin for both tracks; exact arithmetic in the stream time base.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"
#include "mkv/mkv_reader.h"

namespace {

struct Tool {
  const char* name;
  const char* program;  // needed besides ffmpeg and ffprobe, or nullptr
  const char* command;  // %s: the output file; the source file is src.mkv beside it
  bool laced = false;   // the file must hold laced blocks
};

struct Probed {
  std::vector<uint32_t> video, audio;
  bool laced = false;
};

// Runs a shell command, failing the test on a nonzero status.
std::string run(const std::string& command) {
  int status = 0;
  std::string out = mvtest::runCommand(command, &status);
  EXPECT_EQ(status, 0) << command << "\n" << out;
  return out;
}

std::map<std::string, std::string> fields(const std::string& line) {
  std::map<std::string, std::string> m;
  std::istringstream in(line);
  std::string kv;
  while (std::getline(in, kv, '|')) {
    const size_t eq = kv.find('=');
    if (eq != std::string::npos) m[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  return m;
}

Probed probe(const std::string& path) {
  int videoIndex = -1, audioIndex = -1;
  int64_t num = 1, den = 1000;
  std::istringstream streams(
      run("ffprobe -v error -show_entries stream=index,codec_type,time_base -of compact=p=0 '" + path + "'"));
  for (std::string line; std::getline(streams, line);) {
    auto f = fields(line);
    if (!f.count("index")) continue;
    const int index = std::stoi(f["index"]);
    if (f["codec_type"] == "video" && videoIndex < 0) videoIndex = index;
    if (f["codec_type"] == "audio" && audioIndex < 0) audioIndex = index;
    const std::string tb = f["time_base"];
    num = std::stoll(tb.substr(0, tb.find('/')));
    den = std::stoll(tb.substr(tb.find('/') + 1));  // every Matroska stream has the segment's
  }
  struct Block {
    int stream;
    int64_t pts;
    uint64_t bytes;
  };
  std::map<uint64_t, Block> blocks;  // by position
  Probed p;
  std::istringstream packets(
      run("ffprobe -v error -show_entries packet=stream_index,size,pts,pos -of compact=p=0 '" + path + "'"));
  for (std::string line; std::getline(packets, line);) {
    auto f = fields(line);
    if (!f.count("stream_index") || !f.count("pos")) continue;  // blank and side-data lines
    const int stream = std::stoi(f["stream_index"]);
    if (stream != videoIndex && stream != audioIndex) continue;
    const uint64_t pos = std::stoull(f["pos"]);
    auto [it, fresh] = blocks.try_emplace(pos, Block{stream, 0, 0});
    if (fresh) it->second.pts = std::stoll(f["pts"]);
    if (!fresh) p.laced = true;
    it->second.bytes += std::stoull(f["size"]);
  }
  int64_t origin = INT64_MAX;
  for (const auto& [pos, b] : blocks) origin = std::min(origin, b.pts);
  for (const auto& [pos, b] : blocks) {
    const size_t s = size_t((b.pts - origin) * num / den);
    for (auto* v : {&p.video, &p.audio}) {
      if (v->size() <= s) v->resize(s + 1, 0);
    }
    (b.stream == videoIndex ? p.video : p.audio)[s] += uint32_t(b.bytes);
  }
  return p;
}

void PrintTo(const Tool& t, std::ostream* os) { *os << t.name; }

class MkvFromTools : public ::testing::TestWithParam<Tool> {
 protected:
  mvtest::TempDir dir;
};

TEST_P(MkvFromTools, SeriesEqualTheProbedPackets) {
  const Tool& t = GetParam();
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  if (t.program && !mvtest::haveProgram(t.program)) GTEST_SKIP() << t.program << " not installed";
  const std::string src = dir.file("src.mkv"), path = dir.file("out.mkv");
  if (std::string(t.command).find("src.mkv") != std::string::npos) {
    run("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=sample_rate=44100 -t 6 "
        "-c:v mpeg4 -q:v 4 -c:a libmp3lame '" +
        src + "' 2>&1");
  }
  char command[1024];
  std::snprintf(command, sizeof command, t.command, path.c_str());
  run(std::string("cd '") + dir.path().string() + "' && " + command + " 2>&1");

  const Probed expected = probe(path);
  ASSERT_FALSE(expected.video.empty());
  EXPECT_EQ(expected.laced, t.laced);
  mv::FileAnalysis a;
  ASSERT_TRUE(mvtest::load<mv::walkMatroska>(path, a).ok());
  ASSERT_EQ(a.durationSeconds, int32_t(expected.video.size()));
  const auto data = [](const mv::PerSecondSeries& s) {
    return std::vector<uint32_t>(s.data() + mv::kFirstSecond, s.data() + s.elementCount());
  };
  EXPECT_EQ(data(*a.videoSeries), expected.video);
  EXPECT_EQ(data(*a.audioSeries), expected.audio);
  EXPECT_EQ(a.frameWidth, 160);
  EXPECT_EQ(a.frameHeight, 120);
  EXPECT_NEAR(a.frameRateMilli, 25000, 10);
  EXPECT_TRUE(a.notes.empty());
}

#define SOURCE "-f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=sample_rate=48000 -t 5 "

INSTANTIATE_TEST_SUITE_P(
    Muxed, MkvFromTools,
    ::testing::Values(
        Tool{"ffmpeg_mpeg4_mp3", nullptr, "ffmpeg -v error -y " SOURCE "-c:v mpeg4 -c:a libmp3lame '%s'"},
        Tool{"ffmpeg_mpeg4_aac", nullptr, "ffmpeg -v error -y " SOURCE "-c:v mpeg4 -c:a aac '%s'"},
        Tool{"ffmpeg_webm_vp8_vorbis", nullptr,
             "ffmpeg -v error -y " SOURCE "-c:v libvpx -deadline realtime -c:a libvorbis -f webm '%s'"},
        // Not seekable: the Segment's size stays unknown.
        Tool{"ffmpeg_to_a_pipe", nullptr,
             "ffmpeg -v error -y " SOURCE "-c:v mpeg4 -c:a aac -f matroska pipe:1 > '%s'"},
        Tool{"mkvmerge_xiph_lacing", "mkvmerge", "mkvmerge -q --engage lacing_xiph -o '%s' src.mkv", true},
        Tool{"mkvmerge_ebml_lacing_no_cues", "mkvmerge",
             "mkvmerge -q --engage lacing_ebml --no-cues -o '%s' src.mkv", true},
        // mkvmerge laces the MP3 frames inside its BlockGroups too.
        Tool{"mkvmerge_block_groups", "mkvmerge", "mkvmerge -q --engage no_simpleblocks -o '%s' src.mkv",
             true},
        // streamable: unknown-size Segment and Clusters.
        Tool{"gstreamer_streamable", "gst-launch-1.0",
             "gst-launch-1.0 -q videotestsrc num-buffers=100 ! "
             "video/x-raw,width=160,height=120,framerate=25/1 ! "
             "vp8enc ! matroskamux name=m streamable=true ! filesink location='%s' "
             "audiotestsrc num-buffers=150 ! audioconvert ! vorbisenc ! m."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
