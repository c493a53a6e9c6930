// A file is read as what its first bytes are when its suffix names another container or none:
// files of every container, made by ffmpeg, under wrong names.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/containers.h"
#include "analysis/failure_causes.h"
#include "analysis/file_slot.h"
#include "fixtures/byte_writer.h"
#include "platform/messages.h"

namespace {

struct Made {
  const char* name;  // under its own suffix
  const char* args;  // ffmpeg's, after the test sources
  mv::MediaType type;
};

constexpr const char* kSources = "-f lavfi -i testsrc=s=96x64:r=25 -f lavfi -i sine=r=44100 -t 3 ";

const Made kMade[] = {
    {"clip.avi", "-c:v mpeg4 -c:a mp2", mv::MEDIA_AVI},
    {"clip.rm", "-c:v rv10 -c:a ac3 -b:a 64k", mv::MEDIA_RM},
    {"clip.mp4", "-c:v mpeg4 -c:a aac", mv::MEDIA_MP4},
    {"clip.mkv", "-c:v mpeg4 -c:a mp2", mv::MEDIA_MKV},
    {"clip.flv", "-c:v flv1 -c:a mp3", mv::MEDIA_FLV},
    {"clip.ts", "-c:v mpeg2video -c:a mp2", mv::MEDIA_TS},
    {"clip.m2ts", "-c:v mpeg2video -c:a mp2 -f mpegts -mpegts_m2ts_mode 1", mv::MEDIA_TS},
    {"clip.mpg", "-c:v mpeg2video -c:a mp2 -f vob", mv::MEDIA_PS},
    {"clip.wmv", "-c:v wmv2 -c:a wmav2", mv::MEDIA_ASF},
    {"clip.264", "-map 0:v -c:v libx264 -f h264", mv::MEDIA_ES},
    {"clip.m2v", "-map 0:v -c:v mpeg2video -f mpeg2video", mv::MEDIA_ES},
    {"clip.ivf", "-map 0:v -c:v libvpx -f ivf", mv::MEDIA_ES},
    {"clip.mp3", "-map 1:a -c:a libmp3lame -f mp3", mv::MEDIA_ES},
    {"clip.aac", "-map 1:a -c:a aac -f adts", mv::MEDIA_ES},
    {"clip.ac3", "-map 1:a -c:a ac3 -f ac3", mv::MEDIA_ES},
};

bool make(const std::string& path, const std::string& args) {
  int status = 0;
  mvtest::runCommand("ffmpeg -v error -y " + std::string(kSources) + args + " '" + path + "' 2>&1", &status);
  return status == 0 && std::filesystem::file_size(path) > 0;
}

std::vector<uint32_t> elements(const mv::PerSecondSeries& s) {
  return std::vector<uint32_t>(s.data(), s.data() + s.elementCount());
}

bool hasNote(const mv::FileSlot& slot, const char* note) {
  const auto& notes = slot.analysis.notes;
  return std::find(notes.begin(), notes.end(), note) != notes.end();
}

TEST(ContentSniff, EveryContainerLoadsUnderAWrongNameAsUnderItsOwn) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  mvtest::TempDir dir;
  for (const Made& m : kMade) {
    const std::string own = dir.file(m.name);
    ASSERT_TRUE(make(own, m.args)) << m.name;
    mv::FileSlot right;
    ASSERT_TRUE(right.open(own).ok()) << m.name;
    EXPECT_EQ(right.mediaType(), m.type) << m.name;
    EXPECT_FALSE(hasNote(right, mv::kNoteContentNotSuffix)) << m.name;

    const mvtest::Bytes bytes = mvtest::readFile(own);
    const mv::Container* byHead =
        mv::containerOfContent(bytes.data(), std::min(bytes.size(), mv::kContentHeadBytes));
    ASSERT_NE(byHead, nullptr) << m.name;
    EXPECT_EQ(byHead->type, m.type) << m.name;

    std::string stem = m.name;
    std::replace(stem.begin(), stem.end(), '.', '_');
    // Every raw stream's suffix too: a container is never taken for a stream by its name.
    std::vector<std::string> wrongs = {".mpg", ".avi", ".mp4", ""};
    for (std::string_view s : mv::containerOfType(mv::MEDIA_ES)->suffixes) wrongs.emplace_back(s);
    for (const std::string& wrong : wrongs) {
      const std::string path = dir.file(stem + wrong);
      std::filesystem::copy_file(own, path, std::filesystem::copy_options::overwrite_existing);
      const bool named = mv::mediaTypeOfPath(path) == m.type;
      mv::FileSlot slot;
      ASSERT_TRUE(slot.open(path).ok()) << path;
      EXPECT_EQ(slot.mediaType(), m.type) << path;
      EXPECT_EQ(slot.container(), right.container()) << path;
      EXPECT_EQ(hasNote(slot, mv::kNoteContentNotSuffix), !named) << path;
      EXPECT_EQ(elements(*slot.analysis.videoSeries), elements(*right.analysis.videoSeries)) << path;
      EXPECT_EQ(elements(*slot.analysis.audioSeries), elements(*right.analysis.audioSeries)) << path;
      EXPECT_EQ(elements(*slot.analysis.totalSeries), elements(*right.analysis.totalSeries)) << path;
    }
  }
}

