// Damaged AVI files load or fail with the one message; they never crash, hang or read outside
// the file. Run in the sanitizer build, this is what catches a bounds slip.
#include <gtest/gtest.h>

#include <random>

#include "analysis/file_slot.h"
#include "fixtures/avi_builder.h"
#include "fixtures/message_recorder.h"

namespace {

namespace avi = mvtest::avi;
using mvtest::Bytes;

Bytes smallFixture() {
  auto f = avi::simpleVideo(75, 300);
  f.streams[0].name = "video";
  avi::Stream a;
  a.header.fccType = "auds";
  a.header.scale = 1;
  a.header.rate = 16000;
  a.format = avi::waveFormat(0x55, 2, 44100, 16000, 1152, 0, Bytes{1, 2, 3});
  a.name = "mp3";
  f.streams.push_back(a);
  for (int i = 0; i < 120; ++i) f.add(1, "wb", 417 + i % 2);
  f.index[5].flags = 0x100;
  f.writePayloads = true;
  for (auto& e : f.index) e.length = e.length % 40 + 1;  // keep the file small
  f.extraTopLevel = avi::chunk("JUNK", Bytes(7, 0));
  return f.build();
}

class AviRobustness : public ::testing::Test {
 protected:
  // Loads through the slot; checks the one outcome the user may see on failure.
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
  std::string path = dir.file("damaged.avi");
  mvtest::MessageRecorder recorder;
};

TEST_F(AviRobustness, EveryTruncation) {
  const Bytes full = smallFixture();
  for (size_t n = 0; n <= full.size(); ++n) {
    expectLoadsOrFails(Bytes(full.begin(), full.begin() + long(n)));
    if (HasFatalFailure()) FAIL() << "at length " << n;
  }
}

TEST_F(AviRobustness, SeededMutations) {
  const Bytes full = smallFixture();
  std::mt19937 rng(20261209);
  for (int round = 0; round < 4000; ++round) {
    Bytes b = full;
    const int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = rng() % b.size();
      switch (rng() % 4) {
        case 0: b[at] ^= uint8_t(1u << (rng() % 8)); break;
        case 1: b[at] = uint8_t(rng()); break;
        case 2: {  // a size or count field set to something extreme
          static const uint32_t extremes[] = {0, 1, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF0, 0xFFFFFFFF};
          const uint32_t v = extremes[rng() % 7];
          for (size_t k = 0; k < 4 && at + k < b.size(); ++k) b[at + k] = uint8_t(v >> (8 * k));
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
