#include "media/timed_units.h"

#include <algorithm>
#include <climits>
#include <new>
#include <span>

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

// The clock in 64-bit arithmetic where it fits (nearly always); 128-bit division is the slow part
// of a series of a million units.
struct FastClock {
  explicit FastClock(const UnitClock& c)
      : clock(c),
        narrow(c.mul >= INT64_MIN && c.mul <= INT64_MAX && c.add >= INT64_MIN && c.add <= INT64_MAX &&
               c.den <= uint64_t(INT64_MAX)),
        mul(narrow ? int64_t(c.mul) : 0),
        add(narrow ? int64_t(c.add) : 0),
        den(int64_t(c.den)) {}
  const UnitClock& clock;
  bool narrow;
  int64_t mul, add, den;
};

bool instantOf(const FastClock& f, int64_t ticks, Instant& out) {
  if (f.clock.den == 0) return false;
  int64_t v64 = 0;
  if (f.narrow && !__builtin_mul_overflow(ticks, f.mul, &v64) && !__builtin_add_overflow(v64, f.add, &v64)) {
    int64_t q = v64 / f.den, r = v64 % f.den;
    if (r < 0) {
      --q;
      r += f.den;
    }
    out = {q, uint64_t(r), f.clock.den};
    return true;
  }
  Int128 v = 0;
  if (__builtin_mul_overflow(Int128(ticks), f.clock.mul, &v) || __builtin_add_overflow(v, f.clock.add, &v))
    return false;
  const Int128 den = Int128(f.clock.den);
  Int128 q = v / den, r = v % den;
  if (r < 0) {
    --q;
    r += den;
  }
  out = {q, uint64_t(r), f.clock.den};
  return true;
}

// a < b, exactly.
bool before(const Instant& a, const Instant& b) {
  if (a.whole != b.whole) return a.whole < b.whole;
  return UInt128(a.frac) * b.den < UInt128(b.frac) * a.den;
}

// floor(a − origin), a >= origin.
Int128 secondsSince(const Instant& a, const Instant& origin) {
  return a.whole - origin.whole - (UInt128(a.frac) * origin.den < UInt128(origin.frac) * a.den ? 1 : 0);
}

// floor(t − origin) of the time stamps of one clock, none before the origin. On a 64-bit clock
// the time on the clock's scale is compared with the second found last, so that units in time
// order (nearly all) take no division.
class SecondCounter {
 public:
  SecondCounter(const FastClock& clock, const Instant& origin) : clock_(clock), origin_(origin) {
    // With C = ceil(origin × den): floor(v / den − origin) = floor((v − C) / den) for whole v.
    if (!clock.narrow || clock.den <= 0) return;
    Int128 c = 0;
    if (__builtin_mul_overflow(origin.whole, Int128(clock.den), &c)) return;
    c += Int128((UInt128(origin.frac) * uint64_t(clock.den) + origin.den - 1) / origin.den);
    if (c < INT64_MIN || c > INT64_MAX) return;
    ceil_ = int64_t(c);
    fast_ = true;
  }

  Int128 secondOf(int64_t ticks) {
    int64_t v = 0;
    if (fast_ && !__builtin_mul_overflow(ticks, clock_.mul, &v) &&
        !__builtin_add_overflow(v, clock_.add, &v)) {
      const uint64_t d = uint64_t(v) - uint64_t(ceil_);  // v >= C: exact
      if (d - low_ >= uint64_t(clock_.den)) {
        second_ = d / uint64_t(clock_.den);
        low_ = second_ * uint64_t(clock_.den);
      }
      return Int128(second_);
    }
    Instant at;
    instantOf(clock_, ticks, at);
    return secondsSince(at, origin_);
  }

 private:
  const FastClock& clock_;
  const Instant& origin_;
  bool fast_ = false;
  int64_t ceil_ = 0;
  uint64_t second_ = 0, low_ = 0;  // the second found last and its first tick past C
};

}  // namespace

void addToRun(std::vector<UnitRun>& runs, int64_t ticks, uint32_t bytes) {
  if (!runs.empty()) {
    UnitRun& r = runs.back();
    if (r.bytes == bytes && ticks >= r.ticks) {
      const uint64_t gap = uint64_t(ticks) - uint64_t(r.ticks);
      if (r.count == 1 && gap <= UINT32_MAX) {
        r.delta = uint32_t(gap);
        r.count = 2;
        return;
      }
      if (r.delta != 0 && gap % r.delta == 0 && gap / r.delta == r.count) {
        ++r.count;
        return;
      }
    }
  }
  runs.push_back(UnitRun{ticks, 0, bytes, 1});
}

