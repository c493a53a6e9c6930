// A play time past 4294967 seconds (49.7 days, 2^32 ms) is damage, told with the byte position of
// the field that gives it, in every container that can state one (FLV, TS and PS close up a jump
// of their time stamps instead: no one field gives it).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "analysis/containers.h"
#include "fixtures/avi_builder.h"
#include "fixtures/byte_writer.h"
#include "fixtures/mkv_builder.h"
#include "fixtures/mp4_builder.h"

namespace {

using mvtest::Bytes;
namespace avi = mvtest::avi;
namespace mkv = mvtest::mkv;
namespace mp4 = mvtest::mp4;

uint64_t find(const Bytes& b, const Bytes& what, uint64_t from = 0) {
  return uint64_t(std::search(b.begin() + ptrdiff_t(from), b.end(), what.begin(), what.end()) - b.begin());
}
uint64_t find(const Bytes& b, const std::string& what, uint64_t from = 0) {
  return find(b, Bytes(what.begin(), what.end()), from);
}

struct Made {
  Bytes file;
  uint64_t position;
};

struct Case {
  const char* name;
  const char* suffix;
  std::function<Made()> make;
};

const Case kCases[] = {
    {"AviFrameTime", ".avi",
     [] {
       auto f = avi::simpleVideo(1, 10, 0xFFFFFFFF);
       f.main.totalFrames = 2000;  // 2000 frames of 71 minutes
       const Bytes b = f.build();
       return Made{b, find(b, "avih") + 8};
     }},
    {"Mp4SampleTable", ".mp4",
     [] {
       mp4::File f;
       mp4::Track v;
       v.timescale = 1;
       v.samples = {{10, uint32_t(mv::kMaxDurationSeconds)}, {10, 1}};
       f.tracks = {v};
       const Bytes b = f.build();
       return Made{b, find(b, "stts") - 4};
     }},
    {"Mp4Fragment", ".mp4",
     [] {
       mp4::File f;
       f.mvex = true;
       f.tracks.push_back(mp4::Track{});
       mp4::Traf traf;
       traf.tfdt = uint64_t(mv::kMaxDurationSeconds) * 1000;
       traf.samples = {{10, 40, true}};
       f.fragments = {{{traf}}, {{traf}}};
       f.fragments[0].trafs[0].tfdt = 0;
       const Bytes b = f.build();
       return Made{b, find(b, "trun", find(b, "moof", find(b, "moof") + 1)) - 4};
     }},
    {"MatroskaCluster", ".mkv",
     [] {
       const Bytes late = mkv::simpleBlock(1, 0, {11});
       const Bytes b =
           mkv::concat({mkv::ebmlHeader(),
                        mkv::segment({mkv::info(), mkv::tracks({mkv::Track{}}),
                                      mkv::cluster(0, {mkv::simpleBlock(1, 0, {10})}),
                                      mkv::cluster(uint64_t(mv::kMaxDurationSeconds) * 1000, {late})})});
       return Made{b, find(b, late)};
     }},
};

class PlayTimeLimit : public ::testing::TestWithParam<Case> {};

TEST_P(PlayTimeLimit, IsDamageAtTheFieldThatPassesIt) {
  mvtest::TempDir dir;
  const std::string path = dir.file(std::string("long") + GetParam().suffix);
  const Made made = GetParam().make();
  mvtest::writeFile(path, made.file);
  mv::FileAnalysis a;
  const mv::LoadResult r = mv::containerOfPath(path)->load(path, a, nullptr);
  EXPECT_EQ(r.failure, mv::LoadFailure::Damaged);
  EXPECT_EQ(r.position, made.position);
}

INSTANTIATE_TEST_SUITE_P(Containers, PlayTimeLimit, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
