// Raw audio streams made by ffmpeg: every frame's bytes and time against ffprobe's packets, the
// stream facts against ffprobe's, and heads of other containers that must not pass for audio.
#include "es/es_audio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/file_slot.h"
#include "fixtures/byte_writer.h"
#include "media/file_analysis.h"
#include "media/reader.h"

namespace {

using mvtest::Bytes;

struct Probed {
  int64_t pts = 0;
  uint32_t size = 0;
};

struct Stream {
  int sampleRate = 0, channels = 0;
  int64_t tbNum = 1, tbDen = 1;
  std::vector<Probed> packets;
};

Stream probe(const std::string& file) {
  Stream s;
  std::istringstream info(
      mvtest::runCommand("ffprobe -v error -select_streams a:0 -show_entries "
                         "stream=sample_rate,channels,time_base -of csv=p=0 '" +
                         file + "'"));
  char slash = 0, comma = 0;
  info >> s.sampleRate >> comma >> s.channels >> comma >> s.tbNum >> slash >> s.tbDen;
  std::istringstream in(mvtest::runCommand(
      "ffprobe -v error -select_streams a:0 -show_entries packet=pts,size -of csv=p=0 '" + file + "'"));
  std::string line;
  while (std::getline(in, line)) {
    int64_t pts = 0;
    unsigned size = 0;
    if (std::sscanf(line.c_str(), "%lld,%u", reinterpret_cast<long long*>(&pts), &size) == 2)
      s.packets.push_back({pts, size});
  }
  return s;
}

mv::FileAnalysis load(const std::string& path, mv::LoadResult* result = nullptr) {
  mv::FileAnalysis a;
  const mv::LoadResult r = mv::loadWith(mv::walkAudioStream, path, a);
  if (result) *result = r;
  return a;
}

// A unit's time in ffprobe's time base, from the unit's own exact clock.
double inTimeBase(const mv::FileAnalysis& a, size_t k, const Stream& s) {
  const auto& c = a.audioUnits.clock;
  const double seconds = double(a.audioUnits.units[k].ticks * c.mul + c.add) / double(c.den);
  return seconds * double(s.tbDen) / double(s.tbNum);
}

const char* const kSine = "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 ";

struct Case {
  const char* name;
  const char* encode;  // ffmpeg options after the source
  const char* suffix;
  const char* codec;
  bool infoFrame;  // the writer put a Xing/Info frame first: ffprobe lists no packet for it
};

const Case kCases[] = {
    {"mp3_cbr", "-c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0 -f mp3", ".mp3", "MP3", false},
    {"mp3_cbr_info_id3", "-c:a libmp3lame -b:a 96k -id3v2_version 3 -write_id3v1 1 -f mp3", ".mp3", "MP3",
     true},
    {"mp3_vbr_xing", "-c:a libmp3lame -q:a 4 -id3v2_version 0 -f mp3", ".mp3", "MP3", true},
    {"mp3_vbr_tags", "-c:a libmp3lame -q:a 4 -id3v2_version 3 -write_id3v1 1 -f mp3", ".mp3", "MP3", true},
    {"mp2", "-c:a mp2 -f mp2", ".mp2", "MP2", false},
    {"mpeg2_layer3", "-ar 22050 -c:a libmp3lame -b:a 32k -write_xing 0 -f mp3", ".mp3", "MP3", false},
    {"adts", "-c:a aac -f adts", ".aac", "AAC", false},
    {"ac3_5_1", "-ac 6 -c:a ac3 -f ac3", ".ac3", "AC-3", false},
    {"eac3", "-c:a eac3 -f eac3", ".eac3", "E-AC-3", false},
};

class EsAudioMade : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
      GTEST_SKIP() << "ffmpeg not installed";
  }
  mvtest::TempDir dir_;
};

TEST_P(EsAudioMade, FramesAreFfprobesPackets) {
  const Case& c = GetParam();
  const std::string file = dir_.file(std::string("a") + c.suffix);
  int status = 0;
  mvtest::runCommand(std::string("ffmpeg -v error -y ") + kSine + c.encode + " '" + file + "'", &status);
  if (status != 0) GTEST_SKIP() << "this ffmpeg cannot write " << c.name;
  const Stream s = probe(file);
  ASSERT_GT(s.packets.size(), 10u);

  const Bytes bytes = mvtest::readFile(file);
  const auto info = mv::audioStreamInfo(bytes.data(), bytes.size());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->codec, c.codec);
  EXPECT_EQ(info->sampleRate, s.sampleRate);
  EXPECT_EQ(info->channels, s.channels);

  mv::LoadResult r;
  const mv::FileAnalysis a = load(file, &r);
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(a.notes.empty());
  const size_t skip = c.infoFrame ? 1 : 0;
  const auto& units = a.audioUnits.units;
  ASSERT_EQ(units.size(), s.packets.size() + skip);
  uint64_t total = 0;
  for (size_t k = 0; k < s.packets.size(); ++k) {
    EXPECT_EQ(units[k + skip].bytes, s.packets[k].size) << k;
    // ffprobe's raw-stream clocks of 1/90000 s round each frame's duration down to their tick:
    // durations agree within that tick, and exactly on the clocks that hold them.
    if (k > 0) {
      const double d = inTimeBase(a, k + skip, s) - inTimeBase(a, k + skip - 1, s);
      EXPECT_LT(std::abs(d - double(s.packets[k].pts - s.packets[k - 1].pts)), 1.0) << k;
    }
    total += s.packets[k].size;
  }
  if (skip) total += units[0].bytes;
  ASSERT_TRUE(a.videoSeries && a.audioSeries);
  uint64_t series = 0;
  for (int32_t sec = 0; sec < a.durationSeconds; ++sec) {
    series += (*a.audioSeries)[8 + size_t(sec)];
    EXPECT_EQ((*a.videoSeries)[8 + size_t(sec)], 0u);
  }
  EXPECT_EQ(series, total);
  EXPECT_FALSE(a.videoUnits.present);
  EXPECT_EQ(a.frameRateMilli, 0);
}