namespace {

enum class StepKind { Normal, Back, On };

// A step's length against 10 s and 1 s, on a clock of any direction and scale.
StepKind kindOf(Int128 step, const UnitClock& clock) {
  Int128 scaled = 0;
  if (__builtin_mul_overflow(step, clock.mul, &scaled))
    return (step < 0) != (clock.mul < 0) ? StepKind::Back : StepKind::On;
  const Int128 second = Int128(clock.den);
  return scaled > 10 * second ? StepKind::On : scaled < -second ? StepKind::Back : StepKind::Normal;
}

int64_t moved(int64_t t, int64_t shift) {
  int64_t out = 0;
  return __builtin_add_overflow(t, shift, &out) ? t : out;
}

}  // namespace

bool StampJumps::isJump(int64_t from, int64_t to, const UnitClock& clock) {
  return kindOf(Int128(to) - from, clock) != StepKind::Normal;
}

int64_t StampJumps::normalStep() const {
  int64_t best = unitTicks;
  const Tally* bestTally = nullptr;
  for (const auto& [step, t] : steps_)
    if (!bestTally || t.seen > bestTally->seen || (t.seen == bestTally->seen && t.first < bestTally->first)) {
      best = step;
      bestTally = &t;
    }
  return best;
}

void StampJumps::tally(int64_t step) {
  if (const auto it = steps_.find(step); it != steps_.end()) {
    ++it->second.seen;
  } else if (steps_.size() < kSteps) {
    steps_.emplace(step, Tally{1, steps_.size()});
  }
}

void StampJumps::shiftFrom(uint64_t from, int64_t by) {
  const auto it = std::upper_bound(shifts.begin(), shifts.end(), from,
                                   [](uint64_t f, const Shift& s) { return f < s.from; });
  shifts.insert(it, Shift{from, by});
}

void StampJoin::attach(int side, StampJumps& jumps, UnitVector& units, StampBounds& bounds) {
  sides_[side] = {&jumps, &units, &bounds};
}

Int128 StampJoin::apart(int64_t a, int64_t b, int64_t wrap) {
  Int128 d = Int128(a) - b;
  if (wrap > 0) {
    d %= wrap;
    if (d < 0) d += wrap;
    if (d >= wrap / 2) d -= wrap;
  }
  return d;
}

void StampJoin::settle(Side& s, bool jump) {
  StampJumps& j = *s.jumps;
  j.pending_ = false;
  UnitVector& units = *s.units;
  if (jump && j.pendingIndex_ < units.size()) {
    const Int128 delta = Int128(j.pendingBefore_) + j.normalStep() - units[j.pendingIndex_].ticks;
    Int128 shift = Int128(j.shift_) + delta;
    bool fits = shift >= INT64_MIN && shift <= INT64_MAX;
    for (size_t i = j.pendingIndex_; fits && i < units.size(); ++i)
      fits = Int128(units[i].ticks) + delta >= INT64_MIN && Int128(units[i].ticks) + delta <= INT64_MAX;
    if (fits) {
      for (size_t i = j.pendingIndex_; i < units.size(); ++i) units[i].ticks += int64_t(delta);
      j.shift_ = int64_t(shift);
      j.placed_ += int64_t(delta);
      j.shiftFrom(j.pendingIndex_, int64_t(delta));
      ++j.count;
      if (j.at.size() < StampJumps::kListed) j.at.push_back(units[j.pendingIndex_].ticks);
    } else {
      jump = false;
    }
  }
  if (!jump) j.tally(j.pendingStep_);
  // The units after the step were held from the bounds until they lay where they stay.
  for (size_t i = j.pendingIndex_; i < units.size(); ++i) s.bounds->note(units[i].ticks, j.pendingAt_);
}

