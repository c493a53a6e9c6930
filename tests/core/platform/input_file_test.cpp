// The bounded reader: peeks answer the same bounds as reads, and a file that shrinks while it is
// read turns into a failed read, never a crash or a result, whether it shrinks between reads or
// in the middle of a load.
#include "platform/input_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "avi/avi_reader.h"
#include "fixtures/avi_builder.h"
#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"
#include "fixtures/rm_builder.h"
#include "rm/rm_reader.h"

namespace {

using mvtest::Bytes;

Bytes pattern(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 7 + 1);
  return b;
}

class InputFileTest : public ::testing::Test {
 protected:
  mvtest::TempDir dir;
  std::string path = dir.file("media.bin");
};

TEST_F(InputFileTest, PeeksAndReadsAreBounded) {
  constexpr uint64_t buffered = mv::InputFile::kBufferSize;
  const Bytes bytes = pattern(3 * buffered + 100);
  mvtest::writeFile(path, bytes);
  mv::InputFile f;
  ASSERT_TRUE(f.open(path));
  const uint64_t len = bytes.size();
  struct Case {
    uint64_t pos, n;
    bool ok;                                                                    // all in the file
    bool peeked;                                                                // and short enough to peek at
  } cases[] = {{0, buffered, true, true},      {buffered - 3, 10, true, true},  // across buffer loads
               {len - 1, 1, true, true},       {len, 0, true, true},
               {0, buffered + 1, true, false}, {len - 1, 2, false, false},
               {len + 1, 0, false, false},     {1, ~uint64_t(0), false, false},
               {~uint64_t(0), 1, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.pos) + "+" + std::to_string(c.n));
    const uint8_t* p = f.peek(c.pos, size_t(c.n));
    ASSERT_EQ(p != nullptr, c.peeked);
    if (p) {
      EXPECT_TRUE(std::equal(p, p + c.n, bytes.begin() + long(c.pos)));
    }
    if (c.n > 2 * buffered) continue;
    std::vector<uint8_t> out(size_t(c.n), 0xEE);
    ASSERT_EQ(f.readAt(c.pos, out.data(), out.size()), c.ok);
    const Bytes expected = c.ok ? Bytes(bytes.begin() + long(c.pos), bytes.begin() + long(c.pos + c.n))
                                : Bytes(out.size(), 0xEE);  // nothing delivered
    EXPECT_EQ(out, expected);
  }
  EXPECT_FALSE(f.readFailed());
}

TEST_F(InputFileTest, DataFromJumpsTheHolesOfASparseFile) {
  // Data, a hole, data, and a hole to the end.
  constexpr uint64_t kData = 8192, kHole = 1 << 20, kLength = 2 * (kData + kHole);
  mvtest::writeFile(path, pattern(kData));
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const Bytes second = pattern(kData);
  ASSERT_EQ(::pwrite(fd, second.data(), second.size(), off_t(kData + kHole)), ssize_t(kData));
  ASSERT_EQ(::ftruncate(fd, off_t(kLength)), 0);
  ::close(fd);
  mv::InputFile f;
  ASSERT_TRUE(f.open(path));
  const uint64_t resumes = kData + kHole;
  if (f.dataFrom(kData) != resumes) GTEST_SKIP() << "the file system does not tell where holes are";
  const struct {
    uint64_t pos, data;
  } cases[] = {{0, 0},
               {100, 100},
               {kData + 5, resumes},
               {resumes - 1, resumes},
               {resumes, resumes},
               {resumes + kData - 1, resumes + kData - 1},
               {resumes + kData, kLength},
               {kLength - 1, kLength},
               {kLength, kLength},
               {7, 7}};
  for (const auto& c : cases) EXPECT_EQ(f.dataFrom(c.pos), c.data) << c.pos;

  // Ten-byte records whose ten bytes lie in the hole; as many as fit before the limit.
  EXPECT_EQ(f.recordsInHole(kData, 10, 10, ~uint64_t(0)), (kHole - 10) / 10 + 1);
  EXPECT_EQ(f.recordsInHole(kData, 10, 10, kData + 25), 3u);
  EXPECT_EQ(f.recordsInHole(kData - 1, 10, 10, ~uint64_t(0)), 0u) << "starts in data";
  EXPECT_EQ(f.recordsInHole(resumes - 9, 10, 10, ~uint64_t(0)), 0u) << "ends in data";
  EXPECT_EQ(f.recordsInHole(resumes + kData, 11, 15, ~uint64_t(0)), (kHole - 11) / 15 + 1) << "up to the end";
  EXPECT_EQ(f.recordsInHole(kLength - 10, 11, 15, ~uint64_t(0)), 0u) << "no whole header before the end";
  EXPECT_EQ(f.bytesFetched(), 0u);
}

