// Damaged MP4 files load or fail with the one message; they never crash, hang or read outside
// the file. Run in the sanitizer build, this is what catches a bounds slip.
#include <gtest/gtest.h>

#include "fixtures/mp4_builder.h"
#include "fixtures/robustness.h"
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
  void check(const Bytes& bytes) {
    mvtest::expectLoadsOrFails(path, bytes);
    // The information text reads the same boxes its own way.
    mv::TextFile out;
    ASSERT_TRUE(out.open(dir.file("info.txt")));
    mv::writeMp4Info(path, out);
    out.close();
  }
  mvtest::TempDir dir;
  std::string path = dir.file("damaged.mp4");
};

TEST_F(Mp4Robustness, EveryTruncation) {
  mvtest::forEachTruncation(smallFixture(), [&](const Bytes& b) { check(b); });
}

TEST_F(Mp4Robustness, SeededMutations) {
  mvtest::forEachMutation(smallFixture(), 20261209, 3000, mvtest::extremeU32(true),
                          [&](const Bytes& b) { check(b); });
}

}  // namespace