int64_t StampJoin::place(Side& self, Side* other, int64_t ticks, uint64_t at, const UnitClock& clock,
                         int64_t wrap) {
  StampJumps& j = *self.jumps;
  StampJumps* o = other ? other->jumps : nullptr;
  const uint64_t index = self.units->size();
  // Whether `a`, as placed, lies within 1 s of `b`; past it by more than 1 s.
  const auto near = [&](int64_t a, int64_t b) {
    return kindOf(apart(a, b, wrap), clock) == StepKind::Normal &&
           kindOf(apart(b, a, wrap), clock) == StepKind::Normal;
  };
  const auto past = [&](int64_t a, int64_t b) {
    Int128 scaled = 0;
    return !__builtin_mul_overflow(apart(a, b, wrap), clock.mul, &scaled) && scaled > Int128(clock.den);
  };
  const auto jumpHere = [&] {
    const Int128 shift = Int128(j.placed_) + j.normalStep() - ticks;
    if (shift < INT64_MIN || shift > INT64_MAX) return;
    j.shiftFrom(index, int64_t(shift) - j.shift_);
    j.shift_ = int64_t(shift);
    ++j.count;
    if (j.at.size() < StampJumps::kListed) j.at.push_back(moved(ticks, j.shift_));
  };
  if (j.any_) {
    const Int128 step = Int128(ticks) - j.last_;
    switch (kindOf(step, clock)) {
      case StepKind::Back:
        jumpHere();
        break;
      case StepKind::On:
        if (j.pending_) settle(self, false);
        if (o && o->pending_ && near(o->pendingBefore_, j.placed_)) {
          // Both tracks step on from the same moment: the recording's clock restarted.
          settle(*other, true);
          jumpHere();
        } else if (o) {
          j.pending_ = true;
          j.pendingIndex_ = index;
          j.pendingAt_ = at;
          j.pendingBefore_ = j.placed_;
          j.pendingStep_ = step > INT64_MAX ? INT64_MAX : int64_t(step);
        } else if (step <= INT64_MAX) {
          j.tally(int64_t(step));
        }
        break;
      case StepKind::Normal:
        if (step * clock.mul > 0) j.tally(int64_t(step));  // no overflow: kindOf tried it
        break;
    }
  }
  j.any_ = true;
  j.last_ = ticks;
  j.placed_ = moved(ticks, j.shift_);
  if (o) {
    // Where each track stands: a track whose step waits, at the unit before it.
    const int64_t here = j.pending_ ? j.pendingBefore_ : j.placed_;
    if (o->pending_ && past(here, o->pendingBefore_)) settle(*other, false);
    if (j.pending_ && o->any_ && !o->pending_ && past(o->placed_, j.pendingBefore_)) settle(self, false);
  }
  return j.placed_;
}

void StampJoin::add(int side, TimedUnit unit, uint64_t at) {
  Side& self = sides_[side];
  Side* other = sides_[1 - side].jumps ? &sides_[1 - side] : nullptr;
  unit.ticks = place(self, other, unit.ticks, at, clock_, wrap_);
  self.units->push_back(unit);
  if (!self.jumps->pending_) self.bounds->note(unit.ticks, at);
}

void StampJoin::addAlone(StampJumps& jumps, UnitVector& units, StampBounds& bounds, TimedUnit unit,
                         uint64_t at, const UnitClock& clock) {
  Side self{&jumps, &units, &bounds};
  unit.ticks = place(self, nullptr, unit.ticks, at, clock, 0);
  units.push_back(unit);
  bounds.note(unit.ticks, at);
}

void StampJoin::detach(int side) {
  Side& s = sides_[side];
  if (s.jumps && s.jumps->pending_) settle(s, false);
  s = Side();
}

void StampJoin::finish() {
  for (Side& s : sides_) {
    if (s.jumps && s.jumps->pending_) settle(s, false);
    s = Side();
  }
}

uint64_t TrackUnits::unitCount() const {
  uint64_t n = units.size() + numbered.size();
  for (const UnitRun& r : runs) n += r.count;
  return n;
}

namespace {

// The time stamp of unit k of a run; false when it does not fit the clock.
bool runTicks(const UnitRun& r, uint64_t k, int64_t& out) {
  const Int128 t = Int128(r.ticks) + Int128(k) * r.delta;
  if (t > INT64_MAX) return false;
  out = int64_t(t);
  return true;
}

}  // namespace

namespace {

// Where the file gives a play time the series cannot take: the latest time stamp of the tracks,
// or one the clock arithmetic cannot take.
LoadResult tooLong(std::span<const TrackUnits* const> tracks) {
  uint64_t at = LoadResult::kNoPosition;
  Instant latest;
  bool any = false;
  for (const TrackUnits* t : tracks) {
    if (!t->stamps.any) continue;
    const FastClock clock(t->clock);
    Instant low, high;
    if (!instantOf(clock, t->stamps.low, low)) return LoadResult::fail(LoadFailure::Damaged, t->stamps.lowAt);
    if (!instantOf(clock, t->stamps.high, high))
      return LoadResult::fail(LoadFailure::Damaged, t->stamps.highAt);
    // A clock may run backwards: the later end is the one that passes.
    const bool lowIsLater = before(high, low);
    const Instant& end = lowIsLater ? low : high;
    if (!any || before(latest, end)) latest = end, at = lowIsLater ? t->stamps.lowAt : t->stamps.highAt;
    any = true;
  }
  return LoadResult::fail(LoadFailure::Damaged, at);
}

}  // namespace

