#pragma once
// The video track's units one by one, in decode order: what the frame and GOP views show.
#include <cstdint>
#include <vector>

#include "media/file_analysis.h"

namespace mv {

struct VideoFrame {
  double seconds = 0;  // since the start of the series (the earliest unit of both tracks)
  uint32_t bytes = 0;
  uint32_t key = 0;  // 1 when the container marks it a key frame
};

// A group of pictures: from one key frame to the next; frames before the first key frame make
// a group of their own.
struct Gop {
  uint32_t firstFrame = 0;
  uint32_t frames = 0;
  uint64_t bytes = 0;
};

struct FrameStats {
  uint32_t frames = 0;
  uint32_t keyFrames = 0;
  uint32_t maxBytes = 0;
  uint32_t minBytes = 0;
  double averageBytes = 0;
  double averageGopFrames = 0;  // 0 without key frames
};

// Empty when the file has no video units (or is not loaded).
std::vector<VideoFrame> videoFrames(const FileAnalysis& analysis);
std::vector<Gop> groupsOfPictures(const std::vector<VideoFrame>& frames);
FrameStats frameStats(const std::vector<VideoFrame>& frames, const std::vector<Gop>& gops);

// Seconds of `ticks` on a track's clock, as a double (for display; the series use exact sums).
double clockSeconds(const UnitClock& clock, int64_t ticks);

}  // namespace mv
