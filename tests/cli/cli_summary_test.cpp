// `morvatelline-cli summary`: every row against the one-file commands, CSV and JSON alike through
// Python, the exit codes, and Ctrl+C.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
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

// RealAudio only, one packet a second.
void writeRealAudio(const fs::path& path, uint32_t seconds, std::string_view codec) {
  mvtest::RmBuilder b;
  b.fileHeader(0, 3).properties({.duration = seconds * 1000, .numStreams = 1});
  b.mediaProperties({.streamNumber = 0,
                     .mime = "audio/x-pn-realaudio",
                     .typeSpecific = mvtest::realAudioBlock(4, 44100, 16, 2, codec)});
  std::vector<mvtest::RmPacket> packets;
  for (uint32_t s = 0; s < seconds; ++s)
    packets.push_back({.stream = 0, .timestamp = s * 1000, .length = 200});
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
        {"a.mp4", "-c:v libx264 -g 20 -bf 2 -c:a aac"},
        {"sub/b.mkv", "-c:v libx264 -g 12 -c:a libvorbis"},
        {"c.ts", "-c:v mpeg2video -g 12 -c:a mp2"},
        {"sub/d.mpg", "-c:v mpeg2video -c:a mp2 -f vob"},
        {"e.flv", "-c:v flv1 -c:a libmp3lame -ar 44100"},
        {"f.wmv", "-c:v wmv2 -c:a wmav2"},
        {"g.avi", "-c:v mpeg4 -c:a libmp3lame"},
        {"h.h264", "-an -c:v libx264 -f h264"},
        // Audio only: no seconds without video.
        {"i.mp3", "-vn -c:a libmp3lame"},
        {"j.m4a", "-vn -c:a aac"},
        {"sub/k.mka", "-vn -c:a libvorbis"},
        {"l.ts", "-vn -c:a mp2"},
        {"m.avi", "-vn -c:a pcm_s16le"},
        {"n.aac", "-vn -c:a aac"},
        {"o.mkv", "-c:v mpeg4 -c:a eac3"},
        {"p.mp4", "-c:v libx264 -c:a ac3"},
    };
    for (const auto& f : files) {
      int status = 0;
      const std::string path = (root / f.name).string();
      mvtest::runCommand("ffmpeg -v error -y " + src + f.codecs + " " + quote(path), &status);
      if (status == 0) media.push_back(path);
    }
    writeRm(root / "sub" / "r.rm", 8, 4);
    media.push_back((root / "sub" / "r.rm").string());
    writeRealAudio(root / "q.ra.rm", 8, "dnet");
    media.push_back((root / "q.ra.rm").string());
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

double hundredths(double v) { return std::round(v * 100) / 100; }

// The codec names people know, by ffprobe's names; where the container does not tell MPEG
// audio's layer or MPEG video's version, the name says so.
const std::map<std::string, std::set<std::string>> kCodecNames = {
    {"h264", {"H.264"}},
    {"hevc", {"HEVC"}},
    {"mpeg1video", {"MPEG-1 Video", "MPEG-1/2 Video"}},
    {"mpeg2video", {"MPEG-2 Video", "MPEG-1/2 Video"}},
    {"mpeg4", {"MPEG-4 Visual"}},
    {"flv1", {"Sorenson Spark"}},
    {"wmv2", {"WMV 8"}},
    {"vp8", {"VP8"}},
    {"rv40", {"RealVideo 4.0"}},
    {"aac", {"AAC"}},
    {"mp3", {"MP3", "MPEG Audio"}},
    {"mp2", {"MP2", "MPEG Audio"}},
    {"ac3", {"AC-3"}},
    {"eac3", {"E-AC-3"}},
    {"vorbis", {"Vorbis"}},
    {"wmav2", {"WMA 2"}},
    {"pcm_s16le", {"PCM"}},
};

// The first video and audio stream's codec as ffprobe names them; "" for none. ffprobe gives up
// on the built RealAudio file's packets: its codec is the one written.
std::pair<std::string, std::string> probedCodecs(const std::string& path) {
  if (path.ends_with(".ra.rm")) return {"", "ac3"};
  const json streams = json::parse(mvtest::runCommand(
      "ffprobe -v error -show_entries stream=codec_type,codec_name -of json " + quote(path)))["streams"];
  std::string video, audio;
  for (const json& st : streams) {
    std::string& slot = st.value("codec_type", "") == "video" ? video : audio;
    if (slot.empty() && st.value("codec_type", "") != "") slot = st.value("codec_name", "?");
  }
  return {video, audio};
}

