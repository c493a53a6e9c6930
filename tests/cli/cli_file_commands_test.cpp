// What the commands that read one file share: a file without video has no gaps, a file that does
// not load gives the one failure object, and JSON numbers are rounded as the texts give them.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "fixtures/byte_writer.h"

namespace {

using nlohmann::json;

constexpr const char* kChinese = "env LANGUAGE= LC_ALL= LC_MESSAGES= LANG=C ";
constexpr const char* kEnglish = "env LANGUAGE= LC_ALL= LC_MESSAGES= LANG=en_US.UTF-8 ";

struct CliRun {
  int status = -1;
  std::string out, err;
};

CliRun cli(const mvtest::TempDir& dir, const std::string& args, const char* env = kEnglish) {
  CliRun r;
  r.out = mvtest::runCommand(env + std::string(MORV_CLI_PATH) + " " + args + " 2>'" + dir.file("err") + "'",
                             &r.status);
  const mvtest::Bytes err = mvtest::readFile(dir.file("err"));
  r.err.assign(err.begin(), err.end());
  return r;
}

std::string make(const mvtest::TempDir& dir, const std::string& name, const std::string& args) {
  const std::string path = dir.file(name);
  mvtest::runCommand("ffmpeg -v error -y " + args + " '" + path + "' 2>&1");
  return path;
}

TEST(CliFileCommands, AFileWithoutVideoHasNoGaps) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const std::string tone = "-f lavfi -i sine=r=44100 -t 8 ";
  for (const std::string& path :
       {make(dir, "tone.mp3", tone + "-c:a libmp3lame"), make(dir, "tone.m4a", tone + "-c:a aac"),
        make(dir, "tone.mka", tone + "-c:a aac")}) {
    SCOPED_TRACE(path);
    CliRun r = cli(dir, "gaps '" + path + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, path + ": no video track\n");
    EXPECT_EQ(cli(dir, "gaps '" + path + "'", kChinese).out, path + ": 无视频轨道\n");
    r = cli(dir, "gaps --json '" + path + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(json::parse(r.out),
              json({{"ok", true}, {"path", path}, {"video", false}, {"gaps", json::array()}}));
  }
}

TEST(CliFileCommands, AFileThatDoesNotLoadGivesTheFailureObject) {
  mvtest::TempDir dir;
  const std::string path = dir.file("none.avi");
  for (const char* command :
       {"series", "gaps --json", "buffer --json --preset dvd", "frames --json", "tracks --json"})
    for (const char* env : {kChinese, kEnglish}) {
      SCOPED_TRACE(std::string(command) + " " + env);
      const CliRun r = cli(dir, std::string(command) + " '" + path + "'", env);
      EXPECT_EQ(r.status, 1);
      const std::string head = "morvatelline-cli: " + path + ": ";
      ASSERT_TRUE(r.err.starts_with(head) && r.err.ends_with("\n")) << r.err;
      const std::string cause = r.err.substr(head.size(), r.err.size() - head.size() - 1);
      ASSERT_TRUE(r.out.ends_with("}\n")) << r.out;
      EXPECT_EQ(json::parse(r.out),
                json({{"ok", false}, {"path", path}, {"message", cause}, {"reason", "could-not-read"}}));
    }
}

// Every fraction in a command's JSON has at most two decimals but the frame times (six).
void expectRounded(const json& j, const std::string& where) {
  if (j.is_structured()) {
    for (auto it = j.begin(); it != j.end(); ++it)
      if (!j.is_object() || it.key() != "time")
        expectRounded(*it, where + "/" + (j.is_object() ? it.key() : "[]"));
  } else if (j.is_number_float()) {
    const double hundredths = j.get<double>() * 100;
    EXPECT_NEAR(hundredths, std::round(hundredths), 1e-6) << where << " " << j;
  }
}

TEST(CliFileCommands, JsonNumbersAreRoundedAndBufferTellsItsVerdict) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const std::string clip = make(dir, "clip.mp4",
                                "-f lavfi -i testsrc=s=96x64:r=25 -f lavfi -i sine=r=44100 -t 5 -c:v libx264 "
                                "-g 7 -bf 2 -c:a aac");
  for (const char* command :
       {"series --window 3", "frames --json", "tracks --json", "buffer --json --preset bluray"}) {
    const CliRun r = cli(dir, std::string(command) + " '" + clip + "'");
    EXPECT_EQ(r.status, 0) << command << r.err;
    expectRounded(json::parse(r.out), command);
  }
  const json buffer = json::parse(cli(dir, "buffer --json --preset bluray '" + clip + "'").out);
  EXPECT_EQ(buffer["passed"], true);
  char lowest[64];
  std::snprintf(lowest, sizeof lowest, "lowest fullness %.2f kbit at %.6f s\n",
                buffer["lowest"]["fullness"].get<double>() / 1024, buffer["lowest"]["time"].get<double>());
  EXPECT_EQ(cli(dir, "buffer --preset bluray '" + clip + "'").out,
            clip + "\nbuffer check passed\n" + lowest + "\n");
}

}  // namespace
