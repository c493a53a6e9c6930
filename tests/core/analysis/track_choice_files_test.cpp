// Every track of MP4, Matroska and ASF files with several audio (and video) tracks of different
// codecs and languages: each choice of a video and an audio track gives the series worked out
// from ffprobe's packets of those two streams, one origin for both, exact in their time bases.
#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <sstream>

#include "analysis/file_slot.h"
#include "analysis/picture_types.h"
#include "fixtures/byte_writer.h"
#include "fixtures/mp4_builder.h"
#include "media/frames.h"

namespace {

__extension__ typedef __int128 Int128;

struct Case {
  const char* name;
  const char* file;
  const char* command;  // %s: the output file
  // Each track's, comma-separated: codec as the container names it, language as written
  // ("und" left out), name.
  const char* codecs;
  const char* languages;
  const char* names;
  bool byPosition;  // Matroska: laced frames of one block are one unit at the block's time
};

struct Stream {
  std::string kind;
  int64_t num = 1, den = 1;
  std::map<uint64_t, std::pair<int64_t, uint64_t>> units;  // by order or position: time, bytes
};

std::vector<std::map<std::string, std::string>> rows(const std::string& command) {
  std::istringstream in(mvtest::runCommand(command));
  std::vector<std::map<std::string, std::string>> out;
  for (std::string line; std::getline(in, line);) {
    auto& row = out.emplace_back();
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '|');)
      if (const size_t eq = field.find('='); eq != std::string::npos)
        row[field.substr(0, eq)] = field.substr(eq + 1);
  }
  return out;
}

std::vector<Stream> probe(const std::string& path, bool byPosition) {
  std::vector<Stream> out;
  for (auto& r :
       rows("ffprobe -v error -show_entries stream=codec_type,time_base -of compact=p=0 '" + path + "'")) {
    if (!r.count("time_base")) continue;
    Stream& s = out.emplace_back();
    s.kind = r["codec_type"];
    const std::string& tb = r["time_base"];
    s.num = std::stoll(tb.substr(0, tb.find('/')));
    s.den = std::stoll(tb.substr(tb.find('/') + 1));
  }
  uint64_t order = 0;
  for (auto& r :
       rows("ffprobe -v error -show_entries packet=stream_index,size,dts,pts,pos -of compact=p=0 '" + path +
            "'")) {
    if (!r.count("stream_index") || !r.count("size")) continue;
    Stream& s = out.at(std::stoul(r["stream_index"]));
    const std::string& time = byPosition || r["dts"] == "N/A" ? r["pts"] : r["dts"];
    auto [it, fresh] = s.units.try_emplace(byPosition ? std::stoull(r["pos"]) : order++,
                                           std::pair<int64_t, uint64_t>{std::stoll(time), 0});
    it->second.second += std::stoull(r["size"]);
  }
  return out;
}

// The series of streams v and a by the rule: second = floor(t − the earliest t of both).
std::vector<uint32_t> expectedSeries(const std::vector<Stream>& s, int v, int a, bool audio) {
  int64_t common = 1;
  for (int k : {v, a}) common = std::lcm(common, s[size_t(k)].den);
  const auto ticks = [&](const Stream& x, int64_t t) { return Int128(t) * x.num * (common / x.den); };
  Int128 origin = 0;
  bool any = false;
  for (int k : {v, a})
    for (const auto& [key, u] : s[size_t(k)].units)
      if (!any || ticks(s[size_t(k)], u.first) < origin) origin = ticks(s[size_t(k)], u.first), any = true;
  std::vector<uint32_t> out[2];
  for (int k : {0, 1}) {
    const Stream& x = s[size_t(k ? a : v)];
    for (const auto& [key, u] : x.units) {
      const size_t second = size_t((ticks(x, u.first) - origin) / common);
      for (auto& o : out)
        if (o.size() <= second) o.resize(second + 1);
      out[k][second] += uint32_t(u.second);
    }
  }
  return out[audio ? 1 : 0];
}

std::vector<uint32_t> data(const mv::PerSecondSeries& s) {
  return {s.data() + mv::kFirstSecond, s.data() + s.elementCount()};
}

class TrackChoice : public ::testing::TestWithParam<Case> {
 protected:
  mvtest::TempDir dir;
};

