// `tracks` lists what ffprobe finds in a file, and the track options of the other commands
// change nothing unless they choose other tracks than the default ones.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <nlohmann/json.hpp>
#include <numeric>
#include <sstream>

#include "analysis/file_slot.h"
#include "fixtures/byte_writer.h"
#include "fixtures/probed_series.h"
#include "fixtures/text_capture.h"
#include "platform/text_file.h"
#include "report/info_text.h"
#include "report/text_report.h"

namespace {

struct CliRun {
  int status;
  std::string out;
};

CliRun cli(const std::string& args) {
  int status = 0;
  std::string out = mvtest::runCommand(std::string(MORV_CLI_PATH) + " " + args + " 2>/dev/null", &status);
  return {status, out};
}

class CliTracks : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe")) GTEST_SKIP() << "no ffmpeg";
    int status = 0;
    mvtest::runCommand(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=96x64:rate=25 -f lavfi -i sine=r=44100 "
        "-t 3 -c:v libx264 -c:a aac '" +
            flv + "' 2>&1",
        &status);
    if (status != 0) GTEST_SKIP() << "ffmpeg made no FLV file";
  }
  mvtest::TempDir dir;
  std::string flv = dir.file("clip.flv");
};

TEST_F(CliTracks, ListsWhatFfprobeFinds) {
  const CliRun r = cli("tracks --json '" + flv + "'");
  ASSERT_EQ(r.status, 0);
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["ok"], true);
  EXPECT_EQ(j["path"], flv);
  ASSERT_EQ(j["tracks"].size(), 2u);
  const struct {
    const char* kind;
    const char* codec;
    int id;
    const char* select;
  } want[] = {{"video", "H.264/AVC", 9, "v:0"}, {"audio", "AAC", 8, "a:0"}};
  const double seconds =
      nlohmann::json::parse(cli("series '" + flv + "'").out)["durationSeconds"].get<double>();
  uint64_t bytes = 0;
  for (size_t i = 0; i < 2; ++i) {
    const auto& t = j["tracks"][i];
    const mvtest::ProbedUnits probed = mvtest::probePackets(flv, "", want[i].select);
    const uint64_t probedBytes = std::accumulate(probed.begin(), probed.end(), uint64_t(0),
                                                 [](uint64_t n, const auto& p) { return n + p.second; });
    EXPECT_EQ(t["number"], i);
    EXPECT_EQ(t["kind"], want[i].kind);
    EXPECT_EQ(t["codec"], want[i].codec);
    EXPECT_EQ(t["id"], want[i].id);
    EXPECT_EQ(t["units"], probed.size()) << i;
    EXPECT_EQ(t["bytes"], probedBytes) << i;
    EXPECT_EQ(t["default"], true);
    EXPECT_FALSE(t.contains("program"));
    // kbit of 1024 bits over the play time, as the report's total rate.
    EXPECT_NEAR(t["kbitPerSecond"].get<double>(), probedBytes / 128.0 / seconds, 0.01);
    bytes += probedBytes;
  }

  // The table: a heading and a row a track, the columns in the JSON's order.
  const CliRun text = cli("tracks '" + flv + "'");
  ASSERT_EQ(text.status, 0);
  std::istringstream lines(text.out);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    rows.emplace_back(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>());
  }
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"#", "kind", "codec", "language", "name", "id", "units",
                                               "bytes", "kbit/s", "default"}));
  EXPECT_EQ(rows[2],
            (std::vector<std::string>{
                "1", "audio", "AAC", "-", "-", "8", std::to_string(j["tracks"][1]["units"].get<uint64_t>()),
                std::to_string(j["tracks"][1]["bytes"].get<uint64_t>()), rows[2][8], "yes"}));

  // The information text's track block ends with what the container adds.
  mv::FileSlot slot;
  ASSERT_TRUE(slot.open(flv).ok());
  const std::string info =
      mvtest::captureText(dir, [&](mv::TextFile& out) { mv::writeInformation(out, slot); });
  const uint64_t overhead = slot.analysis.fileLength - bytes;
  char share[32];
  std::snprintf(share, sizeof share, "%.1f", 100.0 * double(overhead) / double(slot.analysis.fileLength));
  EXPECT_NE(
      info.find(mv::utf8ToGbk(
          "\r\n轨道\r\n轨道 0：视频，H.264/AVC，" + std::to_string(j["tracks"][0]["bytes"].get<uint64_t>()) +
          " 字节\r\n轨道 1：音频，AAC，" + std::to_string(j["tracks"][1]["bytes"].get<uint64_t>()) +
          " 字节\r\n容器开销：" + std::to_string(overhead) + " 字节，占文件 " + share + "%\r\n")),
      std::string::npos);
}

TEST_F(CliTracks, OptionsNamingTheDefaultChangeNothingAndWrongNumbersAreUsageErrors) {
  const CliRun plain = cli("series '" + flv + "'");
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out.find("videoTrack"), std::string::npos);
  const CliRun same = cli("series '" + flv + "' --video-track 0 --audio-track 1");
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, plain.out);
  EXPECT_EQ(cli("report '" + flv + "' -o - --audio-track 1").out, cli("report '" + flv + "' -o -").out);
  for (const char* wrong : {"--audio-track 0", "--audio-track 2", "--video-track 1", "--program 1"})
    EXPECT_EQ(cli("series '" + flv + "' " + wrong).status, 2) << wrong;
  EXPECT_EQ(cli("info '" + flv + "' --video-track 7").status, 2);
  EXPECT_EQ(cli("report '" + flv + "' '" + flv + "' -o - --audio-track 1").status, 2);

  // A file whose reader lists no tracks takes no choice.
  const std::string raw = dir.file("clip.mp3");
  int status = 0;
  mvtest::runCommand("ffmpeg -v error -y -f lavfi -i sine=r=44100 -t 1 '" + raw + "'", &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(cli("series '" + raw + "'").status, 0);
  EXPECT_EQ(cli("series '" + raw + "' --audio-track 0").status, 2);
}

// Only a choice other than the default shows in the file line.
TEST_F(CliTracks, TheFileLineNamesAChoice) {
  mv::FileSlot slot;
  ASSERT_TRUE(slot.open(flv).ok());
  const auto fileLine = [&] {
    const std::string text =
        mvtest::captureText(dir, [&](mv::TextFile& out) { mv::writeFileSummary(out, slot); });
    return text.substr(0, text.find("\r\n"));
  };
  EXPECT_EQ(fileLine(), mv::utf8ToGbk("文件: " + flv));
  ASSERT_TRUE(slot.chooseTracks(0, -1));
  EXPECT_EQ(fileLine(), mv::utf8ToGbk("文件: " + flv + " (视频轨 0，无音频轨)"));
  EXPECT_EQ(slot.analysis.audioSeries->elementCount(), slot.analysis.videoSeries->elementCount());
}

}  // namespace
