// `morvatelline-cli buffer` and `check --buffer`: the runs of a buffer that does not take every
// frame, as text and JSON, and the exit codes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fixtures/avi_builder.h"

namespace {

namespace avi = mvtest::avi;

int run(const std::string& args, std::string* out = nullptr) {
  int status = 0;
  std::string text = mvtest::runCommand(
      "env LANGUAGE= LC_ALL= LC_MESSAGES= LANG=C " + std::string(MORV_CLI_PATH) + " " + args + " 2>&1",
      &status);
  if (out) *out = std::move(text);
  return status;
}

// Two seconds at 25 fps of 30-byte frames, one key frame only (a GOP of 50), and frame 30
// (1.2 s) of `big` bytes.
std::string writeClip(const mvtest::TempDir& dir, const std::string& name, uint32_t big) {
  auto f = avi::simpleVideo(0, 0);
  f.main.totalFrames = 50;
  for (uint32_t k = 0; k < 50; ++k) f.add(0, "dc", k == 30 ? big : 30, k == 0 ? 0x10 : 0);
  const std::string path = dir.file(name);
  mvtest::writeFile(path, f.build());
  return path;
}

TEST(CliBuffer, RunsExitCodesAndJson) {
  mvtest::TempDir dir;
  // 8000 bit/s refill 320 bits a frame, more than the 240 each takes; 4800 bits overflow 4000.
  const std::string big = writeClip(dir, "big.avi", 600);
  const std::string calm = writeClip(dir, "calm.avi", 30);
  const std::string custom = " --rate 8000 --buffer 4000";
  std::string out;
  EXPECT_EQ(run("buffer '" + big + "'" + custom, &out), 3);
  // The large frame at 1.2 s is in second 2, as the gaps label seconds.
  EXPECT_EQ(out, big + "\n00:00:02 frame-too-large\n最低充满度 0.31 kbit，于 1.240000 秒\n\n");
  ASSERT_EQ(run("buffer --json '" + big + "'" + custom, &out), 3) << out;
  const auto j = nlohmann::json::parse(out);
  EXPECT_EQ(j["ok"], true);
  EXPECT_EQ(j["path"], big);
  EXPECT_EQ(j["preset"], "custom");
  EXPECT_EQ(j["rate"], 8000);
  EXPECT_EQ(j["buffer"], 4000);
  // After the large frame the buffer is empty; the next frame finds one interval's 320 bits.
  EXPECT_EQ(j["lowest"], nlohmann::json({{"fullness", 320}, {"time", 1.24}}));
  EXPECT_EQ(j["violations"], nlohmann::json::parse(R"([{"start":"00:00:02","end":"00:00:02","startSecond":2,
      "endSecond":2,"kind":"frame-too-large","lowest":4000}])"));

  EXPECT_EQ(run("buffer '" + calm + "'" + custom, &out), 0);
  EXPECT_EQ(out, calm + "\n缓冲区检查通过\n最低充满度 3.91 kbit，于 0.000000 秒\n\n");
  // The rate and size in the program's kbit, of 1024 bits.
  ASSERT_EQ(run("buffer --json '" + calm + "' --rate '8 kbit/s' --buffer 4kbit", &out), 0) << out;
  EXPECT_EQ(nlohmann::json::parse(out)["rate"], 8192);
  EXPECT_EQ(nlohmann::json::parse(out)["buffer"], 4096);
  ASSERT_EQ(run("buffer --json '" + calm + "' --rate 8kbps --buffer 4096", &out), 0) << out;
  EXPECT_EQ(nlohmann::json::parse(out)["rate"], 8192);
  // A DVD takes no GOP of 50 pictures at 25 fps: the GOP's first picture is in second 1.
  ASSERT_EQ(run("buffer --json --preset dvd '" + calm + "'", &out), 3);
  EXPECT_EQ(nlohmann::json::parse(out)["violations"], nlohmann::json::parse(R"([{"start":"00:00:01",
      "end":"00:00:01","startSecond":1,"endSecond":1,"kind":"gop-too-long","lowest":null}])"));

  // The stream declares no model: a usage error naming why.
  EXPECT_EQ(run("buffer --preset stream '" + calm + "'", &out), 2);
  EXPECT_NE(out.find("MPEG-1/2"), std::string::npos) << out;
  for (const std::string& usage :
       {" '" + calm + "'", " --preset dvd --rate 8000 --buffer 4000 '" + calm + "'",
        " --rate 8000 '" + calm + "'", " --preset svcd '" + calm + "'",
        // Beyond 2^53 a fullness could not count single bits.
        " --rate 9223372036854775808 --buffer 4000 '" + calm + "'",
        " --rate 8000 --buffer 9007199254740993 '" + calm + "'",
        " --rate 8000kbit --buffer 4000 '" + calm + "'", " --rate 8000 --buffer 4kbps '" + calm + "'"})
    EXPECT_EQ(run("buffer" + usage, &out), 2) << usage;
  EXPECT_EQ(run("buffer --preset dvd '" + dir.file("missing.avi") + "'", &out), 1);
}

