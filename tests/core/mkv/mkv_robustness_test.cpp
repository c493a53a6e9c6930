// Damaged Matroska files load or fail with the one message; they never crash, hang or read
// outside the file. Run in the sanitizer build, this is what catches a bounds slip.
#include <gtest/gtest.h>

#include <random>

#include "analysis/file_slot.h"
#include "fixtures/message_recorder.h"
#include "fixtures/mkv_builder.h"

namespace {

namespace mkv = mvtest::mkv;
using mvtest::Bytes;
using mkv::Lacing;

// Every kind of element the reader looks at, each lacing, known and unknown sizes.
Bytes smallFixture() {
  Bytes b = mkv::twoTrackFile(2, 20, 10);
  const Bytes extra = mkv::concat(
      {mkv::cluster(2000, {mkv::simpleBlock(2, 0, {30, 20, 10}, true, Lacing::Xiph),
                           mkv::simpleBlock(2, 100, {300, 2, 40}, true, Lacing::Ebml),
                           mkv::simpleBlock(2, 200, {8, 8}, true, Lacing::Fixed),
                           mkv::blockGroup(1, 300, {12}, true), mkv::blockGroup(1, -300, {7}, false)},
                    mkv::kUnknownSize),
       mkv::element(mkv::id::kCues, Bytes(6, 0)),
       mkv::cluster(3000, {mkv::simpleBlock(1, 0, {9}, true, Lacing::None, 8)}, mkv::kUnknownSize)});
  b.insert(b.end(), extra.begin(), extra.end());  // the Segment's 8-byte size now falls short
  return b;
}

class MkvRobustness : public ::testing::Test {
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
  }
  mvtest::TempDir dir;
  std::string path = dir.file("damaged.mkv");
  mvtest::MessageRecorder recorder;
};

TEST_F(MkvRobustness, EveryTruncation) {
  const Bytes full = smallFixture();
  for (size_t n = 0; n <= full.size(); ++n) {
    expectLoadsOrFails(Bytes(full.begin(), full.begin() + long(n)));
    if (HasFatalFailure()) FAIL() << "at length " << n;
  }
}

TEST_F(MkvRobustness, SeededMutations) {
  const Bytes full = smallFixture();
  std::mt19937 rng(20261210);
  for (int round = 0; round < 3000; ++round) {
    Bytes b = full;
    const int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = rng() % b.size();
      switch (rng() % 5) {
        case 0: b[at] ^= uint8_t(1u << (rng() % 8)); break;
        case 1: b[at] = uint8_t(rng()); break;
        case 2: {  // a size field made extreme: unknown, huge, zero
          static const uint8_t extremes[][8] = {{0xFF}, {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                                                {0x01, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0}, {0x80},
                                                {0x10, 0xFF, 0xFF, 0xFF}};
          const auto& v = extremes[rng() % 5];
          for (size_t k = 0; k < 8 && at + k < b.size() && (k == 0 || v[k]); ++k) b[at + k] = v[k];
          break;
        }
        case 3: b[at] = uint8_t(0xFF); break;
        default: b.resize(at + 1); break;
      }
    }
    expectLoadsOrFails(b);
    if (HasFatalFailure()) FAIL() << "in round " << round;
  }
}

}  // namespace
