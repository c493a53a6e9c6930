#pragma once
// Seconds without video data: where a recording broke. The batch check, the window, the
// information text and the CLI list them alike.
#include <cstdint>
#include <string>
#include <vector>

#include "media/per_second_series.h"

namespace mv {

// A run of seconds without video data, both ends included, each second by its ordinal counted
// from 1 as the list and the result file label it.
struct ZeroRun {
  uint32_t first = 0;
  uint32_t last = 0;
  bool operator==(const ZeroRun&) const = default;
};

// The runs of zero seconds among the inner seconds: the first and the last second are never
// looked at.
std::vector<ZeroRun> zeroRuns(const PerSecondSeries& video);

// "00:01:10 -- 00:01:12", or the one time of a run of one second.
std::string zeroRunText(const ZeroRun& run);

}  // namespace mv
