// The notes the one load entry adds, over every container: a clean file has none, a file cut at
// 60 % is read up to the cut and says so.
#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/containers.h"
#include "fixtures/byte_writer.h"

namespace {

struct Made {
  const char* suffix;
  const char* encode;  // ffmpeg options for four seconds of 64x48 at 25 fps with audio
};

const Made kMade[] = {
    {"avi", "-c:v mpeg4 -c:a mp2"},
    {"rm", "-c:v rv10 -b:v 64k -c:a ac3 -b:a 64k"},
    // The index first, so that the cut falls in the media data.
    {"mp4", "-c:v mpeg4 -c:a aac -movflags faststart"},
    {"mkv", "-c:v mpeg4 -c:a libvorbis"},
    {"flv", "-c:v flv1 -c:a mp3 -ar 44100"},
    {"ts", "-c:v mpeg2video -c:a mp2"},
    {"mpg", "-c:v mpeg2video -c:a mp2 -f vob"},
    {"asf", "-c:v wmv2 -c:a wmav2"},
};

TEST(LoadNotes, CleanFilesHaveNoneCutFilesAreShort) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  for (const Made& m : kMade) {
    SCOPED_TRACE(m.suffix);
    const std::string clean = dir.file(std::string("clean.") + m.suffix);
    int status = 0;
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -f lavfi -i sine=r=44100 -t 4 ") +
            m.encode + " '" + clean + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    const mvtest::Bytes bytes = mvtest::readFile(clean);
    const std::string cut = dir.file(std::string("cut.") + m.suffix);
    mvtest::writeFile(cut, mvtest::Bytes(bytes.begin(), bytes.begin() + long(bytes.size() * 6 / 10)));
    const mv::Container* c = mv::containerOfPath(clean);
    ASSERT_NE(c, nullptr);
    mv::FileAnalysis whole, part;
    ASSERT_TRUE(c->load(clean, whole).ok());
    EXPECT_EQ(whole.notes, std::vector<std::string>{});
    ASSERT_TRUE(c->load(cut, part).ok());
    EXPECT_NE(std::find(part.notes.begin(), part.notes.end(), mv::kNoteCutShort), part.notes.end());
  }
}

}  // namespace
