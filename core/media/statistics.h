#pragma once
// Statistics over the per-second series, stored in their header elements, and the accessors
// through which reports, chart and list read an analysis.
#include <cstdint>
#include <string>
#include <vector>

#include "media/file_analysis.h"
#include "media/per_second_series.h"
#include "media/time_format.h"

namespace mv {

// Series index within a slot.
enum SeriesItem : int { ITEM_VIDEO = 0, ITEM_AUDIO = 1, ITEM_TOTAL = 2 };

// The highest and lowest seconds marked unless the user chose other counts.
inline constexpr int kDefaultMarkedSeconds = 5;

// Builds the total series, the statistics of all three series and the video thresholds for the
// `top` highest and `bottom` lowest seconds. False when the total series could not be
// allocated; the slot must then not count as loaded.
bool prepareStatistics(FileAnalysis& analysis, int top = kDefaultMarkedSeconds,
                       int bottom = kDefaultMarkedSeconds);

// Fills elements 1-5 from the inner seconds (elements 9 .. N-2).
void computeStatistics(PerSecondSeries& series);

// Fills elements 6 and 7 for `top` highest and `bottom` lowest non-zero seconds; leaves them as
// they are when there are too few inner seconds.
void computeThresholds(PerSecondSeries& series, int top, int bottom);

struct RateHistogram {
  uint32_t lower = 0;            // exclusive upper edge of bucket 0, kbit/s
  uint32_t step = 0;             // bucket width, kbit/s
  std::vector<uint32_t> counts;  // bucket j holds seconds below lower + j * step
  uint32_t seconds = 0;          // all seconds of the series (N - 8): the base of the shares
};
RateHistogram rateHistogram(const PerSecondSeries& series, uint32_t baseStep);

// Value of row `index` of the item's series in kbit/s (rows 1-4), as a ratio (row 5) or as the
// rate of a second (rows 8 and up); 0 for row 0 and rows at or beyond N.
double cellValue(const FileAnalysis& analysis, uint32_t index, int item);

// A second's row as the report writes it, for files of millions of seconds: `cellValue` of row
// `index` (8 and up) of the series with two decimals, rounded as "%.2f" rounds it, written at
// `out` (at least 16 bytes); returns the end. The label: formatSeconds() of the row's second.
char* writeSecondCell(char* out, uint32_t bytes);
char* writeSecondLabel(char* out, uint32_t second);

// Label of a report row: the statistic names (8 bytes in GBK) or the time of a second.
std::string rowLabel(uint32_t index);

}  // namespace mv