INSTANTIATE_TEST_SUITE_P(Writers, EsAudioMade, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<std::pair<int64_t, uint32_t>> unitsOf(const mv::FileAnalysis& a) {
  std::vector<std::pair<int64_t, uint32_t>> out;
  for (const auto& u : a.audioUnits.units) out.push_back({u.ticks, u.bytes});
  return out;
}

// Bytes no frame header can be read from, 0xFF and 0x0B among them.
Bytes junk(size_t n) {
  Bytes b(n);
  uint32_t x = 12345;
  for (auto& v : b) v = uint8_t((x = x * 1103515245 + 12345) >> 24);
  for (size_t i = 0; i < n; i += 37) b[i] = i % 74 ? 0xFF : 0x0B;
  return b;
}

// A clean MP2 stream (frames of 417 and 418 bytes) changed as a broken copy would be.
TEST(EsAudioDamaged, BytesOutsideFramesAreNotCountedAndTheRestKeepsItsTimes) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const std::string clean = dir.file("clean.mp2");
  mvtest::runCommand(std::string("ffmpeg -v error -y ") + kSine + "-c:a mp2 -b:a 128k -f mp2 '" + clean +
                     "'");
  const Bytes bytes = mvtest::readFile(clean);
  const mv::FileAnalysis a = load(clean);
  const auto units = unitsOf(a);
  ASSERT_GT(units.size(), 40u);
  size_t tenth = 0;  // where frame 10 begins
  for (size_t k = 0; k < 10; ++k) tenth += units[k].second;
  const int64_t frame = 1152;

  struct Damage {
    const char* name;
    Bytes file;
    std::vector<std::pair<int64_t, uint32_t>> want;
    bool cutShort;
  };
  std::vector<Damage> damages;
  {  // junk before the first frame: found by its search, nothing counted before it
    Bytes f = junk(700);
    f.insert(f.end(), bytes.begin(), bytes.end());
    damages.push_back({"junk before", f, units, false});
  }
  {  // junk after frame 10: its end is not confirmed, so it is left out with the junk
    Bytes f(bytes.begin(), bytes.begin() + ptrdiff_t(tenth + units[10].second));
    const Bytes j = junk(300);
    f.insert(f.end(), j.begin(), j.end());
    f.insert(f.end(), bytes.begin() + ptrdiff_t(tenth + units[10].second), bytes.end());
    auto want = units;
    want.erase(want.begin() + 10);
    for (size_t k = 10; k < want.size(); ++k) want[k].first -= frame;
    damages.push_back({"junk between", f, want, false});
  }
  {  // the last frame cut by the end
    Bytes f(bytes.begin(), bytes.end() - ptrdiff_t(units.back().second / 2));
    auto want = units;
    want.pop_back();
    damages.push_back({"cut last frame", f, want, true});
  }
  {  // the last frame's header cut: four bytes of it left
    Bytes f(bytes.begin(), bytes.end() - ptrdiff_t(units.back().second - 4));
    auto want = units;
    want.pop_back();
    damages.push_back({"cut last header", f, want, true});
  }
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    const std::string path = dir.file("damaged.mp2");
    mvtest::writeFile(path, d.file);
    mv::LoadResult r;
    const mv::FileAnalysis b = load(path, &r);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(unitsOf(b), d.want);
    EXPECT_EQ(b.notes == std::vector<std::string>{mv::kNoteCutShort}, d.cutShort);
    ASSERT_TRUE(mv::audioStreamInfo(d.file.data(), d.file.size()));
  }
}

