// `morvatelline-cli frames`: the frame list in its three forms, and its exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "fixtures/avi_builder.h"

namespace {

namespace avi = mvtest::avi;

// The exit status of `morvatelline-cli frames ARGS`; its standard output goes to `out`.
int frames(const std::string& args, std::string* out = nullptr) {
  int status = 0;
  std::string text =
      mvtest::runCommand(std::string(MORV_CLI_PATH) + " frames " + args + " 2>/dev/null", &status);
  if (out) *out = std::move(text);
  return status;
}

// Five frames at 25 fps, key frames first and fourth.
std::string writeClip(const mvtest::TempDir& dir) {
  auto f = avi::simpleVideo(0, 0);
  f.main.totalFrames = 5;
  const uint32_t sizes[] = {900, 100, 120, 800, 90};
  for (int k = 0; k < 5; ++k) f.add(0, "dc", sizes[k], k == 0 || k == 3 ? 0x10 : 0);
  const std::string path = dir.file("clip.avi");
  mvtest::writeFile(path, f.build());
  return path;
}

TEST(CliFrames, TableAndCsvOneFrameALine) {
  mvtest::TempDir dir;
  const std::string path = writeClip(dir);
  const std::string tsv =
      "frame\ttime\tbytes\tkey\ttype\r\n1\t0.000000\t900\t1\t\r\n2\t0.040000\t100\t0\t\r\n"
      "3\t0.080000\t120\t0\t\r\n4\t0.120000\t800\t1\t\r\n5\t0.160000\t90\t0\t\r\n";
  std::string out;
  EXPECT_EQ(frames("'" + path + "'", &out), 0);
  EXPECT_EQ(out, tsv);
  std::string csv = tsv;
  std::replace(csv.begin(), csv.end(), '\t', ',');
  EXPECT_EQ(frames("--csv '" + path + "'", &out), 0);
  EXPECT_EQ(out, csv);

  const std::string target = dir.file("frames.csv");
  EXPECT_EQ(frames("--csv '" + path + "' -o '" + target + "'", &out), 0);
  EXPECT_EQ(out, target + "\n");
  const mvtest::Bytes written = mvtest::readFile(target);
  EXPECT_EQ(std::string(written.begin(), written.end()), csv);
}

TEST(CliFrames, JsonWithGroupsAndStatistics) {
  mvtest::TempDir dir;
  const std::string path = writeClip(dir);
  std::string out;
  ASSERT_EQ(frames("--json '" + path + "'", &out), 0);
  const auto j = nlohmann::json::parse(out);
  EXPECT_EQ(j["ok"], true);
  EXPECT_EQ(j["path"], path);
  ASSERT_EQ(j["frames"].size(), 5u);
  // The clip's codec is none the codec layer reads: no types.
  EXPECT_EQ(j["frames"][3], (nlohmann::json{{"time", 0.12}, {"bytes", 800}, {"key", true}, {"type", ""}}));
  EXPECT_EQ(j["gops"],
            nlohmann::json::parse(R"([{"frame":0,"frames":3,"bytes":1120,"structure":"---","open":null},
                                                 {"frame":3,"frames":2,"bytes":890,"structure":"--","open":null}])"));
  const auto& s = j["stats"];
  EXPECT_EQ(s["frames"], 5);
  EXPECT_EQ(s["keyFrames"], 2);
  EXPECT_EQ(s["maxBytes"], 900);
  EXPECT_EQ(s["minBytes"], 90);
  EXPECT_DOUBLE_EQ(s["averageBytes"].get<double>(), 402.0);
  EXPECT_DOUBLE_EQ(s["averageGopFrames"].get<double>(), 2.5);
}

TEST(CliFrames, ExitCodes) {
  mvtest::TempDir dir;
  const std::string clip = writeClip(dir);
  avi::File f;
  avi::Stream a;
  a.header.fccType = "auds";
  a.format = avi::waveFormat(1, 1, 8000, 8000, 1, 8);
  f.streams.push_back(a);
  f.main.totalFrames = 1;
  f.add(0, "wb", 100);
  const std::string audioOnly = dir.file("audio.avi");
  mvtest::writeFile(audioOnly, f.build());

  std::string out;
  EXPECT_EQ(frames("--json '" + audioOnly + "'", &out), 0);
  const auto j = nlohmann::json::parse(out);
  EXPECT_TRUE(j["frames"].empty());
  EXPECT_TRUE(j["gops"].empty());
  EXPECT_EQ(j["stats"]["frames"], 0);

  EXPECT_EQ(frames("'" + dir.file("missing.avi") + "'"), 1);
  EXPECT_EQ(frames("'" + clip + "' -o '" + dir.path().string() + "'"), 1);  // a folder
  EXPECT_EQ(frames(""), 2);
  EXPECT_EQ(frames("--json --csv '" + clip + "'"), 2);
}

// Every container's frames get the types ffprobe decodes, in decode order; JSON times carry six
// decimals at most.
TEST(CliFrames, PictureTypesAsTheDecoderSeesThem) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe")) GTEST_SKIP() << "no ffmpeg";
  mvtest::TempDir dir;
  const char* const encodings[][2] = {{"mp4", "-c:v libx264 -x264-params b-adapt=0:bframes=2"},
                                      {"mkv", "-c:v libx264 -x264-params b-adapt=0:bframes=2"},
                                      {"avi", "-c:v mpeg4 -bf 2"},
                                      {"flv", "-c:v libx264 -x264-params b-adapt=0:bframes=2"},
                                      {"ts", "-c:v mpeg2video -bf 2"},
                                      {"webm", "-c:v libvpx -auto-alt-ref 0"},
                                      {"wmv", "-c:v wmv2"}};
  for (const auto& [suffix, args] : encodings) {
    const std::string path = dir.file(std::string("clip.") + suffix);
    int status = 0;
    mvtest::runCommand(std::string("ffmpeg -v error -y -f lavfi -i testsrc=size=96x64:rate=25 -t 2 -g 12 ") +
                           args + " '" + path + "' 2>&1",
                       &status);
    if (status != 0) continue;
    // The decoder's types in decode order: frames sorted by their packets' places in the file
    // (frames of one ASF packet share a place and come in order; program streams' packs are
    // checked by the PS reader's own test).
    const std::string probed = mvtest::runCommand(
        "ffprobe -v error -select_streams v -show_entries frame=pkt_pos,pict_type -of csv=p=0 '" + path +
            "' | sort -s -t, -k1,1n | cut -d, -f2 | tr -d '\\n'",
        &status);
    std::string out;
    ASSERT_EQ(frames("--json '" + path + "'", &out), 0) << suffix;
    const auto j = nlohmann::json::parse(out);
    std::string types;
    for (const auto& f : j["frames"]) types += f["type"].get<std::string>();
    EXPECT_EQ(types, probed) << suffix;
    EXPECT_EQ(out.find("00000000"), std::string::npos) << suffix;  // no binary noise in the times
    // MPEG-2's GOPs after the first are open (B pictures lean on the GOP before); x264's are not.
    if (std::string(suffix) == "ts" || std::string(suffix) == "mp4") {
      EXPECT_EQ(j["gops"][1]["open"], std::string(suffix) == "ts") << suffix;
    }
  }
}

}  // namespace
