// What opens as a raw stream and what does not: PCM and containers this program does not read
// never pass for MPEG audio, AC-3 or ADTS, under any name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "analysis/failure_causes.h"
#include "analysis/file_slot.h"
#include "fixtures/byte_writer.h"

namespace {

constexpr const char* kEsSuffixes[] = {".mp3", ".mp2", ".mpa",  ".aac", ".ac3", ".eac3",
                                       ".m2v", ".264", ".hevc", ".avi", ""};

bool made(const std::string& dir, const std::string& args) {
  int status = 0;
  mvtest::runCommand("cd '" + dir + "' && ffmpeg -v error -y " + args + " 2>&1", &status);
  return status == 0;
}

TEST(EsOpen, PcmAndUnreadContainersAreNoStream) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  mvtest::TempDir dir;
  const std::string d = dir.path().string();
  std::vector<std::string> files;
  const char* const signals[] = {"sine=frequency=440:beep_factor=4", "anoisesrc=seed=7:amplitude=0.3",
                                 "anullsrc", "aevalsrc='0.8*sin(2*PI*(100+2000*t)*t)'"};
  int k = 0;
  for (const char* signal : signals) {
    for (int rate : {8000, 22050, 44100, 48000}) {
      const std::string in = "-f lavfi -i " + std::string(signal) + (std::strchr(signal, '=') ? ":" : "=") +
                             "sample_rate=" + std::to_string(rate) + " -t 1 -ac " +
                             std::to_string(1 + k % 2) + " ";
      const std::string name = "pcm" + std::to_string(k++);
      ASSERT_TRUE(made(d, in + name + ".wav")) << signal;
      ASSERT_TRUE(made(d, in + "-f s16le " + name + ".raw")) << signal;
      files.push_back(name + ".wav");
      files.push_back(name + ".raw");
    }
  }
  const std::string sine = "-f lavfi -i sine=sample_rate=48000 -t 2 ";
  const std::string av = "-f lavfi -i testsrc=s=96x64:r=25 " + sine;
  for (const char* other :
       {"-f aiff tone.aiff", "-f caf tone.caf", "-f flac tone.flac", "-c:a libvorbis -f ogg tone.ogg",
        "-c:v mpeg2video -c:a pcm_s24le -f mxf clip.mxf", "-c:v mpeg2video -c:a mp2 -f hls clip.m3u8",
        "-c:v mpeg4 -c:a aac -f dash clip.mpd"}) {
    const std::string args = other;
    if (made(d, (args.find("-c:v") == std::string::npos ? sine : av) + args))
      files.push_back(args.substr(args.rfind(' ') + 1));
  }
  ASSERT_GE(files.size(), 37u);
  for (const std::string& file : files) {
    for (const char* suffix : kEsSuffixes) {
      std::string stem = file;
      std::replace(stem.begin(), stem.end(), '.', '_');
      const std::string path = dir.file(stem + suffix);
      std::filesystem::copy_file(dir.file(file), path, std::filesystem::copy_options::overwrite_existing);
      mv::FileSlot slot;
      const mv::LoadResult r = slot.open(path);
      EXPECT_EQ(r.failure, mv::LoadFailure::NotThisFormat) << path;
      // Containers of their own are named as what they are.
      if (file.rfind("pcm", 0) != 0 || file.ends_with(".wav")) {
        EXPECT_TRUE(mv::loadFailureCause(path, r, true).ends_with(": not a file this program reads")) << path;
      }
    }
  }
}

}  // namespace
