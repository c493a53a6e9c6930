// Matroska files built byte by byte, each with its series worked out by hand.
#include "mkv/mkv_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "fixtures/loaders.h"
#include "fixtures/mkv_builder.h"
#include "fixtures/text_capture.h"
#include "mkv/mkv_info.h"

namespace {

namespace mkv = mvtest::mkv;
using mkv::Lacing;
using mvtest::Bytes;

mkv::Track videoTrack(uint64_t defaultDuration = 0) {
  return {.number = 1, .type = 1, .defaultDuration = defaultDuration, .width = 64, .height = 48};
}
mkv::Track audioTrack() {
  return {.number = 2, .type = 2, .codecId = "A_VORBIS", .sampleRate = 44100, .channels = 2};
}

Bytes file(const std::vector<Bytes>& segmentChildren, int segmentSizeWidth = 8) {
  return mkv::concat({mkv::ebmlHeader(), mkv::segment(segmentChildren, segmentSizeWidth)});
}
Bytes header(uint64_t timestampScale = 1000000) {
  return mkv::concat({mkv::info(timestampScale), mkv::tracks({videoTrack(), audioTrack()})});
}

struct Case {
  const char* name;
  std::function<Bytes()> build;
  mv::LoadFailure failure = mv::LoadFailure::None;
  std::vector<uint32_t> video = {};  // bytes per second from the earliest time stamp
  std::vector<uint32_t> audio = {};
  int32_t frameRateMilli = -1;  // -1: not checked
  std::vector<uint32_t> videoKeys = {};
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class MkvReader : public ::testing::TestWithParam<Case> {
 protected:
  mvtest::TempDir dir;
};

TEST_P(MkvReader, SeriesAsWorkedOut) {
  const Case& c = GetParam();
  const std::string path = dir.file("case.mkv");
  mvtest::writeFile(path, c.build());
  mv::FileAnalysis a;
  const mv::LoadResult r = mvtest::load<mv::walkMatroska>(path, a);
  ASSERT_EQ(r.failure, c.failure);
  if (!r.ok()) {
    EXPECT_FALSE(a.videoSeries || a.audioSeries);
    return;
  }
  ASSERT_EQ(a.durationSeconds, int32_t(c.video.size()));
  const auto data = [](const mv::PerSecondSeries& s) {
    return std::vector<uint32_t>(s.data() + mv::kFirstSecond, s.data() + s.elementCount());
  };
  EXPECT_EQ(data(*a.videoSeries), c.video);
  EXPECT_EQ(data(*a.audioSeries), c.audio);
  if (c.frameRateMilli >= 0) {
    EXPECT_EQ(a.frameRateMilli, c.frameRateMilli);
  }
  if (!c.videoKeys.empty()) {
    std::vector<uint32_t> keys;
    for (const auto& u : a.videoUnits.units) keys.push_back(u.key);
    EXPECT_EQ(keys, c.videoKeys);
  }
}

const Case kCases[] = {
    {"two_tracks_and_a_third_ignored",
     [] {
       mkv::Track subtitles{.number = 3, .type = 17, .codecId = "S_TEXT/UTF8"};
       return file({mkv::info(), mkv::tracks({videoTrack(40000000), audioTrack(), subtitles}),
                    mkv::cluster(0, {mkv::simpleBlock(1, 0, {100}), mkv::simpleBlock(2, 0, {50}),
                                     mkv::simpleBlock(1, 40, {60}, false)}),
                    mkv::cluster(1000, {mkv::simpleBlock(1, 0, {70}), mkv::simpleBlock(2, 500, {30}),
                                        mkv::simpleBlock(3, 4000, {999})}),
                    mkv::cluster(2500, {mkv::simpleBlock(1, -1, {10})})});
     },
     mv::LoadFailure::None,
     {160, 70, 10},
     {50, 30, 0},
     25000,
     {1, 0, 1, 1}},
    {"negative_relative_time_stamps_set_the_origin",
     [] {
       return file(
           {header(), mkv::cluster(1000, {mkv::simpleBlock(1, -500, {11}), mkv::simpleBlock(2, -200, {22}),
                                          mkv::simpleBlock(1, 600, {33}), mkv::simpleBlock(2, 1500, {44})})});
     },
     mv::LoadFailure::None,
     {11, 33, 0},
     {22, 0, 44},
     909},  // measured: 1 frame in 1.1 s
    {"timestamp_scale_of_100_us",
     [] {
       return file({header(100000),
                    mkv::cluster(0, {mkv::simpleBlock(1, 0, {5}), mkv::simpleBlock(2, 9999, {6})}),
                    mkv::cluster(10000, {mkv::simpleBlock(1, 0, {7}), mkv::simpleBlock(2, 25000, {8})})});
     },
     mv::LoadFailure::None,
     {5, 7, 0, 0},
     {6, 0, 0, 8}},
    {"lacing_bytes_leave_out_the_lace_headers",
     [] {
       return file(
           {header(), mkv::cluster(0, {mkv::simpleBlock(1, 0, {100}),
                                       mkv::simpleBlock(2, 0, {300, 200, 100}, true, Lacing::Xiph),
                                       mkv::simpleBlock(2, 1000, {300, 310, 290}, true, Lacing::Ebml),
                                       mkv::simpleBlock(2, 2000, {100, 100, 100, 100}, true, Lacing::Fixed),
                                       mkv::simpleBlock(2, 2500, {1000, 2}, true, Lacing::Xiph),
                                       mkv::simpleBlock(2, 2600, {5000, 200, 9000}, true, Lacing::Ebml)})});
     },
     mv::LoadFailure::None,
     {100, 0, 0},
     {600, 900, 400 + 1002 + 14200}},
    {"block_groups_are_key_frames_without_a_reference",
     [] {
       return file({header(),
                    mkv::cluster(0, {mkv::blockGroup(1, 0, {100}, false), mkv::blockGroup(1, 40, {50}, true),
                                     mkv::simpleBlock(1, 80, {25}, true),
                                     mkv::blockGroup(1, 120, {300, 300}, true, Lacing::Xiph),
                                     mkv::blockGroup(2, 1100, {9}, false)})});
     },
     mv::LoadFailure::None,
     {775, 0},
     {0, 9},
     -1,
     {1, 0, 1, 0}},
    {"unknown_sizes_end_at_the_next_level_1_element",
     [] {
       return file(
           {header(),
            mkv::cluster(0, {mkv::simpleBlock(1, 0, {10}), mkv::simpleBlock(2, 0, {20})}, mkv::kUnknownSize),
            mkv::cluster(1000, {mkv::simpleBlock(1, 0, {30})}, mkv::kUnknownSize),
            mkv::element(mkv::id::kCues, Bytes(12, 0)),
            mkv::cluster(2000, {mkv::simpleBlock(1, 0, {40}, true, Lacing::None, 8)}, 8),
            mkv::cluster(3000, {mkv::simpleBlock(2, 0, {50})}, mkv::kUnknownSize)},
           mkv::kUnknownSize);
     },
     mv::LoadFailure::None,
     {10, 30, 40, 0},
     {20, 0, 0, 50}},
    {"a_block_cut_by_the_end_of_the_file_is_left_out",
     [] {
       Bytes b =
           file({header(), mkv::cluster(0, {mkv::simpleBlock(1, 0, {100}), mkv::simpleBlock(2, 0, {50})}),
                 mkv::cluster(1000, {mkv::simpleBlock(2, 0, {60}), mkv::simpleBlock(1, 0, {200})})});
       b.pop_back();
       return b;
     },
     mv::LoadFailure::None,
     {100, 0},
     {50, 60}},
    {"tracks_after_the_first_cluster",
     [] {
       return file({mkv::info(),
                    mkv::cluster(0, {mkv::simpleBlock(1, 0, {10}), mkv::simpleBlock(2, 1000, {20})}),
                    mkv::tracks({videoTrack(), audioTrack()})});
     },
     mv::LoadFailure::None,
     {10, 0},
     {0, 20}},
    {"video_only_with_an_empty_audio_series",
     [] {
       return file({mkv::info(), mkv::tracks({videoTrack(33366667)}),
                    mkv::cluster(0, {mkv::simpleBlock(1, 0, {10})})});
     },
     mv::LoadFailure::None,
     {10},
     {0},
     29970},
    {"tracks_without_blocks_load_empty", [] { return file({header()}); }, mv::LoadFailure::None, {}, {}},
    {"no_ebml_header", [] { return Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}; }, mv::LoadFailure::NotThisFormat},
    {"empty_file", [] { return Bytes{}; }, mv::LoadFailure::NotThisFormat},
    {"no_segment", [] { return mkv::ebmlHeader(); }, mv::LoadFailure::Damaged},
    {"no_tracks",
     [] {
       return file({mkv::info(), mkv::cluster(0, {mkv::simpleBlock(1, 0, {10})})});
     },
     mv::LoadFailure::Damaged},
};

INSTANTIATE_TEST_SUITE_P(Built, MkvReader, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MkvReaderNotes, CutFileSaysSo) {
  mvtest::TempDir dir;
  Bytes b = mkv::twoTrackFile(2);
  b.resize(b.size() - 10);
  mvtest::writeFile(dir.file("cut.mkv"), b);
  mv::FileAnalysis a;
  ASSERT_TRUE(mvtest::load<mv::walkMatroska>(dir.file("cut.mkv"), a).ok());
  EXPECT_EQ(a.notes, std::vector<std::string>{mv::kNoteCutShort});
  EXPECT_EQ(a.frameWidth, 320);
  EXPECT_EQ(a.frameRateMilli, 25000);
}

TEST(MkvInfo, RowsOfABuiltFile) {
  mvtest::TempDir dir;
  int result = 0;
  const std::string text =
      mv::gbkToUtf8(mvtest::reportOf(dir, mkv::twoTrackFile(2), ".mkv", mv::writeMatroskaInfo, &result));
  EXPECT_EQ(result, 1);
  for (const char* row :
       {"文档类型：matroska，版本 4\r\n", "封装程序：mkv_builder\r\n", "标题　　：样例\r\n",
        "时间刻度：1000000 ns\r\n", "播放时间：2.000 秒 (00:00:02.00)\r\n", "轨道数　：2\r\n",
        "轨道号　：1\r\n类型　　：视频\r\n编码　　：V_MPEG4/ISO/AVC = H.264/AVC\r\n语言　　：eng\r\n"
        "帧间隔　：40.000 ms (25.000 fps)\r\n画面尺寸：320 x 240\r\n数据块数：50 (关键帧 2)\r\n"
        "数据量　：15600 bytes\r\n平均码率：7800 bytes/sec = 60.94 kbps (1024 bits/second)\r\n",
        "轨道号　：2\r\n类型　　：音频\r\n编码　　：A_AAC = AAC LC\r\n语言　　：chi\r\n声道数　：2\r\n"
        "采样频率：48000\r\n数据块数：10 (关键帧 10)\r\n数据量　：1000 bytes\r\n"}) {
    EXPECT_NE(text.find(row), std::string::npos) << row << "\n---\n" << text;
  }
  EXPECT_EQ(mvtest::reportOf(dir, mkv::ebmlHeader(), ".mkv", mv::writeMatroskaInfo, &result), "");
  EXPECT_EQ(result, 0);
}

}  // namespace
