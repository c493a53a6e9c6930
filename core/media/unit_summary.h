#pragma once
// The rows the information texts of the time-stamped containers give for a chosen track.
#include <cstddef>
#include <cstdint>

#include "media/timed_units.h"
#include "platform/text_file.h"

namespace mv {

struct UnitSummary {
  size_t units = 0;
  uint64_t bytes = 0;
  uint64_t keys = 0;
  double seconds = 0;  // from the earliest to the latest time stamp
};

UnitSummary summarize(const TrackUnits& track);

// "<countLabel>N", "数据量　：B bytes" and, over a time span, "平均码率：R kbps".
void writeUnitRows(TextFile& out, const char* countLabel, const TrackUnits& track);

}  // namespace mv