TEST(ContentSniff, TheNewSuffixesLoadAsTheirContainer) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  mvtest::TempDir dir;
  const Made cases[] = {
      {"clip.mts", "-c:v mpeg2video -c:a mp2 -f mpegts", mv::MEDIA_TS},
      {"tone.m4a", "-vn -c:a aac -f mp4", mv::MEDIA_MP4},
      {"tone.mka", "-vn -c:a mp2 -f matroska", mv::MEDIA_MKV},
      {"clip.divx", "-c:v mpeg4 -c:a mp2 -f avi", mv::MEDIA_AVI},
      {"clip.vob.mod", "-c:v mpeg2video -c:a mp2 -f vob", mv::MEDIA_PS},
  };
  for (const Made& m : cases) {
    const std::string path = dir.file(m.name);
    ASSERT_TRUE(make(path, m.args)) << m.name;
    mv::FileSlot slot;
    ASSERT_TRUE(slot.open(path).ok()) << m.name;
    EXPECT_EQ(slot.mediaType(), m.type) << m.name;
    EXPECT_TRUE(slot.analysis.notes.empty()) << m.name;
  }
}

TEST(ContentSniff, WhatIsNoContainerFailsAsBefore) {
  mvtest::TempDir dir;
  struct Case {
    const char* name;
    mvtest::Bytes bytes;
    const char* message;
    const char* cause;
  };
  mvtest::Bytes text(600, 'x');
  // A pack start code without the pack header's marker bits, and sync bytes too few in a row.
  mvtest::Bytes startCode = {0, 0, 1, 0xBA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  mvtest::Bytes shortRun(188 * 3 + 1, 0);
  for (size_t at = 0; at < shortRun.size(); at += 188) shortRun[at] = 0x47;
  const Case cases[] = {
      {"text.ts", text, mv::msg::kReadFailed, "not an MPEG-TS file"},
      {"text", text, mv::msg::kInvalidFile, "not a supported media file"},
      {"code.bin", startCode, mv::msg::kInvalidFile, "not a supported media file"},
      {"run.mp4", shortRun, mv::msg::kReadFailed, "not an MP4 file"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.file(c.name);
    mvtest::writeFile(path, c.bytes);
    EXPECT_EQ(mv::containerOfContent(c.bytes.data(), c.bytes.size()), nullptr) << c.name;
    mv::FileSlot slot;
    const mv::LoadResult r = slot.open(path);
    EXPECT_EQ(r.failure, mv::LoadFailure::NotThisFormat) << c.name;
    EXPECT_FALSE(slot.isLoaded()) << c.name;
    EXPECT_EQ(slot.mediaType(), mv::MEDIA_NONE) << c.name;
    EXPECT_STREQ(mv::loadFailureMessage(path, r), c.message) << c.name;
    EXPECT_EQ(mv::loadFailureCause(path, r, true).rfind(c.cause, 0), 0u) << c.name;
  }
}

// A VCD's .dat is the program stream's, never AVI's, though both are RIFF.
TEST(ContentSniff, RiffFormsGoToTheirOwnReaders) {
  mvtest::Bytes cdxa = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'C', 'D', 'X', 'A', 'f', 'm', 't', ' '};
  mvtest::Bytes avi = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' ', 'L', 'I', 'S', 'T'};
  mvtest::Bytes wave = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  ASSERT_NE(mv::containerOfContent(cdxa.data(), cdxa.size()), nullptr);
  EXPECT_EQ(mv::containerOfContent(cdxa.data(), cdxa.size())->type, mv::MEDIA_PS);
  ASSERT_NE(mv::containerOfContent(avi.data(), avi.size()), nullptr);
  EXPECT_EQ(mv::containerOfContent(avi.data(), avi.size())->type, mv::MEDIA_AVI);
  EXPECT_EQ(mv::containerOfContent(wave.data(), wave.size()), nullptr);
}

}  // namespace