// What a row says must be what the one-file commands and ffprobe say of the same file.
void expectRowMatches(const json& row) {
  const std::string path = row["path"];
  SCOPED_TRACE(path);
  const auto [video, audio] = probedCodecs(path);
  EXPECT_EQ(row["video"], !video.empty());
  for (const auto& [mine, theirs] : {std::pair{"videoCodec", video}, {"audioCodec", audio}}) {
    if (theirs.empty()) {
      EXPECT_TRUE(row[mine].is_null()) << mine;
    } else {
      ASSERT_TRUE(kCodecNames.count(theirs)) << theirs;
      EXPECT_TRUE(kCodecNames.at(theirs).count(row[mine].get<std::string>())) << row[mine] << " " << theirs;
      EXPECT_FALSE(row[std::string(mine) + "Tag"].get<std::string>().empty());
    }
  }
  EXPECT_TRUE(row["notes"].is_array());
  if (video.empty()) {
    // Nothing of pictures and no seconds without video: it has no video to miss.
    for (const char* key :
         {"frameWidth", "frameHeight", "frameRate", "zeroSeconds", "firstZeroRun", "frames"})
      EXPECT_TRUE(row[key].is_null()) << key;
    return;
  }
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
  // Rates with two decimals, as the CSV writes them.
  for (const char* key : {"videoPeak", "totalPeak"}) {
    if (series[key].is_null())
      EXPECT_TRUE(row[key].is_null());
    else
      EXPECT_EQ(row[key].get<double>(), hundredths(series[key]["rate"].get<double>())) << key;
  }
  const json& stats = frames["stats"];
  for (const auto& [mine, theirs] : {std::pair{"frames", "frames"},
                                     {"keyFrames", "keyFrames"},
                                     {"shortestGop", "shortestGop"},
                                     {"longestGop", "longestGop"}})
    EXPECT_EQ(row[mine], stats[theirs]) << mine;
  EXPECT_EQ(row["averageGop"].get<double>(), hundredths(stats["averageGopFrames"].get<double>()));
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
  ASSERT_EQ(t.media.size(), 18u) << "ffmpeg made every file";
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
      "  if isinstance(v,list): return c.split() if c else []\n"
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

  // The check of the same tree finds the silent second only, in no file without video.
  const json found = json::parse(mvtest::runCommand(mvtest::unprivilegedPrefix() + MORV_CLI_PATH +
                                                    " check --all-formats --json " + quote(t.root.string()) +
                                                    " 2>/dev/null"));
  ASSERT_EQ(found["problems"].size(), 1u) << found;
  EXPECT_EQ(found["problems"][0]["path"], (t.root / "sub" / "r.rm").string());
}

// The walk stays in the chosen folder and names what it leaves out: a link out of it is not
// followed, and a folder that cannot be read or is too deep for a path is a row of its own.
TEST(CliSummary, WalkStaysInTheFolderAndUnreadableFoldersAreRows) {
  mvtest::TempDir dir, outside;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  const fs::path root = dir.path() / "tree";
  writeRm(root / "a.rm", 8, 99);
  writeRm(root / "locked" / "b.rm", 8, 99);
  writeRm(outside.path() / "far.rm", 8, 99);
  fs::create_directory_symlink(outside.path(), root / "out");
  fs::create_directory_symlink("/", root / "system");
  fs::create_directory_symlink(root / "locked", root / "in");
  // A chain of folders deeper than a path may be, made one level at a time from descriptors.
  const std::string segment(200, 'd');
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < PATH_MAX / 200 + 1 && fd >= 0; ++level) {
    ::mkdirat(fd, segment.c_str(), 0755);
    const int next = ::openat(fd, segment.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
  }
  ::close(fd);
  for (const fs::path& p : {root, root / "locked"}) fs::permissions(p, fs::perms::all);
  ASSERT_EQ(::chmod((root / "locked").c_str(), 0), 0);
  const std::string out = dir.file("out.json");
  int status = 0;
  const std::string err =
      mvtest::runCommand(mvtest::unprivilegedPrefix() + MORV_CLI_PATH + " summary --json " +
                             quote(root.string()) + " -o " + quote(out) + " 2>&1 >/dev/null",
                         &status);
  ::chmod((root / "locked").c_str(), 0755);
  fs::rename(root / segment, dir.path() / "deep");  // shorter, so that the chain can be removed
  mvtest::runCommand("rm -rf " + quote(dir.file("deep")));
  EXPECT_EQ(status, 1) << "the tree was not read whole";
  EXPECT_NE(err.find((root / "out").string() + ": "), std::string::npos) << err;
  EXPECT_NE(err.find((root / "system").string() + ": "), std::string::npos) << err;
  std::vector<std::pair<std::string, bool>> rows;
  for (const json& row : json::parse(mvtest::readFile(out))) {
    std::string path = row["path"];
    // "in" and "locked" name one folder: whichever the walk met first is the row.
    if (path == (root / "in").string()) path = (root / "locked").string();
    rows.emplace_back(path.size() > PATH_MAX ? path.substr(0, root.string().size() + 10) : path, row["ok"]);
    EXPECT_EQ(row["error"].is_null(), row["ok"].get<bool>()) << path;
  }
  const std::vector<std::pair<std::string, bool>> expected{{(root / "a.rm").string(), true},
                                                           {(root / segment.substr(0, 9)).string(), false},
                                                           {(root / "locked").string(), false}};
  EXPECT_EQ(rows, expected);
}

// A CSV for a terminal escapes the control bytes of names; one for a file keeps them.
TEST(CliSummary, CsvOnATerminalEscapesControlBytes) {
  mvtest::TempDir dir;
  const std::string raw = "x\x1b[2J\x07.rm";
  writeRm(dir.path() / raw, 8, 99);
  const std::string run = std::string(MORV_CLI_PATH) + " summary " + quote(dir.path().string());
  const std::string onTerminal = mvtest::runCommand(
      "python3 -c 'import os,pty,sys\n"
      "pid,fd=pty.fork()\n"
      "if pid==0: os.execvp(\"sh\",[\"sh\",\"-c\",sys.argv[1]])\n"
      "out=b\"\"\n"
      "while True:\n"
      "  try: b=os.read(fd,4096)\n"
      "  except OSError: break\n"
      "  if not b: break\n"
      "  out+=b\n"
      "sys.stdout.buffer.write(out)' " +
      quote(run + " 2>/dev/null"));
  EXPECT_NE(onTerminal.find("x\\e[2J\\x07.rm"), std::string::npos) << onTerminal;
  EXPECT_EQ(onTerminal.find_first_of("\x1b\x07"), std::string::npos);
  const std::string piped = mvtest::runCommand(run + " 2>/dev/null");
  EXPECT_NE(piped.find(raw), std::string::npos);
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