TEST_P(TrackChoice, EveryChoiceGivesItsStreamsSeries) {
  const Case& c = GetParam();
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  if (std::string(c.command).find("mkvmerge") != std::string::npos && !mvtest::haveProgram("mkvmerge"))
    GTEST_SKIP() << "mkvmerge not installed";
  const std::string path = dir.file(c.file);
  char command[2048];
  std::snprintf(command, sizeof command, c.command, path.c_str());
  int status = 0;
  const std::string said =
      mvtest::runCommand("cd '" + dir.path().string() + "' && " + command + " 2>&1", &status);
  ASSERT_EQ(status, 0) << said;

  const std::vector<Stream> streams = probe(path, c.byPosition);
  mv::FileSlot slot;
  ASSERT_TRUE(slot.open(path).ok());
  const mv::FileAnalysis& a = slot.analysis;
  ASSERT_EQ(a.tracks.size(), streams.size());
  std::istringstream codecs(c.codecs), languages(c.languages), names(c.names);
  std::vector<int> videos, audios;
  for (size_t i = 0; i < streams.size(); ++i) {
    const mv::Track& t = a.tracks[i];
    std::string codec, language, name;
    std::getline(codecs, codec, ',');
    std::getline(languages, language, ',');
    std::getline(names, name, ',');
    EXPECT_EQ(mv::trackKindName(t.kind), streams[i].kind) << i;
    EXPECT_EQ(t.codec, codec) << i;
    EXPECT_EQ(t.language == "und" ? "" : t.language, language) << i;
    EXPECT_EQ(t.name, name) << i;
    EXPECT_EQ(t.id, i + 1) << i;
    uint64_t bytes = 0;
    for (const auto& [key, u] : streams[i].units) bytes += u.second;
    EXPECT_EQ(t.unitCount, streams[i].units.size()) << i;
    EXPECT_EQ(t.bytes, bytes) << i;
    (t.kind == mv::TrackKind::Video ? videos : audios).push_back(int(i));
  }
  // The container's rules: the first of each kind.
  EXPECT_EQ(a.defaultVideo, videos[0]);
  EXPECT_EQ(a.defaultAudio, audios[0]);
  EXPECT_EQ(a.videoTrack, videos[0]);
  EXPECT_EQ(a.audioTrack, audios[0]);
  for (int v : videos) {
    for (int au : audios) {
      SCOPED_TRACE(testing::Message() << "video " << v << ", audio " << au);
      ASSERT_TRUE(slot.chooseTracks(v, au));
      const std::vector<uint32_t> video = expectedSeries(streams, v, au, false);
      EXPECT_EQ(a.durationSeconds, int32_t(video.size()));
      EXPECT_EQ(data(*a.videoSeries), video);
      EXPECT_EQ(data(*a.audioSeries), expectedSeries(streams, v, au, true));
      EXPECT_EQ(a.frameWidth, v == videos[0] ? 160 : 96);
    }
    // The frame list's types are the chosen video track's.
    std::vector<mv::VideoFrame> frames = mv::videoFrames(a);
    ASSERT_TRUE(mv::readPictureTypes(slot, frames).ok());
    ASSERT_EQ(frames.size(), a.videoUnits.unitCount());
    for (const mv::VideoFrame& f : frames) EXPECT_EQ(f.type, f.key ? 'I' : 'P');
  }
}

#define INPUTS                                                                                            \
  "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=f=440:sample_rate=48000 " \
  "-f lavfi -i sine=f=660:sample_rate=44100 -f lavfi -i sine=f=880:sample_rate=48000 "                    \
  "-f lavfi -i testsrc2=size=96x64:rate=15 -t 3 -map 0:v -map 1:a -map 2:a "
#define LANGUAGES "-metadata:s:a:1 language=deu -metadata:s:a:2 language=fra -metadata:s:a:1 title=Zweite "

INSTANTIATE_TEST_SUITE_P(
    Muxed, TrackChoice,
    ::testing::Values(
        Case{"mp4", "a.mp4",
             INPUTS "-map 3:a -map 4:v -c:v mpeg4 -c:a:0 aac -c:a:1 ac3 -c:a:2 libmp3lame " LANGUAGES "'%s'",
             "mp4v,mp4a,ac-3,mp4a,mp4v", ",,deu,fra,",
             "VideoHandler,SoundHandler,Zweite,SoundHandler,VideoHandler", false},
        Case{"mkv", "a.mkv",
             INPUTS "-map 3:a -map 4:v -c:v mpeg4 -c:a:0 aac -c:a:1 ac3 -c:a:2 libopus " LANGUAGES "'%s'",
             "V_MPEG4/ISO/ASP,A_AAC,A_AC3,A_OPUS,V_MPEG4/ISO/ASP", ",,deu,fra,", ",,Zweite,,", false},
        // mkvmerge laces the AC-3 frames, and writes the languages as ISO 639-2/B.
        Case{"mkvmerge", "b.mkv",
             INPUTS "-c:v mpeg4 -c:a:0 libmp3lame -c:a:1 ac3 " LANGUAGES
                    "src.mkv && mkvmerge -q -o '%s' src.mkv",
             "V_MPEG4/ISO/ASP,A_MPEG/L3,A_AC3", ",,ger", ",,Zweite", true},
        Case{"wmv", "a.wmv", INPUTS "-c:v wmv2 -c:a:0 wmav2 -c:a:1 libmp3lame " LANGUAGES "'%s'",
             "WMV2,0x0161,0x0055", ",,de", ",,", false}),
    [](const auto& info) { return std::string(info.param.name); });

// Forty text tracks of one-byte samples, together more than a quarter of the file: the tracks
// besides the chosen two keep no more units than one track may, and still count them all.
TEST(TrackChoiceRoom, OtherTracksShareOneTracksRoom) {
  namespace mp4 = mvtest::mp4;
  mp4::File f;
  f.mvex = true;
  f.tracks.push_back({.samples = {{100, 40}, {100, 40}}});
  mp4::Fragment fragment;
  for (uint32_t id = 2; id < 42; ++id) {
    f.tracks.push_back({.handler = "text", .trackId = id, .codec = "tx3g"});
    fragment.trafs.push_back({.trackId = id,
                              .defaultDuration = 1,
                              .defaultSize = 1,
                              .durations = false,
                              .sizes = false,
                              .samples = std::vector<mp4::Sample>(1000, {1, 1})});
  }
  f.fragments.push_back(fragment);
  const mvtest::Bytes bytes = f.build();
  mvtest::TempDir dir;
  const std::string path = dir.file("many.mp4");
  mvtest::writeFile(path, bytes);
  mv::FileSlot slot;
  ASSERT_TRUE(slot.open(path).ok());
  uint64_t kept = 0;
  for (size_t i = 1; i < slot.analysis.tracks.size(); ++i) {
    kept += slot.analysis.tracks[i].units.unitCount();
    EXPECT_EQ(slot.analysis.tracks[i].unitCount, 1000u);
  }
  EXPECT_GT(kept, 0u);
  EXPECT_LE(kept, std::max<uint64_t>(bytes.size() / 4, mv::kUnitFloor));
  EXPECT_EQ(slot.analysis.videoUnits.unitCount(), 2u);
}

}  // namespace
