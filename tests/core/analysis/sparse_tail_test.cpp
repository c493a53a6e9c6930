// Files whose walk loses its way behind a valid head: a head followed by gigabytes of holes (a
// sparse file) or by junk holding no sync. Each walk jumps the holes, gives up a search that has
// found nothing in its limit, keeps what the head holds and notes the file as cut short.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <ostream>

#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"
#include "flv/flv_reader.h"
#include "media/file_analysis.h"
#include "ps/ps_reader.h"
#include "rm/rm_reader.h"
#include "ts/ts_reader.h"

namespace {

using mvtest::Bytes;

constexpr size_t kInsidePes = ~size_t(0);

struct Format {
  const char* suffix;
  const char* encode;  // ffmpeg options for a one-second clip of 32x32 at 25 fps with audio
  mv::LoadResult (*load)(const std::string&, mv::FileAnalysis&, mv::LoadControl*);
  // Where a copy of the head starts that a lost walk would take up again; kInsidePes: two bytes
  // into the first PES packet's start code.
  size_t bodyFrom;
  size_t stride;  // the step of the walk over a hole's zeros; 1 where it searches byte by byte
};

const Format kFormats[] = {
    {"flv", "-c:v libx264 -c:a aac -b:a 16k", mvtest::load<mv::walkFlv>, 13,
     15},  // the tags after the file header
    {"rm", "-c:v rv10 -b:v 8k -c:a ac3 -b:a 32k", mvtest::load<mv::walkRealMedia>, 0, 10},
    {"ts", "-c:v mpeg2video -c:a mp2", mvtest::load<mv::walkTs>, 0, 1},
    // A PES start code with its two zeros in the hole: data resumes inside it.
    {"mpg", "-c:v mpeg1video -c:a mp2 -f vob", mvtest::load<mv::walkPs>, kInsidePes, 1},
};

// Junk no walk syncs on, and in which the tag and chunk walks step as slowly as they can: every
// 15 bytes an FLV tag of no FLV type and no size, every 10 bytes a RealMedia chunk smaller than
// its header; no 0x47 and no 00 00 01.
Bytes junk(size_t n) {
  static const uint8_t kPeriod[30] = {0x55, 0,    0,    0,    0, 0, 0, 5, 0x55, 0x55,
                                      0x55, 0x55, 0x55, 0x55, 0, 0, 0, 0, 0,    0x55,
                                      0x55, 0x55, 0x55, 0x55, 0, 0, 0, 5, 0x55, 0x55};
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

void PrintTo(const Loaded& l, std::ostream* os) {
  *os << l.videoUnits << " video and " << l.audioUnits << " audio units, " << l.video.size()
      << " seconds, notes:";
  for (const std::string& n : l.notes) *os << ' ' << n;
}

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
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=32x32:r=25 -f lavfi -i sine=r=48000 -t 1 ") +
            f.encode + " '" + head + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    const Bytes bytes = mvtest::readFile(head);
    size_t bodyFrom = f.bodyFrom;
    for (size_t i = 0; bodyFrom == kInsidePes && i + 3 < bytes.size(); ++i)
      if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] >= 0xC0 &&
          bytes[i + 3] <= 0xEF)
        bodyFrom = i + 2;
    ASSERT_LT(bodyFrom, bytes.size());
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

    // A hole between the head and its copy: loads as the same bytes stored whole. The copy
    // starts where the file system's blocks do, so that the hole ends right before it.
    constexpr size_t kHole = 1 << 20;
    const size_t copyAt = kHole + (f.stride - (kHole - bytes.size()) % f.stride) % f.stride;
    Bytes dense = bytes;
    dense.resize(copyAt, 0);
    dense.insert(dense.end(), bytes.begin() + long(bodyFrom), bytes.end());
    const std::string holed = dir.file(std::string("holed.") + f.suffix);
    mvtest::writeFile(holed, bytes);
    const int fd = ::open(holed.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const size_t tail = dense.size() - copyAt;
    ASSERT_EQ(::pwrite(fd, dense.data() + copyAt, tail, off_t(copyAt)), ssize_t(tail));
    ::close(fd);
    const Loaded whole = load(f, holed);
    EXPECT_GT(whole.videoUnits, want.videoUnits) << "the copy is read";
    mvtest::writeFile(holed, dense);
    EXPECT_EQ(whole, load(f, holed)) << "hole";

    // Just more junk than a search goes through, then the head again: never reached.
    const std::string junked = dir.file(std::string("junk.") + f.suffix);
    Bytes withJunk = bytes;
    const Bytes j = junk(mv::kResyncLimit + (1 << 20));
    withJunk.insert(withJunk.end(), j.begin(), j.end());
    withJunk.insert(withJunk.end(), bytes.begin() + long(bodyFrom), bytes.end());
    mvtest::writeFile(junked, withJunk);
    EXPECT_EQ(load(f, junked), want) << "junk";
    std::remove(junked.c_str());
  }
}

}  // namespace
