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

// The program's kbit, of rates (kbit/s) and sizes alike: 1024 bits, as the statistics count.
inline constexpr uint64_t kBitsPerKbit = 1024;
// Every rate of the information texts is in that kbit, and says so where it is printed.
inline constexpr char kRateUnit[] = "kbps (1024 bits/second)";
inline double kbitPerSecond(double bytesPerSecond) { return bytesPerSecond * 8.0 / double(kBitsPerKbit); }

// "<countLabel>N", the bytes and, over a time span, the average rate.
void writeUnitRows(TextFile& out, const char* countLabel, const TrackUnits& track, bool english = false);

}  // namespace mv
