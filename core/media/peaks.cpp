#include "media/peaks.h"

#include <algorithm>

#include "media/statistics.h"

namespace mv {
namespace {

const PerSecondSeries* seriesOf(const FileAnalysis& a, int item) {
  return item == ITEM_VIDEO   ? a.videoSeries.get()
         : item == ITEM_AUDIO ? a.audioSeries.get()
         : item == ITEM_TOTAL ? a.totalSeries.get()
                              : nullptr;
}

}  // namespace

PeakWindow peakWindow(const FileAnalysis& analysis, int item, uint32_t seconds) {
  PeakWindow peak;
  peak.seconds = seconds;
  const PerSecondSeries* s = seriesOf(analysis, item);
  if (!s || seconds == 0) return peak;
  const uint32_t n = std::min<uint32_t>(s->elementCount(), uint32_t(s->capacity()));
  const uint32_t first = kFirstSecond + 1;  // the inner seconds: 9 .. N-2
  if (n < 2 || n - 1 < first + seconds) return peak;
  const uint32_t end = n - 1;  // one past the last inner second
  uint64_t sum = 0, best = 0;
  uint32_t bestStart = first;
  for (uint32_t e = first; e < end; ++e) {
    sum += (*s)[e];
    if (e >= first + seconds) sum -= (*s)[e - seconds];
    if (e + 1 < first + seconds) continue;  // the first window is not full yet
    const uint32_t start = e + 1 - seconds;
    if (start == first || sum > best) {
      best = sum;
      bestStart = start;
    }
  }
  peak.found = true;
  peak.start = bestStart - kFirstSecond;
  peak.rate = double(best) / seconds / 128.0;
  return peak;
}

std::vector<double> movingAverage(const FileAnalysis& analysis, int item, uint32_t seconds) {
  std::vector<double> out;
  const PerSecondSeries* s = seriesOf(analysis, item);
  if (!s || seconds == 0) return out;
  const uint32_t n = std::min<uint32_t>(s->elementCount(), uint32_t(s->capacity()));
  if (n <= kFirstSecond) return out;
  out.reserve(n - kFirstSecond);
  uint64_t sum = 0;
  for (uint32_t e = kFirstSecond; e < n; ++e) {
    sum += (*s)[e];
    if (e >= kFirstSecond + seconds) sum -= (*s)[e - seconds];
    const uint32_t count = std::min(seconds, e - uint32_t(kFirstSecond) + 1);
    out.push_back(double(sum) / count / 128.0);
  }
  return out;
}

}  // namespace mv
