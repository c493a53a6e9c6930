#include "media/zero_runs.h"

#include "media/time_format.h"

namespace mv {

std::vector<ZeroRun> zeroRuns(const PerSecondSeries& video) {
  // Element 0 is never above the allocation by contract; the clamp keeps a broken series from
  // being read past its end all the same.
  size_t n = video.elementCount();
  if (n > video.capacity()) n = video.capacity();
  std::vector<ZeroRun> runs;
  if (n < 11) return runs;  // no inner second
  // Element i holds the second labelled i - 7.
  bool open = false;
  for (size_t i = kFirstSecond + 1; i <= n - 2; ++i) {
    if (video[i] != 0) {
      open = false;
    } else if (open) {
      runs.back().last = uint32_t(i - 7);
    } else {
      runs.push_back({uint32_t(i - 7), uint32_t(i - 7)});
      open = true;
    }
  }
  return runs;
}

std::string zeroRunText(const ZeroRun& run) {
  std::string out = formatSeconds(run.first);
  if (run.last != run.first) out += " -- " + formatSeconds(run.last);
  return out;
}

}  // namespace mv