LoadResult countTimedSeconds(std::span<const TrackUnits* const> tracks, TimedSeconds& out, size_t maxCells) {
  out = TimedSeconds();
  Instant origin;
  bool any = false;
  for (const TrackUnits* t : tracks) {
    const FastClock clock(t->clock);
    // The clock is linear in the ticks: the earliest unit, and any the arithmetic cannot take,
    // lie at the ends of the units' span.
    if (!t->units.empty()) {
      int64_t low = INT64_MAX, high = INT64_MIN;
      for (const TimedUnit& u : t->units) {
        low = std::min(low, u.ticks);
        high = std::max(high, u.ticks);
      }
      Instant at[2];
      if (!instantOf(clock, low, at[0]) || !instantOf(clock, high, at[1])) return tooLong(tracks);
      for (const Instant& a : at) {
        if (!any || before(a, origin)) origin = a;
        any = true;
      }
    }
    // A run's earliest unit is one of its ends, whichever way the clock runs; so are the
    // numbered units'.
    if (!t->numbered.empty()) {
      Instant at[2];
      if (!instantOf(clock, 0, at[0]) || !instantOf(clock, int64_t(t->numbered.size() - 1), at[1]))
        return tooLong(tracks);
      for (const Instant& a : at) {
        if (!any || before(a, origin)) origin = a;
        any = true;
      }
    }
    for (const UnitRun& r : t->runs) {
      int64_t last = 0;
      Instant at[2];
      if (r.count == 0) continue;
      if (!runTicks(r, r.count - 1, last) || !instantOf(clock, r.ticks, at[0]) ||
          !instantOf(clock, last, at[1]))
        return tooLong(tracks);
      for (const Instant& a : at) {
        if (!any || before(a, origin)) origin = a;
        any = true;
      }
    }
  }
  // Bytes by second, grown as the seconds appear.
  size_t duration = 0;  // 1 + the last second holding a unit
  size_t cells = 0;
  try {
    out.bytes.resize(tracks.size());
    for (size_t i = 0; i < tracks.size(); ++i) {
      const FastClock clock(tracks[i]->clock);
      SecondCounter counter(clock, origin);
      std::vector<uint32_t>& b = out.bytes[i];
      bool overBudget = false;
      const auto grow = [&](size_t second) {
        const size_t size = std::max(second + 1, 2 * b.size());
        if (size - b.size() > maxCells - cells) {
          overBudget = true;
          return false;
        }
        cells += size - b.size();
        b.resize(size, 0);
        return true;
      };
      const auto add = [&](int64_t ticks, uint32_t unitBytes) {
        const Int128 s = counter.secondOf(ticks);
        if (s >= Int128(kMaxDurationSeconds)) return false;
        const size_t second = size_t(s);
        if (second >= b.size() && !grow(second)) return false;
        b[second] += unitBytes;  // wraps like AVI
        duration = std::max(duration, second + 1);
        return true;
      };
      const auto failed = [&] {
        out = TimedSeconds();
        return overBudget ? LoadResult::fail(LoadFailure::OutOfMemory) : tooLong(tracks);
      };
      for (const TimedUnit& u : tracks[i]->units)
        if (!add(u.ticks, u.bytes)) return failed();
      for (size_t k = 0; k < tracks[i]->numbered.size(); ++k)
        if (!add(int64_t(k), tracks[i]->numbered[k] & ~kNumberedKey)) return failed();
      // A run goes second by second: the units of each second are found by halving.
      for (const UnitRun& r : tracks[i]->runs) {
        const auto secondOf = [&](uint64_t k) {
          int64_t ticks = 0;
          Instant at;
          runTicks(r, k, ticks);
          instantOf(clock, ticks, at);
          return secondsSince(at, origin);
        };
        for (uint64_t k = 0; k < r.count;) {
          const Int128 s = secondOf(k);
          if (s >= Int128(kMaxDurationSeconds)) return failed();
          uint64_t low = k + 1, high = r.count;  // the first unit of a later second lies in [low, high]
          while (low < high) {
            const uint64_t mid = low + (high - low) / 2;
            if (secondOf(mid) == s)
              low = mid + 1;
            else
              high = mid;
          }
          const size_t second = size_t(s);
          if (second >= b.size() && !grow(second)) return failed();
          b[second] += uint32_t((low - k) * r.bytes);  // wraps like adding them one by one
          duration = std::max(duration, second + 1);
          k = low;
        }
      }
    }
  } catch (const std::bad_alloc&) {
    out = TimedSeconds();
    return LoadResult::fail(LoadFailure::OutOfMemory);
  }
  for (std::vector<uint32_t>& b : out.bytes)
    if (b.size() > duration) b.resize(duration);
  out.seconds = duration;
  out.originSeconds = double(origin.whole) + double(origin.frac) / double(origin.den);
  return LoadResult::success();
}

