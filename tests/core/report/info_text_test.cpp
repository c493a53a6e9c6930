// The information text of a file of every container, in both languages, from files ffmpeg makes.
#include "report/info_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "analysis/file_slot.h"
#include "fixtures/byte_writer.h"
#include "fixtures/text_capture.h"
#include "platform/text_file.h"

namespace {

TEST(InformationText, EnglishThroughoutWithRatesInKbitOf1024Bits) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  mvtest::TempDir dir;
  const struct {
    const char* suffix;
    const char* codecs;
  } files[] = {{"avi", "-c:v mpeg4 -c:a pcm_s16le"},
               {"rm", "-c:v rv10 -c:a ac3"},
               {"mp4", "-c:v mpeg4 -c:a aac"},
               {"mkv", "-c:v mpeg4 -c:a mp2"},
               {"flv", "-c:v flv1 -c:a mp3"},
               {"ts", "-c:v mpeg2video -c:a mp2"},
               {"mpg", "-c:v mpeg2video -c:a mp2 -f vob"},
               {"wmv", "-c:v wmv2 -c:a wmav2"},
               {"m2v", "-c:v mpeg2video -an"},
               {"mp3", "-vn -c:a libmp3lame"}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.suffix);
    const std::string path = dir.file(std::string("clip.") + f.suffix);
    int status = 0;
    mvtest::runCommand(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=96x64:rate=25 -f lavfi -i sine=r=44100 -t 2 " +
            std::string(f.codecs) + " '" + path + "' 2>&1",
        &status);
    if (status != 0) continue;  // an encoder this ffmpeg lacks
    mv::FileSlot slot;
    ASSERT_TRUE(slot.open(path).ok());
    const auto text = [&](bool english) {
      return mvtest::captureText(
          dir, [&](mv::TextFile& out) { mv::writeInformation(out, slot, nullptr, english); });
    };
    const std::string english = text(true), chinese = text(false);
    EXPECT_TRUE(std::all_of(english.begin(), english.end(), [](char c) { return uint8_t(c) < 0x80; }))
        << english;
    EXPECT_NE(english.find("Total rate"), std::string::npos);
    // 50 pictures at 25 fps span 1.96 s from the first time stamp to the last; MP4 declares 2 s.
    const double span = f.suffix == std::string("mp4") ? 2.0 : 1.96;
    std::smatch m;
    if (f.suffix != std::string("mp3") &&
        std::regex_search(english, m,
                          std::regex("Data: (\\d+) bytes\r\nAverage rate: ([0-9.]+) kbps \\(1024"))) {
      EXPECT_NEAR(std::stod(m[2]), std::stod(m[1]) / 128.0 / span, 0.01 + std::stod(m[2]) * 0.001);
    }
    // A file without video has no seconds without video to list.
    const bool video = slot.analysis.videoUnits.present;
    EXPECT_EQ(english.find("Seconds without video") != std::string::npos && !video, false);
    EXPECT_EQ(chinese.find(mv::utf8ToGbk("无视频数据的秒")) != std::string::npos && !video, false);
  }
}

}  // namespace
