// The video frames of files ffmpeg wrote, in every container the program reads, against the
// packets ffprobe lists for the same file: sizes and key flags in order, and GOPs of 12.
#include <gtest/gtest.h>

#include <numeric>
#include <sstream>

#include "analysis/file_slot.h"
#include "analysis/picture_types.h"
#include "fixtures/byte_writer.h"
#include "fixtures/robustness.h"
#include "media/frames.h"

namespace {

enum class Match {
  Exact,         // one frame per packet, same size and key flag
  PlusTen,       // RealMedia: a packet header and the RealVideo frame header (12 + 7) against
                 // ffmpeg's slice table (1 + 8): ten bytes more a frame
  Pictures,      // MPEG streams cut into pictures: a zero byte before a start code opens the next
                 // picture, where ffprobe's parser closes the one before with it
  KeysAndTotal,  // one frame per packet, but ffprobe's HEVC parser draws the first and the last
                 // frame's ends one byte apart from the PES packets
};

struct Case {
  const char* name;
  const char* suffix;
  const char* args;  // encoders and muxer options
  Match match = Match::Exact;
  bool clearRandomAccess = false;  // TS: the key flags must come from the pictures alone
  bool typesInOrder = false;       // no B pictures: the decoder's types come in decode order
  const char* size = "160x120";
};

const Case kCases[] = {
    {"Avi", "avi", "-c:v mpeg4 -c:a mp2"},
    {"Mp4", "mp4", "-c:v libx264 -c:a aac"},
    {"Mov", "mov", "-c:v libx264 -c:a aac"},
    {"Mkv", "mkv", "-c:v libx264 -c:a aac"},
    {"WebM", "webm", "-c:v libvpx -c:a libopus"},
    {"TsH264", "ts", "-c:v libx264 -c:a mp2"},
    {"TsH264WithoutRandomAccess", "ts", "-c:v libx264 -c:a mp2", Match::Exact, true},
    {"TsMpeg2WithoutRandomAccess", "ts", "-c:v mpeg2video -c:a mp2", Match::Pictures, true},
    {"TsHevcWithoutRandomAccess", "ts",
     "-c:v libx265 -x265-params keyint=12:min-keyint=12:scenecut=0:open-gop=0:log-level=none -an",
     Match::KeysAndTotal, true},
    {"M2ts", "m2ts", "-c:v libx264 -c:a ac3 -mpegts_m2ts_mode 1"},
    {"Vob", "vob", "-c:v mpeg2video -c:a mp2 -f vob", Match::Pictures},
    {"Mpeg1", "mpg", "-c:v mpeg1video -c:a mp2 -f mpeg", Match::Pictures},
    {"FlvSorenson", "flv", "-c:v flv -c:a libmp3lame -ar 44100"},
    {"FlvH264", "flv", "-c:v libx264 -c:a aac"},
    {"Wmv", "wmv", "-c:v wmv2 -c:a wmav2"},
    {"RealMedia", "rm", "-c:v rv20 -c:a ac3", Match::PlusTen, false, true},
    {"RealMediaRv10", "rm", "-c:v rv10 -c:a ac3", Match::PlusTen, false, true, "160x128"},
};

struct Packet {
  uint32_t bytes;
  bool key;
  bool operator==(const Packet&) const = default;
};
void PrintTo(const Packet& p, std::ostream* os) { *os << p.bytes << (p.key ? "K" : ""); }

uint64_t sum(const std::vector<Packet>& v) {
  return std::accumulate(v.begin(), v.end(), uint64_t(0),
                         [](uint64_t s, const Packet& p) { return s + p.bytes; });
}
std::vector<size_t> keys(const std::vector<Packet>& v) {
  std::vector<size_t> at;
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i].key) at.push_back(i);
  return at;
}

std::vector<Packet> probeVideo(const std::string& path) {
  std::istringstream in(
      mvtest::runCommand("ffprobe -v error -select_streams v:0 -show_entries packet=size,flags "
                         "-of csv=p=0 '" +
                         path + "'"));
  std::vector<Packet> out;
  std::string line;
  while (std::getline(in, line)) {
    const size_t comma = line.find(',');
    if (comma == std::string::npos || comma == 0) continue;
    out.push_back({uint32_t(std::stoul(line.substr(0, comma))), line[comma + 1] == 'K'});
  }
  return out;
}

// Clears random_access_indicator in every 188-byte packet that has one.
void clearRandomAccess(const std::string& path) {
  mvtest::Bytes b = mvtest::readFile(path);
  for (size_t i = 0; i + 188 <= b.size(); i += 188)
    if (b[i] == 0x47 && (b[i + 3] & 0x20) && b[i + 4] > 0) b[i + 5] &= uint8_t(~0x40);
  mvtest::writeFile(path, b);
}

