#pragma once
// The video track's units one by one, in decode order: what the frame and GOP views show.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/file_analysis.h"

namespace mv {

struct VideoFrame {
  double seconds = 0;  // since the start of the series (the earliest unit of both tracks)
  uint32_t bytes = 0;
  uint8_t key = 0;  // 1 when the container marks it a key frame
  char type = 0;    // 'I', 'P', 'B' as its header says; 0 when not read or not known
};

// The picture types, in the order the statistics count them.
inline constexpr char kPictureTypes[3] = {'I', 'P', 'B'};

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
  // GOPs that start with a key frame: the shortest and longest, in frames (0 without).
  uint32_t shortestGop = 0;
  uint32_t longestGop = 0;
  // Pictures of each type of kPictureTypes and their bytes.
  uint32_t typeCount[3] = {};
  uint64_t typeBytes[3] = {};
};

// Empty when the file has no video units (or is not loaded). Types stay 0: they are read from
// the file when asked (analysis/picture_types).
std::vector<VideoFrame> videoFrames(const FileAnalysis& analysis);
// A GOP's pictures as letters ("IBBPBBP"), '-' for a picture of no known type.
std::string gopStructure(const std::vector<VideoFrame>& frames, const Gop& gop);
// An open GOP: B pictures follow its first picture in decode order, so they are shown before it
// and refer to the GOP before. Unknown where the types were not read.
std::optional<bool> isOpenGop(const std::vector<VideoFrame>& frames, const Gop& gop);
std::vector<Gop> groupsOfPictures(const std::vector<VideoFrame>& frames);
FrameStats frameStats(const std::vector<VideoFrame>& frames, const std::vector<Gop>& gops);

// Seconds of `ticks` on a track's clock, as a double (for display; the series use exact sums).
double clockSeconds(const UnitClock& clock, int64_t ticks);

}  // namespace mv
