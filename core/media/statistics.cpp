#include "media/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <new>

#include "media/time_format.h"

namespace mv {
namespace {

// Converts a double to uint32 the way a truncating cast would, without the undefined
// behaviour of a NaN, an infinity or a value out of range (those give 0 or the bound).
uint32_t truncToU32(double v) {
  if (!(v > 0)) return 0;
  if (v >= 4294967295.0) return 0xFFFFFFFFu;
  return uint32_t(v);
}

}  // namespace

bool prepareStatistics(FileAnalysis& a, int top, int bottom) {
  if (!a.videoSeries) return false;
  const PerSecondSeries& video = *a.videoSeries;
  const PerSecondSeries& audio = *a.audioSeries;
  const uint32_t n = video.elementCount();
  try {
    a.totalSeries = std::make_unique<PerSecondSeries>(n);
  } catch (const std::bad_alloc&) {
    return false;
  }
  PerSecondSeries& total = *a.totalSeries;
  for (size_t i = kFirstSecond; i < n; ++i) total[i] = video[i] + audio[i];
  computeStatistics(*a.videoSeries);
  computeStatistics(*a.audioSeries);
  computeStatistics(total);
  computeThresholds(*a.videoSeries, top, bottom);
  return true;
}

void computeStatistics(PerSecondSeries& s) {
  const uint32_t n = s.elementCount();
  if (n < 10) return;
  const uint32_t inner = n - 10;
  uint32_t mx = 0, mn = 0xFFFFFFFFu;
  double sum = 0;
  for (size_t i = 9; i + 1 < n; ++i) {
    mx = std::max(mx, s[i]);
    mn = std::min(mn, s[i]);
    sum += s[i];
  }
  if (inner == 0) {
    // Two seconds have no inner second: nothing to measure.
    for (size_t i = kMaxRate; i <= kVariationPermille; ++i) s[i] = 0;
    return;
  }
  // 64-bit product: a 32-bit one wraps above 42,949,672 bytes per second.
  s[kMaxRate] = uint32_t(uint64_t(mx) * 100 / 128);
  s[kMinRate] = uint32_t(uint64_t(mn) * 100 / 128);
  s[kAvgRate] = truncToU32(sum * 0.78125 / inner);
  double a = 0, b = 0;
  for (size_t i = 9; i + 1 < n; ++i) {
    const double x = s[i] / 128.0;
    a += x;
    b += x * x;
  }
  double sd = 0;
  if (inner > 1) {
    const double var = (b - a * a / inner) / (inner - 1);
    sd = var > 0 ? std::sqrt(var) : 0;  // rounding can push an exact zero slightly below
  }
  s[kStdDev] = truncToU32(sd * 100);
  const double mean = sum / inner / 128;
  s[kVariationPermille] = mean > 0 ? truncToU32(sd / mean * 1000 + 0.5) : 0;
}

void computeThresholds(PerSecondSeries& s, int top, int bottom) {
  const uint32_t n = s.elementCount();
  if (n < 11 || top < 1 || bottom < 1) return;
  const uint32_t inner = n - 10;
  if (inner < uint32_t(top) + uint32_t(bottom)) return;
  std::vector<uint32_t> v;
  try {
    v.assign(s.data() + 9, s.data() + 9 + inner);
  } catch (const std::bad_alloc&) {
    return;
  }
  std::sort(v.begin(), v.end(), std::greater<>());
  // Walk back over the zero seconds to the smallest non-zero value, but never below index 8.
  size_t e = inner - 1;
  while (e > 8 && v[e] == 0) --e;
  const long lo = long(e) - bottom + 1;
  const long hi = top - 1;
  if (lo > hi) {
    s[kHighThreshold] = v[size_t(hi)];
    s[kLowThreshold] = v[size_t(lo)];
  } else {
    // The highest and the lowest would overlap: split the sorted values in the middle.
    const size_t m = e / 2;
    s[kHighThreshold] = v[m];
    s[kLowThreshold] = v[m + 1];
  }
}

RateHistogram rateHistogram(const PerSecondSeries& s, uint32_t baseStep) {
  RateHistogram h;
  const uint32_t n = s.elementCount();
  if (baseStep == 0 || n < kFirstSecond) return h;
  const uint64_t minK = s[kMinRate] / 100, maxK = s[kMaxRate] / 100;
  uint64_t step = baseStep, lower = 0, buckets = 0;
  for (;;) {
    lower = minK + step - minK % step;
    const uint64_t upper = maxK + step - maxK % step;
    buckets = (upper - lower) / step + 1;
    if (buckets <= 10) break;
    step += baseStep;
  }
  try {
    h.counts.assign(size_t(buckets), 0);
  } catch (const std::bad_alloc&) {
    return RateHistogram{};
  }
  h.lower = uint32_t(lower);
  h.step = uint32_t(step);
  h.seconds = n - kFirstSecond;
  for (size_t i = kFirstSecond; i < n; ++i) {
    const uint64_t k = s[i] / 128;
    const uint64_t j = k < lower ? 0 : (k - lower) / step + 1;
    // Only a first or last second (outside the statistics) can lie at or above the top edge;
    // it has no bucket and is left out, while the shares stay relative to all seconds.
    if (j < buckets) h.counts[size_t(j)]++;
  }
  return h;
}

double cellValue(const FileAnalysis& a, uint32_t index, int item) {
  if (!a.videoSeries || index >= a.videoSeries->elementCount() || index == 0) return 0;
  const PerSecondSeries* s = item == ITEM_VIDEO   ? a.videoSeries.get()
                             : item == ITEM_AUDIO ? a.audioSeries.get()
                             : item == ITEM_TOTAL ? a.totalSeries.get()
                                                  : nullptr;
  if (!s || index >= s->capacity()) return 0;
  const uint32_t v = (*s)[index];
  if (index <= 4) return v * 0.01;
  if (index == 5) return v * 0.001;
  return v / 128.0;
}

namespace {

char* writeDigits(char* out, uint64_t v, int atLeast) {
  char digits[20];
  int n = 0;
  do {
    digits[n++] = char('0' + v % 10);
    v /= 10;
  } while (v);
  while (n < atLeast) digits[n++] = '0';
  while (n) *out++ = digits[--n];
  return out;
}

}  // namespace

char* writeSecondCell(char* out, uint32_t bytes) {
  // bytes / 128 kbit/s is exact in binary; printf rounds its hundredths half to even.
  const uint64_t scaled = uint64_t(bytes) * 25;
  uint64_t hundredths = scaled / 32;
  const uint64_t rest = scaled % 32;
  if (rest > 16 || (rest == 16 && (hundredths & 1))) ++hundredths;
  out = writeDigits(out, hundredths / 100, 1);
  *out++ = '.';
  return writeDigits(out, hundredths % 100, 2);
}

char* writeSecondLabel(char* out, uint32_t second) {
  out = writeDigits(out, second / 3600, 2);
  *out++ = ':';
  out = writeDigits(out, second % 3600 / 60, 2);
  *out++ = ':';
  return writeDigits(out, second % 60, 2);
}

std::string rowLabel(uint32_t index) {
  switch (index) {
    case 0:
      return {};
    case 1:
      return "最大值  ";
    case 2:
      return "最小值  ";
    case 3:
      return "平均值  ";
    case 4:
      return "标准差  ";
    case 5:
      return "变异系数";
    default:
      return formatSeconds(index - 7);
  }
}

}  // namespace mv