class FramesAgainstProbe : public ::testing::TestWithParam<Case> {};

TEST_P(FramesAgainstProbe, SizesKeysAndGops) {
  const Case& c = GetParam();
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const std::string path = dir.file(std::string("clip.") + c.suffix);
  int status = 0;
  mvtest::runCommand(std::string("ffmpeg -v error -y -f lavfi -i testsrc=size=") + c.size +
                         ":rate=25 -f lavfi -i sine=frequency=440 -t 3 -g 12 " + c.args + " '" + path +
                         "' 2>&1",
                     &status);
  if (status != 0) GTEST_SKIP() << "this ffmpeg cannot write " << c.name;
  const std::vector<Packet> probed = probeVideo(path);
  ASSERT_EQ(probed.size(), 75u);
  if (c.clearRandomAccess) clearRandomAccess(path);

  mv::FileSlot slot;
  ASSERT_TRUE(slot.open(path).ok());
  std::vector<mv::VideoFrame> frames = mv::videoFrames(slot.analysis);
  ASSERT_TRUE(mv::readPictureTypes(slot, frames).ok());  // as the frame list asks
  std::vector<Packet> ours;
  for (const mv::VideoFrame& f : frames)
    ours.push_back({f.bytes - (c.match == Match::PlusTen ? 10 : 0), f.key != 0});
  for (size_t i = 1; i < frames.size(); ++i) EXPECT_GE(frames[i].seconds, 0.0) << i;

  if (c.match == Match::Pictures) {
    ASSERT_EQ(ours.size(), probed.size());
    for (size_t i = 0; i < ours.size(); ++i)
      EXPECT_LE(std::abs(int64_t(ours[i].bytes) - int64_t(probed[i].bytes)), 1) << i;
  }
  if (c.match == Match::KeysAndTotal || c.match == Match::Pictures) {
    ASSERT_EQ(ours.size(), probed.size());
    EXPECT_EQ(keys(ours), keys(probed));
    EXPECT_EQ(sum(ours), sum(probed));
  } else {
    ASSERT_EQ(ours, probed);
  }
  if (c.typesInOrder) {
    std::string decoded, read;
    std::istringstream types(mvtest::runCommand(
        "ffprobe -v error -select_streams v:0 -show_entries frame=pict_type -of csv=p=0 '" + path + "'"));
    for (std::string line; std::getline(types, line);)
      if (!line.empty()) decoded += line[0];
    for (const mv::VideoFrame& f : frames) read += f.type ? f.type : '-';
    EXPECT_EQ(read, decoded);
  }
  const std::vector<mv::Gop> gops = mv::groupsOfPictures(frames);
  ASSERT_EQ(gops.size(), 7u);
  for (size_t g = 0; g < gops.size(); ++g) {
    EXPECT_EQ(gops[g].firstFrame, 12 * g);
    EXPECT_EQ(gops[g].frames, g + 1 < gops.size() ? 12u : 3u);
  }
  EXPECT_EQ(mv::frameStats(frames, gops).keyFrames, 7u);
}

INSTANTIATE_TEST_SUITE_P(Containers, FramesAgainstProbe, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// Damaged TS files, whose key frames are read from the pictures: they load or fail, and their
// frames and GOPs can be listed.
TEST(FramesOfDamagedTs, TruncationsAndMutations) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const std::string source = dir.file("source.ts");
  int status = 0;
  mvtest::runCommand("ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=25 -t 0.4 -g 4 -c:v libx264 '" +
                         source + "' 2>&1",
                     &status);
  ASSERT_EQ(status, 0);
  mvtest::Bytes full = mvtest::readFile(source);
  for (size_t i = 0; i + 188 <= full.size(); i += 188)
    if ((full[i + 3] & 0x20) && full[i + 4] > 0) full[i + 5] &= uint8_t(~0x40);
  const std::string path = dir.file("damaged.ts");
  auto check = [&](const mvtest::Bytes& b) {
    mvtest::expectLoadsOrFails(path, b);
    mv::FileSlot slot;
    if (!slot.open(path).ok()) return;
    const auto frames = mv::videoFrames(slot.analysis);
    const auto gops = mv::groupsOfPictures(frames);
    EXPECT_LE(mv::frameStats(frames, gops).keyFrames, frames.size());
  };
  for (size_t n = 0; n <= full.size(); n += n < 1200 ? 1 : 61) {
    check(mvtest::Bytes(full.begin(), full.begin() + long(n)));
    if (HasFatalFailure()) FAIL() << "at length " << n;
  }
  mvtest::forEachMutation(full, 20261209, 2000, mvtest::extremeU32(true), check);
}
