// The information text of a built MP4 file, row by row.
#include "mp4/mp4_info.h"

#include <gtest/gtest.h>

#include "fixtures/mp4_builder.h"
#include "fixtures/text_capture.h"

namespace {

namespace mp4 = mvtest::mp4;
using mvtest::Bytes;

// The report as UTF-8 with "\n" line ends.
std::string report(const mvtest::TempDir& dir, const std::string& path, int expected) {
  std::string text = mv::gbkToUtf8(
      mvtest::captureText(dir, [&](mv::TextFile& out) { EXPECT_EQ(mv::writeMp4Info(path, out), expected); }));
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

TEST(Mp4Info, RowsOfABuiltFile) {
  mp4::File f;
  f.movieTimescale = 600;
  mp4::Track v;
  v.trackId = 1;
  v.timescale = 25;
  v.codec = "mp4v";
  v.width = 320;
  v.height = 240;
  // esds: ES_Descriptor [DecoderConfigDescriptor objectTypeIndication 0x20]
  v.entryChildren =
      mp4::fullBox("esds", 0, 0, Bytes{3, 18, 0, 1, 0, 4, 13, 0x20, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  v.samples.assign(50, mp4::Sample{256, 1, true});
  v.edits = {{300, -1}, {1200, 2}};
  mp4::Track a;
  a.handler = "soun";
  a.trackId = 2;
  a.timescale = 48000;
  a.channels = 1;
  a.sampleRate = 48000;
  a.language = uint16_t((('c' - 0x60) << 10) | (('h' - 0x60) << 5) | ('i' - 0x60));
  // [DecoderConfigDescriptor 0x40 [AudioSpecificConfig: object type 5]]
  a.entryChildren = mp4::fullBox("esds", 0, 0, Bytes{3, 23, 0, 2, 0, 4, 18, 0x40, 0x15, 0, 0,    0,
                                                     0, 0,  0, 0, 0, 0, 0,  0,    5,    2, 0x2B, 0x10});
  a.samples.assign(10, mp4::Sample{100, 9600, true});
  f.tracks = {v, a};
  mvtest::TempDir dir;
  const std::string path = dir.file("f.mp4");
  mvtest::writeFile(path, f.build());

  const std::string text = report(dir, path, 1);
  for (const char* row :
       {"主品牌　：isom\n", "兼容品牌：isom mp41\n", "分段存储：否\n", "轨道数　：2\n",
        "类型　　：视频 (vide)\n", "编码　　：mp4v = MPEG-4 Visual\n", "时间刻度：25\n", "采样数　：50\n",
        "数据量　：12800 bytes\n", "画面尺寸：320 x 240\n", "帧率　　：25.000 fps（由解码时间算出）\n",
        "编辑列表：2 项，开头空白 300（影片刻度），媒体起点 2（媒体刻度）\n", "类型　　：音频 (soun)\n",
        "编码　　：mp4a = AAC HE-AAC (SBR)\n", "声道数　：1\n", "采样率　：48000 Hz\n", "语言　　：chi\n",
        "编辑列表：无\n"}) {
    EXPECT_NE(text.find(row), std::string::npos) << row << "\n" << text;
  }
}

TEST(Mp4Info, NothingForAFileThatDoesNotParse) {
  mvtest::TempDir dir;
  const std::string path = dir.file("f.mp4");
  mvtest::writeFile(path, mp4::box("ftyp", Bytes(8, 'a')));
  EXPECT_EQ(report(dir, path, 0), "");
}

}  // namespace
