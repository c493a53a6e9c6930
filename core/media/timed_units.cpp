#include "media/timed_units.h"

#include <new>

#include "media/file_analysis.h"

namespace mv {
namespace {

__extension__ typedef unsigned __int128 UInt128;

// A time stamp as whole seconds and a fraction frac / den, 0 <= frac < den.
struct Instant {
  Int128 whole = 0;
  uint64_t frac = 0;
  uint64_t den = 1;
};

bool instantOf(const UnitClock& c, int64_t ticks, Instant& out) {
  if (c.den == 0) return false;
  Int128 v = 0;
  if (__builtin_mul_overflow(Int128(ticks), c.mul, &v) || __builtin_add_overflow(v, c.add, &v)) return false;
  const Int128 den = Int128(c.den);
  Int128 q = v / den, r = v % den;
  if (r < 0) {
    --q;
    r += den;
  }
  out = {q, uint64_t(r), c.den};
  return true;
}

// a < b, exactly.
bool before(const Instant& a, const Instant& b) {
  if (a.whole != b.whole) return a.whole < b.whole;
  return UInt128(a.frac) * b.den < UInt128(b.frac) * a.den;
}

// floor(a − origin), a >= origin.
Int128 secondsSince(const Instant& a, const Instant& origin) {
  return a.whole - origin.whole - (before(Instant{0, a.frac, a.den}, Instant{0, origin.frac, origin.den}) ? 1 : 0);
}

}  // namespace

LoadResult fillTimedSeries(const TrackUnits& video, const TrackUnits& audio, FileAnalysis& out) {
  out.videoSeries.reset();
  out.audioSeries.reset();
  const TrackUnits* tracks[2] = {&video, &audio};
  Instant origin;
  bool any = false;
  for (const TrackUnits* t : tracks) {
    for (const TimedUnit& u : t->units) {
      Instant at;
      if (!instantOf(t->clock, u.ticks, at)) return LoadResult::fail(LoadFailure::Damaged);
      if (!any || before(at, origin)) origin = at;
      any = true;
    }
  }
  Int128 last = -1;
  for (const TrackUnits* t : tracks) {
    for (const TimedUnit& u : t->units) {
      Instant at;
      instantOf(t->clock, u.ticks, at);
      const Int128 s = secondsSince(at, origin);
      if (s > last) last = s;
    }
  }
  if (last + 1 > Int128(kMaxDurationSeconds)) return LoadResult::fail(LoadFailure::Damaged);
  const uint32_t duration = uint32_t(last + 1);
  try {
    out.videoSeries = std::make_unique<PerSecondSeries>(duration + uint32_t(kFirstSecond));
    out.audioSeries = std::make_unique<PerSecondSeries>(duration + uint32_t(kFirstSecond));
  } catch (const std::bad_alloc&) {
    out.videoSeries.reset();
    out.audioSeries.reset();
    return LoadResult::fail(LoadFailure::OutOfMemory);
  }
  PerSecondSeries* series[2] = {out.videoSeries.get(), out.audioSeries.get()};
  for (int i = 0; i < 2; ++i) {
    for (const TimedUnit& u : tracks[i]->units) {
      Instant at;
      instantOf(tracks[i]->clock, u.ticks, at);
      (*series[i])[kFirstSecond + size_t(secondsSince(at, origin))] += u.bytes;  // wraps like AVI
    }
  }
  out.durationSeconds = int32_t(duration);
  return LoadResult::success();
}

int32_t measuredFrameRateMilli(const TrackUnits& video) {
  const auto& u = video.units;
  if (u.size() < 2) return 0;
  // (n − 1) × 1000 / ((last − first) × mul / den)
  Int128 span = 0, num = 0;
  if (__builtin_mul_overflow(Int128(u.back().ticks) - Int128(u.front().ticks), video.clock.mul, &span) || span <= 0)
    return 0;
  if (__builtin_mul_overflow(Int128(u.size() - 1) * 1000, Int128(video.clock.den), &num)) return 0;
  const Int128 rate = num / span;
  return rate > Int128(INT32_MAX) ? INT32_MAX : int32_t(rate);
}

}  // namespace mv