namespace {

// The chosen tracks' jumps into `out`, as seconds of its series, and the note with them. A join
// makes both tracks jump within a moment of each other: jumps less than a second apart are one
// place, and the count is that of the places (or of the track that jumped most, when the tracks
// jumped more often than listed).
void takeJumps(std::span<const TrackUnits* const> tracks, FileAnalysis& out) {
  out.jumpCount = 0;
  out.jumpSeconds.clear();
  std::vector<double> all;
  for (const TrackUnits* t : tracks) {
    out.jumpCount = std::max(out.jumpCount, t->jumps.count);
    const FastClock clock(t->clock);
    for (int64_t ticks : t->jumps.at) {
      Instant at;
      if (instantOf(clock, ticks, at))
        all.push_back(double(at.whole) + double(at.frac) / double(at.den) - out.unitOriginSeconds);
    }
  }
  std::sort(all.begin(), all.end());
  for (double s : all)
    if (out.jumpSeconds.empty() || s - out.jumpSeconds.back() >= 1.0) out.jumpSeconds.push_back(s);
  out.jumpCount = std::max<uint64_t>(out.jumpCount, out.jumpSeconds.size());
  if (out.jumpSeconds.size() > StampJumps::kListed) out.jumpSeconds.resize(StampJumps::kListed);
  std::vector<std::string>& notes = out.notes;
  const auto it = std::lower_bound(notes.begin(), notes.end(), kNoteTimestampsDiscontinuous);
  const bool noted = it != notes.end() && *it == kNoteTimestampsDiscontinuous;
  if (out.jumpCount > 0 && !noted) notes.insert(it, kNoteTimestampsDiscontinuous);
  if (out.jumpCount == 0 && noted) notes.erase(it);
}

}  // namespace

LoadResult fillTimedSeries(const TrackUnits& video, const TrackUnits& audio, FileAnalysis& out) {
  out.videoSeries.reset();
  out.audioSeries.reset();
  const TrackUnits* tracks[2] = {&video, &audio};
  TimedSeconds counted;
  if (const LoadResult r = countTimedSeconds(tracks, counted); !r.ok()) return r;
  const size_t duration = counted.seconds;
  try {
    out.videoSeries = std::make_unique<PerSecondSeries>(uint32_t(duration + kFirstSecond));
    out.audioSeries = std::make_unique<PerSecondSeries>(uint32_t(duration + kFirstSecond));
  } catch (const std::bad_alloc&) {
    out.videoSeries.reset();
    out.audioSeries.reset();
    return LoadResult::fail(LoadFailure::OutOfMemory);
  }
  PerSecondSeries* series[2] = {out.videoSeries.get(), out.audioSeries.get()};
  for (int i = 0; i < 2; ++i) {
    const std::vector<uint32_t>& bytes = counted.bytes[size_t(i)];
    for (size_t second = 0; second < bytes.size(); ++second)
      (*series[i])[kFirstSecond + second] = bytes[second];
  }
  out.durationSeconds = int32_t(duration);
  out.unitOriginSeconds = counted.originSeconds;
  takeJumps(tracks, out);
  return LoadResult::success();
}

int32_t measuredFrameRateMilli(const TrackUnits& video) {
  const auto& u = video.units;
  if (u.size() < 2) return 0;
  // (n − 1) × 1000 / ((last − first) × mul / den)
  Int128 span = 0, num = 0;
  if (__builtin_mul_overflow(Int128(u.back().ticks) - Int128(u.front().ticks), video.clock.mul, &span) ||
      span <= 0)
    return 0;
  if (__builtin_mul_overflow(Int128(u.size() - 1) * 1000, Int128(video.clock.den), &num)) return 0;
  const Int128 rate = num / span;
  return rate > Int128(INT32_MAX) ? INT32_MAX : int32_t(rate);
}

}  // namespace mv
