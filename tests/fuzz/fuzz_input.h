#pragma once
// The loaders read files, so each fuzz input is written to a file of this process first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "media/file_analysis.h"
#include "media/frames.h"
#include "media/reader.h"
#include "platform/messages.h"

namespace mvfuzz {

// Writes the input to a per-process file with the given suffix; empty when that fails.
inline std::string inputFile(const uint8_t* data, size_t size, const char* suffix) {
  static const std::string base = [] {
    mv::setMessageSink([](const std::string&) {});
    return "/tmp/morv_fuzz_" + std::to_string(getpid());
  }();
  const std::string path = base + suffix;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return {};
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return path;
}

// Loads `path`; 1 loaded, 0 failed, -1 when the result broke the loaders' promise: both series
// sized by the duration, or neither.
template <typename Loader>
int loadChecked(const std::string& path, Loader load) {
  mv::FileAnalysis a;
  if (!load(path, a, nullptr).ok()) return a.videoSeries || a.audioSeries ? -1 : 0;
  const auto& video = a.videoSeries;
  const auto& audio = a.audioSeries;
  const bool whole = video && audio && video->elementCount() == uint32_t(a.durationSeconds) + 8 &&
                     audio->elementCount() == video->elementCount();
  // The frame views read every kept unit.
  const std::vector<mv::VideoFrame> frames = mv::videoFrames(a);
  const mv::FrameStats stats = mv::frameStats(frames, mv::groupsOfPictures(frames));
  const bool listed = frames.size() == a.videoUnits.unitCount() && stats.frames == frames.size();
  return whole && listed ? 1 : -1;
}

// One container's walk run by the load entry, as the program runs it.
inline void walkAndCheck(const std::string& path, mv::WalkFunction walk) {
  const auto load = [walk](const std::string& p, mv::FileAnalysis& a, mv::LoadControl* control) {
    return mv::loadWith(walk, p, a, control);
  };
  if (loadChecked(path, load) < 0) __builtin_trap();
}

}  // namespace mvfuzz
