#pragma once
// What a buffer or a disc's limit must survive: the highest average rate over a window of
// consecutive seconds, and the moving average the chart draws.
#include <cstdint>
#include <vector>

#include "media/file_analysis.h"

namespace mv {

inline constexpr uint32_t kMinPeakWindow = 1, kMaxPeakWindow = 60, kDefaultPeakWindow = 5;

struct PeakWindow {
  bool found = false;    // the inner seconds hold at least one window
  uint32_t seconds = 0;  // window length
  uint32_t start = 0;    // first second of the window (0-based, as element 8 + start)
  double rate = 0;       // average over the window, kbit/s (1 kbit = 128 bytes, as everywhere)
};

// The highest average of `item` (video, audio, total) over `seconds` consecutive inner seconds
// (elements 9 .. N-2, those the statistics use); the earliest window wins a tie.
PeakWindow peakWindow(const FileAnalysis& analysis, int item, uint32_t seconds);

// Per second s (element 8 + s) the average rate of the `seconds` seconds ending at s, fewer at
// the start; kbit/s.
std::vector<double> movingAverage(const FileAnalysis& analysis, int item, uint32_t seconds);

}  // namespace mv