TEST_F(InputFileTest, ShrinkingBetweenReadsFailsTheReadsPastTheCut) {
  constexpr size_t buffered = mv::InputFile::kBufferSize;
  mvtest::writeFile(path, pattern(3 * buffered));
  mv::InputFile f;
  ASSERT_TRUE(f.open(path));
  uint8_t b[16] = {};
  ASSERT_TRUE(f.readAt(0, b, sizeof b));
  std::filesystem::resize_file(path, buffered + 10);
  EXPECT_TRUE(f.readAt(8, b, sizeof b)) << "still in the buffer";
  EXPECT_FALSE(f.readFailed());
  EXPECT_EQ(f.peek(2 * buffered, 16), nullptr);
  EXPECT_TRUE(f.readFailed());
  std::vector<uint8_t> large(buffered);
  EXPECT_FALSE(f.readAt(buffered, large.data(), large.size())) << "partly there is not there";
}

// Truncates the file the first time the loader reports progress: the AVI loader asks once its
// headers are walked and before its index is read, the RealMedia loader before its first packet.
class TruncateOnProgress : public mv::LoadControl {
 public:
  TruncateOnProgress(std::string path, uint64_t cut) : path_(std::move(path)), cut_(cut) {}
  bool Continue(uint64_t, uint64_t) override {
    if (!done_) std::filesystem::resize_file(path_, cut_);
    done_ = true;
    return true;
  }

 private:
  std::string path_;
  uint64_t cut_;
  bool done_ = false;
};

Bytes aviWithLongIndex() {
  // 10,000 entries: 160,000 bytes of index, the file's last chunk, read in three blocks after
  // the headers. (An index that fits the buffer with the headers is read before any cut.)
  return mvtest::avi::simpleVideo(10000, 500).build();
}

Bytes rmWithManyPackets() {
  mvtest::RmBuilder b;
  b.fileHeader(0, 4).properties({.duration = 60000, .numStreams = 1});
  b.mediaProperties({.streamNumber = 0,
                     .mime = "video/x-pn-realvideo",
                     .typeSpecific = mvtest::realVideoBlock("RV40", 320, 240, 25u << 16)});
  std::vector<mvtest::RmPacket> packets;
  for (uint32_t t = 0; t < 60000; t += 40) packets.push_back({.stream = 0, .timestamp = t, .length = 400});
  return b.data(packets).bytes();
}

TEST_F(InputFileTest, FileShrinkingDuringALoadCouldNotBeRead) {
  using Loader = mv::LoadResult (*)(const std::string&, mv::FileAnalysis&, mv::LoadControl*);
  struct Case {
    const char* what;
    Loader load;
    Bytes bytes;
    size_t lostFromEnd;  // 0: the file shrinks to nothing
  } cases[] = {
      {"AVI, inside the index", mvtest::load<mv::walkAvi>, aviWithLongIndex(), 100000},
      {"AVI, in the index's last block", mvtest::load<mv::walkAvi>, aviWithLongIndex(), 1000},
      {"AVI, to nothing", mvtest::load<mv::walkAvi>, aviWithLongIndex(), 0},
      {"RealMedia, inside the packets", mvtest::load<mv::walkRealMedia>, rmWithManyPackets(), 300000},
      {"RealMedia, in the last packet", mvtest::load<mv::walkRealMedia>, rmWithManyPackets(), 5},
      {"RealMedia, to nothing", mvtest::load<mv::walkRealMedia>, rmWithManyPackets(), 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = dir.file("shrinking");
    mvtest::writeFile(file, c.bytes);
    {
      mv::FileAnalysis whole;
      ASSERT_TRUE(c.load(file, whole, nullptr).ok());
    }
    TruncateOnProgress control(file, c.lostFromEnd ? c.bytes.size() - c.lostFromEnd : 0);
    mv::FileAnalysis a;
    const mv::LoadResult r = c.load(file, a, &control);
    EXPECT_EQ(r.failure, mv::LoadFailure::CouldNotRead);
    EXPECT_FALSE(a.videoSeries);
    EXPECT_FALSE(a.audioSeries);
  }
}

}  // namespace
