// The JSON contract of `morvatelline-cli series` that scripts rely on.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "fixtures/avi_builder.h"

namespace {

namespace avi = mvtest::avi;

struct CliRun {
  int status;
  std::string out;
};

CliRun cli(const std::string& args) {
  int status = 0;
  std::string out = mvtest::runCommand(
      "env LANGUAGE= LC_ALL= LC_MESSAGES= LANG=C " + std::string(MORV_CLI_PATH) + " " + args + " 2>/dev/null",
      &status);
  return {status, out};
}

// Thirty seconds of video whose rate climbs by one kbit/s a second.
void writeRamp(const std::string& path) {
  auto f = avi::simpleVideo(0, 0);
  f.main.totalFrames = 30 * 25;
  for (int s = 0; s < 30; ++s)
    for (int k = 0; k < 25; ++k) f.add(0, "dc", uint32_t(128 * (s + 1)));
  mvtest::writeFile(path, f.build());
}

TEST(CliSeries, PrintsTheWholeRecordInContractOrder) {
  mvtest::TempDir dir;
  const std::string path = dir.file("clip.avi");
  writeRamp(path);

  const CliRun r = cli("series '" + path + "' --top 3 --bottom 4");
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.out.back(), '\n');
  const auto j = nlohmann::ordered_json::parse(r.out);
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"ok", "path", "mediaType", "fileLength", "durationSeconds",
                                            "frameWidth", "frameHeight", "frameRateMilli", "video", "audio",
                                            "total"}));
  EXPECT_EQ(j["ok"], true);
  EXPECT_EQ(j["path"], path);
  EXPECT_EQ(j["mediaType"], "AVI");
  EXPECT_EQ(j["durationSeconds"], 30);
  EXPECT_EQ(j["frameRateMilli"], 25000);
  const auto& v = j["video"];
  ASSERT_EQ(v.size(), 38u);
  EXPECT_EQ(v[0], 38);
  EXPECT_EQ(j["audio"].size(), 38u);
  EXPECT_EQ(j["total"][20], v[20]);
  EXPECT_GT(v[6].get<uint32_t>(), 0u);
  EXPECT_GT(v[6].get<uint32_t>(), v[7].get<uint32_t>());

  // Compact output: one line, no blanks between tokens.
  EXPECT_EQ(r.out.find(": "), std::string::npos);
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
}

TEST(CliSeries, TopAndBottomChangeTheThresholds) {
  mvtest::TempDir dir;
  const std::string path = dir.file("clip.avi");
  writeRamp(path);
  const auto d = nlohmann::json::parse(cli("series '" + path + "'").out);
  const auto one = nlohmann::json::parse(cli("series '" + path + "' --top 1 --bottom 1").out);
  EXPECT_GT(one["video"][6].get<uint32_t>(), d["video"][6].get<uint32_t>());
  EXPECT_LT(one["video"][7].get<uint32_t>(), d["video"][7].get<uint32_t>());
}

// A file named for another container, or for none, says what it was read as.
TEST(CliSeries, AFileReadByItsContentSaysSo) {
  mvtest::TempDir dir;
  writeRamp(dir.file("clip.avi"));
  const auto right = nlohmann::json::parse(cli("series '" + dir.file("clip.avi") + "'").out);
  for (const char* name : {"clip.mpg", "clip"}) {
    std::filesystem::copy_file(dir.file("clip.avi"), dir.file(name));
    const CliRun r = cli(std::string("series '") + dir.file(name) + "'");
    ASSERT_EQ(r.status, 0) << name;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["mediaType"], "AVI") << name;
    EXPECT_EQ(j["notes"], nlohmann::json({"content-not-suffix"})) << name;
    EXPECT_EQ(j["video"], right["video"]) << name;
  }
}

TEST(CliSeries, FailureAndUsage) {
  mvtest::TempDir dir;
  const CliRun missing = cli("series '" + dir.file("none.avi") + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "{\"ok\":false,\"path\":\"" + dir.file("none.avi") +
                             "\",\"message\":\"文件不存在\",\"reason\":\"could-not-read\"}\n");

  mvtest::writeFile(dir.file("clip.ogv"), mvtest::Bytes(64, 'x'));
  const CliRun wrongType = cli("series '" + dir.file("clip.ogv") + "'");
  EXPECT_EQ(wrongType.status, 1);
  EXPECT_TRUE(
      nlohmann::json::parse(wrongType.out)["message"].get<std::string>().starts_with("不是支持的媒体文件"));

  // The reasons behind the one message, and where the reader gave up.
  mvtest::writeFile(dir.file("text.avi"), mvtest::Bytes(64, 'x'));
  mvtest::Bytes bytes;
  const auto notAvi = nlohmann::json::parse(cli("series '" + dir.file("text.avi") + "'").out);
  EXPECT_EQ(notAvi["reason"], "not-this-format");
  writeRamp(dir.file("cut.avi"));
  bytes = mvtest::readFile(dir.file("cut.avi"));
  bytes.resize(300);  // inside idx1: read from what movi holds
  mvtest::writeFile(dir.file("cut.avi"), bytes);
  const auto cut = nlohmann::json::parse(cli("series '" + dir.file("cut.avi") + "'").out);
  EXPECT_EQ(cut["notes"], nlohmann::json({"cut-short", "index-rebuilt"}));
  bytes.resize(100);  // inside the header list
  mvtest::writeFile(dir.file("cut.avi"), bytes);
  const auto damaged = nlohmann::json::parse(cli("series '" + dir.file("cut.avi") + "'").out);
  EXPECT_EQ(damaged["reason"], "damaged");
  EXPECT_TRUE(damaged["position"].is_number());

  // Output that cannot be written is a failure, not a silent success.
  {
    mvtest::TempDir d;
    writeRamp(d.file("r.avi"));
    int status = 0;
    mvtest::runCommand(
        std::string(MORV_CLI_PATH) + " series '" + d.file("r.avi") + "' >/dev/full 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
  }

  EXPECT_EQ(cli("series").status, 2);
  EXPECT_EQ(cli("series a.avi --top 0").status, 2);
  EXPECT_EQ(cli("series a.avi --bottom 100").status, 2);
  EXPECT_EQ(cli("nosuchcommand").status, 2);
  EXPECT_EQ(cli("").status, 2);
}

}  // namespace
