// Damaged AVI files load or fail with the one message; they never crash, hang or read outside
// the file. Run in the sanitizer build, this is what catches a bounds slip.
#include <gtest/gtest.h>

#include "fixtures/avi_builder.h"
#include "fixtures/robustness.h"

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
  void check(const Bytes& bytes) { mvtest::expectLoadsOrFails(path, bytes); }
  mvtest::TempDir dir;
  std::string path = dir.file("damaged.avi");
};

TEST_F(AviRobustness, EveryTruncation) {
  mvtest::forEachTruncation(smallFixture(), [&](const Bytes& b) { check(b); });
}

TEST_F(AviRobustness, SeededMutations) {
  mvtest::forEachMutation(smallFixture(), 20261209, 4000, mvtest::extremeU32(false),
                          [&](const Bytes& b) { check(b); });
}

}  // namespace
