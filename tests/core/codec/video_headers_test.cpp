// Picture sizes from the sequence headers of streams ffmpeg writes at sizes that need cropping.
#include "codec/video_headers.h"

#include <gtest/gtest.h>

#include "fixtures/byte_writer.h"

namespace {

TEST(VideoHeaders, SizesOfRealStreams) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const struct {
    const char* args;
    mv::VideoSyntax syntax;
    int height = 58;  // interlaced coding needs a multiple of 4; 60 is cropped from 64 then
  } cases[] = {
      {"-c:v libx264 -profile:v high -f h264", mv::VideoSyntax::H264},
      {"-c:v libx264 -profile:v baseline -f h264", mv::VideoSyntax::H264},
      {"-c:v libx264 -x264-params interlaced=1 -f h264", mv::VideoSyntax::H264, 60},
      {"-c:v libx264 -profile:v high444 -pix_fmt yuv444p -f h264", mv::VideoSyntax::H264},
      {"-c:v libx265 -x265-params log-level=none -f hevc", mv::VideoSyntax::H265},
      {"-c:v mpeg2video -f mpeg2video", mv::VideoSyntax::Mpeg12},
      {"-c:v mpeg1video -f mpeg1video", mv::VideoSyntax::Mpeg12},
      {"-c:v mpeg4 -f m4v", mv::VideoSyntax::Mpeg4Part2},
  };
  const std::string path = dir.file("stream");
  for (const auto& c : cases) {
    int status = 0;
    mvtest::runCommand(std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=100x") +
                           std::to_string(c.height) + ":r=25 -t 0.2 -pix_fmt yuv420p " + c.args + " '" +
                           path + "' 2>&1",
                       &status);
    ASSERT_EQ(status, 0) << c.args;
    const mvtest::Bytes b = mvtest::readFile(path);
    mv::PictureSize size;
    ASSERT_TRUE(mv::pictureSizeInStream(c.syntax, b.data(), b.size(), size)) << c.args;
    EXPECT_EQ(size.width, 100) << c.args;
    EXPECT_EQ(size.height, c.height) << c.args;
  }
}

TEST(VideoHeaders, DamagedHeadersGiveNoSize) {
  const uint8_t truncatedSps[] = {0, 0, 1, 0x67, 100, 0, 30};
  const uint8_t zeroSize[] = {0, 0, 1, 0xB3, 0, 0, 0, 0x13};
  mv::PictureSize size;
  EXPECT_FALSE(mv::pictureSizeInStream(mv::VideoSyntax::H264, truncatedSps, sizeof truncatedSps, size));
  EXPECT_FALSE(mv::pictureSizeInStream(mv::VideoSyntax::Mpeg12, zeroSize, sizeof zeroSize, size));
  const uint8_t shortConfig[] = {1, 100, 0, 30, 0xFF, 0xE1, 0x00, 0x40, 0x67};
  EXPECT_FALSE(mv::pictureSizeInAvcConfig(shortConfig, sizeof shortConfig, size));
}

}  // namespace
