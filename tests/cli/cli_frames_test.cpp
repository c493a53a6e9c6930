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
      "frame\ttime\tbytes\tkey\r\n1\t0.000000\t900\t1\r\n2\t0.040000\t100\t0\r\n3\t0.080000\t120\t0\r\n"
      "4\t0.120000\t800\t1\r\n5\t0.160000\t90\t0\r\n";
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
  EXPECT_EQ(j["frames"][3], (nlohmann::json{{"time", 0.12}, {"bytes", 800}, {"key", true}}));
  EXPECT_EQ(j["gops"], nlohmann::json::parse(
                           R"([{"frame":0,"frames":3,"bytes":1120},{"frame":3,"frames":2,"bytes":890}])"));
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

}  // namespace
