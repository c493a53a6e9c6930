// Damaged Matroska files load or fail with the one message; they never crash, hang or read
// outside the file. Run in the sanitizer build, this is what catches a bounds slip.
#include <gtest/gtest.h>

#include "fixtures/mkv_builder.h"
#include "fixtures/robustness.h"

namespace {

namespace mkv = mvtest::mkv;
using mkv::Lacing;
using mvtest::Bytes;

// Every kind of element the reader looks at, each lacing, known and unknown sizes.
Bytes smallFixture() {
  Bytes b = mkv::twoTrackFile(2, 20, 10);
  const Bytes extra = mkv::concat(
      {mkv::cluster(2000,
                    {mkv::simpleBlock(2, 0, {30, 20, 10}, true, Lacing::Xiph),
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
  void check(const Bytes& bytes) { mvtest::expectLoadsOrFails(path, bytes); }
  mvtest::TempDir dir;
  std::string path = dir.file("damaged.mkv");
};

TEST_F(MkvRobustness, EveryTruncation) {
  mvtest::forEachTruncation(smallFixture(), [&](const Bytes& b) { check(b); });
}

TEST_F(MkvRobustness, SeededMutations) {
  // Size fields made extreme: unknown, huge, zero.
  const std::vector<Bytes> extremes = {{0xFF},
                                       {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                                       {0x01, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0},
                                       {0x80},
                                       {0x10, 0xFF, 0xFF, 0xFF}};
  mvtest::forEachMutation(smallFixture(), 20261210, 3000, extremes, [&](const Bytes& b) { check(b); });
}

}  // namespace
