// `morvatelline-cli summary`: every row against the one-file commands, CSV and JSON alike through
// Python, the exit codes, and Ctrl+C.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fixtures/byte_writer.h"
#include "fixtures/interrupted_run.h"
#include "fixtures/rm_builder.h"
#include "fixtures/unprivileged.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string quote(const std::string& s) { return "'" + s + "'"; }

std::string cli(const std::string& args, int* status = nullptr) {
  return mvtest::runCommand(std::string(MORV_CLI_PATH) + " " + args + " 2>/dev/null", status);
}

// `seconds` of RealVideo, one packet a second but none in the seconds of `silent`.
void writeRm(const fs::path& path, uint32_t seconds, uint32_t silent) {
  mvtest::RmBuilder b;
  b.fileHeader(0, 3).properties({.duration = seconds * 1000, .numStreams = 1});
  b.mediaProperties({.streamNumber = 0,
                     .mime = "video/x-pn-realvideo",
                     .typeSpecific = mvtest::realVideoBlock("RV40", 320, 240, 25u << 16)});
  std::vector<mvtest::RmPacket> packets;
  for (uint32_t s = 0; s < seconds; ++s)
    if (s != silent) packets.push_back({.stream = 0, .timestamp = s * 1000 + 500, .length = 100});
  fs::create_directories(path.parent_path());
  b.data(packets).write(path);
}

// A tree of every container ffmpeg makes here, a RealMedia file with a silent second, a file of
// junk, one nobody may read, and a link back up.
struct Tree {
  mvtest::TempDir dir;
  fs::path root = dir.path() / "tree";
  std::vector<std::string> media;  // the files that load
  fs::path unreadable = root / "sub" / "locked.mp4";

  Tree() {
    fs::create_directories(root / "sub");
    const std::string src = "-f lavfi -i testsrc=size=96x64:rate=25 -f lavfi -i sine=r=44100 -t 3 ";
    const struct {
      const char* name;
      const char* codecs;
    } files[] = {
        {"a.mp4", "-c:v libx264 -g 20 -bf 2 -c:a aac"},   {"sub/b.mkv", "-c:v libx264 -g 12 -c:a libvorbis"},
        {"c.ts", "-c:v mpeg2video -g 12 -c:a mp2"},       {"sub/d.mpg", "-c:v mpeg2video -c:a mp2 -f vob"},
        {"e.flv", "-c:v flv1 -c:a libmp3lame -ar 44100"}, {"f.wmv", "-c:v wmv2 -c:a wmav2"},
        {"g.avi", "-c:v mpeg4 -c:a libmp3lame"},          {"h.h264", "-an -c:v libx264 -f h264"},
    };
    for (const auto& f : files) {
      int status = 0;
      const std::string path = (root / f.name).string();
      mvtest::runCommand("ffmpeg -v error -y " + src + f.codecs + " " + quote(path), &status);
      if (status == 0) media.push_back(path);
    }
    writeRm(root / "sub" / "r.rm", 8, 4);
    media.push_back((root / "sub" / "r.rm").string());
    mvtest::writeFile(root / "junk.mkv", mvtest::Bytes(3000, 0x42));
    fs::copy_file(root / "a.mp4", unreadable);
    fs::permissions(unreadable, fs::perms::none);
    fs::create_directory_symlink("..", root / "sub" / "loop");
    // The run gives up root: everything else must be open to "nobody".
    for (fs::path p = root; p != dir.path().parent_path(); p = p.parent_path())
      fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(root / "sub", fs::perms::all);
  }
};

// What a row says must be what the one-file commands say of the same file.
void expectRowMatches(const json& row) {
  const std::string path = row["path"];
  SCOPED_TRACE(path);
  const json series = json::parse(cli("series --window 5 " + quote(path)));
  const json frames = json::parse(cli("frames --json " + quote(path)));
  const json buffer = json::parse(cli("buffer --preset dvd --json " + quote(path)));
  const json gaps = json::parse(cli("gaps --json " + quote(path)));
  EXPECT_EQ(row["container"], series["mediaType"]);
  for (const char* key : {"durationSeconds", "fileLength", "frameWidth", "frameHeight"})
    EXPECT_EQ(row[key], series[key]);
  EXPECT_DOUBLE_EQ(row["frameRate"].get<double>(), series["frameRateMilli"].get<int>() / 1000.0);
  for (const char* item : {"video", "audio", "total"}) {
    const json& s = series[item];
    EXPECT_DOUBLE_EQ(row[std::string(item) + "Highest"].get<double>(), s[1].get<double>() / 100);
    EXPECT_DOUBLE_EQ(row[std::string(item) + "Lowest"].get<double>(), s[2].get<double>() / 100);
    EXPECT_DOUBLE_EQ(row[std::string(item) + "Average"].get<double>(), s[3].get<double>() / 100);
  }
  // The one-file commands' JSON gives averages to two decimals, as the texts do.
  const auto twoDecimals = [](const json& v) {
    return v.is_null() ? v : json(std::round(v.get<double>() * 100) / 100);
  };
  EXPECT_EQ(twoDecimals(row["videoPeak"]),
            series["videoPeak"].is_null() ? json() : series["videoPeak"]["rate"]);
  EXPECT_EQ(twoDecimals(row["totalPeak"]),
            series["totalPeak"].is_null() ? json() : series["totalPeak"]["rate"]);
  const json& stats = frames["stats"];
  for (const auto& [mine, theirs] : {std::pair{"frames", "frames"},
                                     {"keyFrames", "keyFrames"},
                                     {"shortestGop", "shortestGop"},
                                     {"longestGop", "longestGop"},
                                     {"averageGop", "averageGopFrames"}})
    EXPECT_EQ(twoDecimals(row[mine]), stats[theirs]) << mine;
  const auto runText = [](const json& run) {
    return run["start"] == run["end"]
               ? run["start"].get<std::string>()
               : run["start"].get<std::string>() + " -- " + run["end"].get<std::string>();
  };
  unsigned zero = 0;
  for (const json& run : gaps["gaps"])
    zero += run["endSecond"].get<unsigned>() - run["startSecond"].get<unsigned>() + 1;
  EXPECT_EQ(row["zeroSeconds"], zero);
  EXPECT_EQ(row["firstZeroRun"], gaps["gaps"].empty() ? json() : json(runText(gaps["gaps"][0])));
  if (buffer.contains("violations")) {
    EXPECT_EQ(row["bufferOk"], buffer["violations"].empty());
    EXPECT_EQ(row["firstBufferRun"],
              buffer["violations"].empty() ? json() : json(runText(buffer["violations"][0])));
  }
}