// Containers that carry MPEG audio or AAC between their own headers are no raw stream.
TEST(EsAudioDamaged, OtherContainersHeadsAreNoAudioStream) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const std::string av = "-f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine -t 2 ";
  const char* const kHeads[] = {"-c:a mp2 -f mpegts a.ts",      "-c:a aac -f mpegts a.ts",
                                "-c:a mp2 -f vob a.mpg",        "-c:a libmp3lame -f mp4 a.mp4",
                                "-c:a libmp3lame -f avi a.avi", "-c:a ac3 -f matroska a.mkv"};
  for (const char* h : kHeads) {
    const std::string cmd = h;
    const std::string name = cmd.substr(cmd.rfind(' ') + 1);
    SCOPED_TRACE(cmd);
    int status = 0;
    mvtest::runCommand("cd '" + dir.path().string() + "' && ffmpeg -v error -y " + av + cmd, &status);
    if (status != 0) continue;
    const Bytes b = mvtest::readFile(dir.file(name));
    EXPECT_FALSE(mv::audioStreamInfo(b.data(), b.size()));
    mv::LoadResult r;
    load(dir.file(name), &r);
    EXPECT_EQ(r.failure, mv::LoadFailure::NotThisFormat);
  }
}

}  // namespace

// ID3v2 tags before the audio, however large (cover art), are skipped by their sizes; a tag
// that claims more than the file holds leaves a file cut short, not another format.
TEST(EsAudioTags, LeadingTagsOfAnySizeAreSkipped) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const auto tag = [](uint32_t body, bool footer) {
    Bytes t = {'I',
               'D',
               '3',
               4,
               0,
               uint8_t(footer ? 0x10 : 0),
               uint8_t(body >> 21 & 0x7F),
               uint8_t(body >> 14 & 0x7F),
               uint8_t(body >> 7 & 0x7F),
               uint8_t(body & 0x7F)};
    t.resize(10 + body, 0xFF);  // sync-like bytes a search would take for frames
    if (footer) t.insert(t.end(), {'3', 'D', 'I', 4, 0, 0x10, t[6], t[7], t[8], t[9]});
    return t;
  };
  for (const char* encode : {"-c:a libmp3lame -id3v2_version 0 -f mp3 a.mp3", "-c:a aac -f adts a.aac"}) {
    const std::string cmd = encode;
    const std::string name = cmd.substr(cmd.rfind(' ') + 1);
    SCOPED_TRACE(name);
    mvtest::runCommand("cd '" + dir.path().string() + "' && ffmpeg -v error -y " + kSine + cmd);
    const Bytes stream = mvtest::readFile(dir.file(name));
    mv::FileSlot plain;
    ASSERT_TRUE(plain.open(dir.file(name)).ok());
    Bytes tagged = tag(1536 * 1024, false);
    for (const Bytes& more : {tag(3000, true), tag(20, false), stream})
      tagged.insert(tagged.end(), more.begin(), more.end());
    for (const char* as : {".mp3", ".aac", ""}) {
      const std::string path = dir.file(std::string("tagged") + as);
      mvtest::writeFile(path, tagged);
      mv::FileSlot slot;
      ASSERT_TRUE(slot.open(path).ok()) << as;
      EXPECT_EQ(unitsOf(slot.analysis), unitsOf(plain.analysis)) << as;
    }
  }
  const std::string cut = dir.file("cut.mp3");
  const Bytes whole = tag(1536 * 1024, false);
  mvtest::writeFile(cut, Bytes(whole.begin(), whole.begin() + 700000));
  mv::FileSlot slot;
  ASSERT_TRUE(slot.open(cut).ok());
  EXPECT_EQ(slot.analysis.notes, std::vector<std::string>{mv::kNoteCutShort});
  EXPECT_TRUE(slot.analysis.audioUnits.units.empty());
}

// A stream that opens with its own frames is one, whatever follows it: a layout or a rate that
// changes, a large tag appended (cover art).
TEST(EsAudioTags, StreamsThatOpenWithFramesAreOneWhateverFollows) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  Bytes art = {'I', 'D', '3', 4, 0, 0, 0, 0x40, 0, 0};  // 1 MiB of tag body
  art.resize(art.size() + (size_t(1) << 20), 0xFF);
  const struct {
    const char* first;
    const char* then;
    const char* name;
  } cases[] = {
      {"-t 2 -ac 2 -c:a ac3 -f ac3", "-t 20 -ac 6 -c:a ac3 -f ac3", "joined.ac3"},
      {"-t 1 -ar 44100 -c:a libmp3lame -f mp3", "-t 30 -ar 48000 -c:a libmp3lame -f mp3", "joined.mp3"},
      {"-t 2 -c:a libmp3lame -id3v2_version 0 -f mp3", nullptr, "tagged.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes joined;
    for (const char* part : {c.first, c.then}) {
      const std::string file = dir.file("part");
      if (part)
        mvtest::runCommand("ffmpeg -v error -y -f lavfi -i sine=r=48000 " + std::string(part) + " '" + file +
                           "'");
      const Bytes b = part ? mvtest::readFile(file) : art;
      joined.insert(joined.end(), b.begin(), b.end());
    }
    mvtest::writeFile(dir.file(c.name), joined);
    mv::FileSlot slot;
    EXPECT_TRUE(slot.open(dir.file(c.name)).ok());
  }
}
