// Damaged MP4 files load or fail with the one message; they never crash, hang or read outside
// the file. Run in the sanitizer build, this is what catches a bounds slip.
#include <gtest/gtest.h>

#include <random>

#include "analysis/file_slot.h"
#include "fixtures/message_recorder.h"
#include "fixtures/mp4_builder.h"
#include "mp4/mp4_info.h"

namespace {

namespace mp4 = mvtest::mp4;
using mvtest::Bytes;

// Both table forms and a fragment, kept small so that every truncation is tried.
Bytes smallFixture() {
  mp4::File f;
  mp4::Track v;
  v.timescale = 25;
  v.samples = {{30, 1, true}, {5, 1, false}, {6, 1, false}, {20, 1, true}, {4, 2, false}};
  v.chunks = {2, 3};
  v.edits = {{100, -1}, {500, 1}};
  mp4::Track a;
  a.handler = "soun";
  a.trackId = 2;
  a.stz2 = true;
  a.co64 = true;
  a.samples = {{7, 1024}, {8, 1024}, {9, 1024}};
  a.chunks = {1, 2};
  a.trexSize = 3;
  f.tracks = {v, a};
  f.mvex = true;
  mp4::Fragment fr;
  mp4::Traf tv;
  tv.tfdt = 6;
  tv.flags = true;
  tv.samples = {{11, 1, true}, {3, 1, false}};
  mp4::Traf ta;
  ta.trackId = 2;
  ta.sizes = false;
  ta.defaultDuration = 1024;
  ta.samples = {{3, 1024}, {3, 1024}};
  fr.trafs = {tv, ta};
  f.fragments = {fr};
  return f.build();
}

class Mp4Robustness : public ::testing::Test {
 protected:
  void expectLoadsOrFails(const Bytes& bytes) {
    mvtest::writeFile(path, bytes);
    recorder.messages.clear();
    mv::FileSlot slot;
    if (slot.open(path)) {
      EXPECT_TRUE(recorder.messages.empty());
      ASSERT_TRUE(slot.analysis.totalSeries);
      EXPECT_EQ(slot.elementCount(), uint32_t(slot.analysis.durationSeconds) + 8);
    } else {
      ASSERT_EQ(recorder.messages.size(), 1u);
      EXPECT_EQ(recorder.messages[0], "抱歉，文件读取失败。");
      EXPECT_EQ(slot.elementCount(), 0u);
    }
    // The information text reads the same boxes its own way.
    mv::TextFile out;
    ASSERT_TRUE(out.open(dir.file("info.txt")));
    mv::writeMp4Info(path, out);
    out.close();
  }
  mvtest::TempDir dir;
  std::string path = dir.file("damaged.mp4");
  mvtest::MessageRecorder recorder;
};

TEST_F(Mp4Robustness, EveryTruncation) {
  const Bytes full = smallFixture();
  for (size_t n = 0; n <= full.size(); ++n) {
    expectLoadsOrFails(Bytes(full.begin(), full.begin() + long(n)));
    if (HasFatalFailure()) FAIL() << "at length " << n;
  }
}

TEST_F(Mp4Robustness, SeededMutations) {
  const Bytes full = smallFixture();
  std::mt19937 rng(20261209);
  for (int round = 0; round < 3000; ++round) {
    Bytes b = full;
    const int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = rng() % b.size();
      switch (rng() % 4) {
        case 0: b[at] ^= uint8_t(1u << (rng() % 8)); break;
        case 1: b[at] = uint8_t(rng()); break;
        case 2: {  // a size, count or offset set to something extreme, big-endian
          static const uint32_t extremes[] = {0, 1, 3, 8, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF0, 0xFFFFFFFF};
          const uint32_t v = extremes[rng() % 8];
          for (size_t k = 0; k < 4 && at + k < b.size(); ++k) b[at + k] = uint8_t(v >> (24 - 8 * k));
          break;
        }
        default: b.resize(at + 1); break;
      }
    }
    expectLoadsOrFails(b);
    if (HasFatalFailure()) FAIL() << "in round " << round;
  }
}

}  // namespace