TEST(CliSummary, RowsAreTheOneFileCommandsAndCsvIsJson) {
  Tree t;
  ASSERT_EQ(t.media.size(), 9u) << "ffmpeg made every file";
  const std::string csv = t.dir.file("out.csv"), jsonOut = t.dir.file("out.json");
  // German numbers would write a decimal comma; the table never does.
  const std::string run = "env LC_ALL=de_DE.UTF-8 " + mvtest::unprivilegedPrefix() + MORV_CLI_PATH +
                          " summary --all-formats --buffer dvd " + quote(t.root.string());
  int status = 0;
  mvtest::runCommand(
      "chmod 777 " + quote(t.dir.path().string()) + "; " + run + " -o " + quote(csv) + " 2>/dev/null",
      &status);
  EXPECT_EQ(status, 3) << "the RealMedia file's silent second";
  mvtest::runCommand(run + " --json -o " + quote(jsonOut) + " 2>/dev/null", &status);
  EXPECT_EQ(status, 3);

  // Python reads both; the CSV's cells, typed by the JSON's, give the JSON again.
  const std::string same = mvtest::runCommand(
      "python3 -c 'import csv,json,sys\n"
      "rows=list(csv.DictReader(open(sys.argv[1],encoding=\"utf-8\",newline=\"\")))\n"
      "objs=json.load(open(sys.argv[2],encoding=\"utf-8\"))\n"
      "def typed(c,v):\n"
      "  if c==\"\": return None\n"
      "  if isinstance(v,bool): return c==\"true\"\n"
      "  if isinstance(v,(int,float)): return type(v)(float(c)) if isinstance(v,int) else float(c)\n"
      "  return c\n"
      "ok=len(rows)==len(objs) and all(all(typed(r[k],o.get(k))==o.get(k) for k in r) for r,o in "
      "zip(rows,objs))\n"
      "print(\"same\" if ok else \"differ\")' " +
      quote(csv) + " " + quote(jsonOut));
  EXPECT_EQ(same, "same\n");

  const json rows = json::parse(mvtest::readFile(jsonOut));
  std::vector<std::string> loaded, failed;
  for (const json& row : rows) (row["ok"].get<bool>() ? loaded : failed).push_back(row["path"]);
  std::vector<std::string> expected = t.media;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(loaded, expected) << "every file once, the link loop walked once";
  EXPECT_EQ(failed, (std::vector<std::string>{(t.root / "junk.mkv").string(), t.unreadable.string()}));
  for (const json& row : rows)
    if (row["ok"].get<bool>())
      expectRowMatches(row);
    else
      EXPECT_FALSE(row["error"].get<std::string>().empty());
}

TEST(CliSummary, ExitCodes) {
  mvtest::TempDir dir;
  const fs::path clean = dir.path() / "clean", junk = dir.path() / "junk", empty = dir.path() / "empty";
  fs::create_directories(empty);
  writeRm(clean / "a.rm", 8, 99);
  fs::create_directories(junk);
  mvtest::writeFile(junk / "a.rm", mvtest::Bytes(100, 0));
  int status = 0;
  const std::string out = cli("summary " + quote(clean.string()), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out.substr(0, 9), "path,ok,e");
  cli("summary " + quote(junk.string()), &status);
  EXPECT_EQ(status, 1) << "none could be read";
  cli("summary --json " + quote(empty.string()), &status);
  EXPECT_EQ(status, 0);
  cli("summary --csv --json " + quote(empty.string()), &status);
  EXPECT_EQ(status, 2);
}

TEST(CliSummary, CtrlCLeavesNoFile) {
  mvtest::TempDir dir;
  // Long progress lines fill the pipe: the run cannot end before the signal arrives.
  const fs::path src = dir.path() / std::string(150, 'p');
  constexpr int kFiles = 800;
  fs::create_directories(src);
  for (int i = 0; i < kFiles; ++i) writeRm(src / ("f" + std::to_string(i) + ".rm"), 5, 99);
  const std::string result = dir.file("out.csv");

  const mvtest::InterruptedRun run =
      mvtest::interruptAfterFirstLine({MORV_CLI_PATH, "summary", src.string(), "-o", result});
  ASSERT_TRUE(run.ran);
  const int status = run.status;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_FALSE(fs::exists(result));
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find("out.csv"), std::string::npos) << "no temporary file left";
}

}  // namespace
