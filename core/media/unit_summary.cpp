#include "media/unit_summary.h"

#include <algorithm>

namespace mv {

UnitSummary summarize(const TrackUnits& t) {
  UnitSummary s;
  if (t.units.empty() && t.runs.empty()) return s;
  int64_t first = INT64_MAX, last = INT64_MIN;
  for (const TimedUnit& u : t.units) {
    s.bytes += u.bytes;
    s.keys += u.key;
    first = std::min(first, u.ticks);
    last = std::max(last, u.ticks);
  }
  for (const UnitRun& r : t.runs) {
    s.bytes += r.count * r.bytes;
    s.keys += r.count;
    const int64_t end = int64_t(std::min<Int128>(Int128(r.ticks) + Int128(r.count - 1) * r.delta, INT64_MAX));
    first = std::min({first, r.ticks, end});
    last = std::max({last, r.ticks, end});
  }
  s.units = size_t(t.unitCount());
  if (t.clock.den != 0) s.seconds = double(last - first) * double(t.clock.mul) / double(t.clock.den);
  return s;
}

void writeUnitRows(TextFile& out, const char* countLabel, const TrackUnits& track, bool english) {
  const UnitSummary s = summarize(track);
  out.write(countLabel);
  out.printf("%zu\n", s.units);
  out.printf(english ? "Data: %llu bytes\n" : "数据量　：%llu bytes\n",
             static_cast<unsigned long long>(s.bytes));
  if (s.seconds > 0)
    out.printf(english ? "Average rate: %.2f %s\n" : "平均码率：%.2f %s\n",
               kbitPerSecond(double(s.bytes) / s.seconds), kRateUnit);
}

}  // namespace mv