TEST(CliBuffer, BatchCheckListsBufferProblems) {
  mvtest::TempDir dir;
  const std::string folder = dir.file("media");
  mvtest::runCommand("mkdir '" + folder + "'");
  const std::string clip = writeClip(dir, "media/long-gop.avi", 30);
  std::string out;
  // Without the buffer the file has no seconds without video.
  EXPECT_EQ(run("check --all-formats --json '" + folder + "'", &out), 0) << out;
  ASSERT_EQ(run("check --all-formats --json --buffer dvd '" + folder + "' 2>/dev/null", &out), 3) << out;
  const auto j = nlohmann::json::parse(out.substr(out.find('{')));
  ASSERT_EQ(j["problems"].size(), 1u);
  EXPECT_EQ(j["problems"][0]["path"], clip);
  EXPECT_EQ(j["problems"][0]["bufferPreset"], "dvd");
  EXPECT_EQ(j["problems"][0]["bufferRuns"][0]["kind"], "gop-too-long");
  // The result file names the kind of each line.
  const std::string result = dir.file("result.txt");
  EXPECT_EQ(run("check --all-formats --buffer dvd -o '" + result + "' '" + folder + "'", &out), 3) << out;
  const mvtest::Bytes written = mvtest::readFile(result);
  const std::string text(written.begin(), written.end());
  EXPECT_NE(text.find("00:00:01 GOP"), std::string::npos) << text;
}

// "From the stream" for a file whose stream declares no buffer: named in the result and the JSON,
// with why, and not counted a problem.
TEST(CliBuffer, BatchCheckNamesFilesWithoutADeclaredBuffer) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const std::string folder = dir.file("media");
  const std::string clip = folder + "/h264.mp4";
  mvtest::runCommand("mkdir '" + folder +
                     "' && ffmpeg -v error -f lavfi -i testsrc=s=64x48:r=25 -t 3 -c:v libx264 '" + clip +
                     "'");
  std::string out;
  ASSERT_EQ(run("check --all-formats --json --buffer stream '" + folder + "' 2>/dev/null", &out), 0) << out;
  const auto j = nlohmann::json::parse(out.substr(out.find('{')));
  EXPECT_TRUE(j["problems"].empty());
  ASSERT_EQ(j["bufferUnchecked"].size(), 1u);
  EXPECT_EQ(j["bufferUnchecked"][0]["path"], clip);
  EXPECT_EQ(j["bufferUnchecked"][0]["reason"], "not-mpeg-1-2");
  for (const std::string& to : {std::string("-"), dir.file("result.txt")}) {
    EXPECT_EQ(run("check --all-formats --buffer stream -o '" + to + "' '" + folder + "' 2>/dev/null", &out),
              0);
    const mvtest::Bytes written = to == "-" ? mvtest::Bytes(out.begin(), out.end()) : mvtest::readFile(to);
    const std::string text(written.begin(), written.end());
    EXPECT_NE(text.find(clip + "\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("stream", text.find(clip)), std::string::npos) << text;
  }
}

}  // namespace
