// Files whose walk loses its way behind a valid head: a head followed by gigabytes of holes (a
// sparse file) or by junk holding no sync. Each walk jumps the holes, gives up a search that has
// found nothing in its limit, keeps what the head holds and notes the file as cut short.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "fixtures/byte_writer.h"
#include "flv/flv_reader.h"
#include "media/file_analysis.h"
#include "ps/ps_reader.h"
#include "rm/rm_reader.h"
#include "ts/ts_reader.h"

namespace {

using mvtest::Bytes;

struct Format {
  const char* suffix;
  const char* encode;  // ffmpeg options for a one-second clip of 32x32 at 25 fps with audio
  mv::LoadResult (*load)(const std::string&, mv::FileAnalysis&, mv::LoadControl*);
  size_t bodyFrom;  // where a copy of the head starts that a lost walk would take up again
};

const Format kFormats[] = {
    {"flv", "-c:v libx264 -c:a aac -b:a 16k", mv::loadFlv, 13},  // the tags after the file header
    {"rm", "-c:v rv10 -b:v 8k -c:a ac3 -b:a 32k", mv::loadRealMedia, 0},
    {"ts", "-c:v mpeg2video -c:a mp2", mv::loadTs, 0},
    {"mpg", "-c:v mpeg1video -c:a mp2 -f vob", mv::loadPs, 0},
};

// Junk no walk syncs on, and in which the tag and chunk walks step as slowly as they can: every
// 15 bytes an FLV tag of no FLV type and no size, every 10 bytes a RealMedia chunk smaller than
// its header; no 0x47 and no 00 00 01.
Bytes junk(size_t n) {
  static const uint8_t kPeriod[30] = {0x55, 0, 0, 0, 0, 0, 0, 5,    0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0,
                                      0,    0, 0, 0, 0x55, 0x55, 0x55, 0x55, 0x55, 0, 0, 0, 5, 0x55, 0x55};
  Bytes b(n - n % sizeof kPeriod);
  for (size_t i = 0; i < b.size(); ++i) b[i] = kPeriod[i % sizeof kPeriod];
  return b;
}

struct Loaded {
  std::vector<uint32_t> video, audio;
  size_t videoUnits = 0, audioUnits = 0;
  std::vector<std::string> notes;
  bool operator==(const Loaded&) const = default;
};

Loaded load(const Format& f, const std::string& path) {
  mv::FileAnalysis a;
  const mv::LoadResult r = f.load(path, a, nullptr);
  EXPECT_TRUE(r.ok()) << mv::reasonName(r.failure);
  Loaded l;
  if (!r.ok()) return l;
  l.video.assign(a.videoSeries->data(), a.videoSeries->data() + a.videoSeries->elementCount());
  l.audio.assign(a.audioSeries->data(), a.audioSeries->data() + a.audioSeries->elementCount());
  l.videoUnits = a.videoUnits.units.size();
  l.audioUnits = a.audioUnits.units.size();
  l.notes = a.notes;
  return l;
}

TEST(SparseTail, WalksGiveUpBehindAValidHead) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  for (const Format& f : kFormats) {
    SCOPED_TRACE(f.suffix);
    const std::string head = dir.file(std::string("head.") + f.suffix);
    int status = 0;
    mvtest::runCommand(std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=32x32:r=25 -f lavfi -i sine=r=48000 -t 1 ") +
                           f.encode + " '" + head + "' 2>&1",
                       &status);
    ASSERT_EQ(status, 0);
    const Bytes bytes = mvtest::readFile(head);
    Loaded want = load(f, head);
    ASSERT_TRUE(want.notes.empty());
    ASSERT_GT(want.videoUnits, 0u);
    want.notes = {mv::kNoteCutShort};

    // Ten gigabytes of which only the head is stored.
    const std::string sparse = dir.file(std::string("sparse.") + f.suffix);
    mvtest::writeFile(sparse, bytes);
    ASSERT_EQ(::truncate(sparse.c_str(), off_t(10) << 30), 0);
    EXPECT_EQ(load(f, sparse), want) << "sparse";
    std::remove(sparse.c_str());

    // Just more junk than a search goes through, then the head again: never reached.
    const std::string junked = dir.file(std::string("junk.") + f.suffix);
    Bytes withJunk = bytes;
    const Bytes j = junk(mv::kResyncLimit + (1 << 20));
    withJunk.insert(withJunk.end(), j.begin(), j.end());
    withJunk.insert(withJunk.end(), bytes.begin() + long(f.bodyFrom), bytes.end());
    mvtest::writeFile(junked, withJunk);
    EXPECT_EQ(load(f, junked), want) << "junk";
    std::remove(junked.c_str());
  }
}

}  // namespace
