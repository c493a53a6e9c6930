#pragma once
// Per-second series of the containers whose units carry time stamps (every container but AVI
// and RealMedia): a unit's bytes go to the whole second of its time stamp, counted from the
// earliest time stamp of the two chosen tracks, in exact arithmetic.
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "media/load.h"
#include "platform/large_memory.h"

namespace mv {

struct FileAnalysis;

__extension__ typedef __int128 Int128;

// One unit (sample, block, packet, media object) of a track.
struct TimedUnit {
  int64_t ticks = 0;  // time stamp in the track's clock
  uint32_t bytes = 0;
  uint32_t key : 8 = 0;   // 1 when the unit starts a key frame
  uint32_t type : 8 = 0;  // 'I', 'P', 'B' where the walk read the picture's header (MPEG-TS/PS), else 0
  // RealMedia: the bytes of the first of the packets the unit joins; its series counts that
  // packet apart from the others.
  uint32_t lead : 16 = 0;
};
static_assert(sizeof(TimedUnit) == 16);

// Where a unit's data begins in the file: the picture's first byte as its codec's reader takes
// it, and how many bytes of the picture follow there without a container header between them.
struct UnitPlace {
  uint64_t at = 0;
  uint32_t contiguous = 0;
};

using UnitVector = std::vector<TimedUnit, LargeAllocator<TimedUnit>>;

// Units of one size at a steady spacing, kept as one: uncompressed audio in MP4 has a unit per
// sample, millions of them.
struct UnitRun {
  int64_t ticks = 0;   // the first unit's time stamp
  uint32_t delta = 0;  // ticks from one unit to the next
  uint32_t bytes = 0;  // of each unit
  uint64_t count = 0;
};

// A track's clock: seconds = (ticks × mul + add) / den, exact.
struct UnitClock {
  Int128 mul = 1;
  Int128 add = 0;
  uint64_t den = 1;  // never 0
};

// Where a track's earliest and latest time stamps were read (file positions): a play time too
// long is refused at the latest.
struct StampBounds {
  bool any = false;
  int64_t low = 0, high = 0;
  uint64_t lowAt = LoadResult::kNoPosition, highAt = LoadResult::kNoPosition;

  void note(int64_t ticks, uint64_t at) {
    if (!any || ticks < low) low = ticks, lowAt = at;
    if (!any || ticks > high) high = ticks, highAt = at;
    any = true;
  }
};

// A track's time stamps closed up where they jump (TS, PS, FLV: joined or spliced recordings, a
// live stream whose clock restarted), decided as the units come in file order. A step of more than
// 1 s back is a jump; one of more than 10 s on is a jump only where the other counted track steps
// on as far from within 1 s of the same time (the clock restarted), else a hole that stays. The
// stamp after a jump is placed one normal step (the most common forward step so far, else the
// unit's duration) after the last counted one, and every later stamp moves with it.
struct StampJumps {
  static constexpr size_t kListed = 10;
  uint64_t count = 0;
  std::vector<int64_t> at;  // the first kListed jumps: where the stamp after each now lies
  int64_t unitTicks = 0;    // a frame's or audio frame's duration, where the reader knows it
  // From unit `from` on (counted units, in order), stamps move by `by` more.
  struct Shift {
    uint64_t from;
    int64_t by;
  };
  std::vector<Shift> shifts;

  // Whether a step from one stamp to the next, as read, is long enough to be a jump.
  static bool isJump(int64_t from, int64_t to, const UnitClock& clock);
  // The normal step a jump closes to now.
  int64_t normalStep() const;

 private:
  friend class StampJoin;
  // Distinct forward steps counted; stamps with more (jitter) keep the first ones.
  static constexpr size_t kSteps = 4096;
  void tally(int64_t step);
  void shiftFrom(uint64_t from, int64_t by);

  bool any_ = false;
  int64_t last_ = 0;    // the last counted stamp, as read
  int64_t placed_ = 0;  // the same, as placed
  int64_t shift_ = 0;   // of every stamp from here on
  struct Tally {
    uint64_t seen;
    uint64_t first;  // the order it was first seen in: the earlier of two as common wins
  };
  std::unordered_map<int64_t, Tally> steps_;
  // A step on of more than 10 s waiting for the other track: from the unit `pendingIndex`.
  bool pending_ = false;
  uint64_t pendingIndex_ = 0, pendingAt_ = 0;
  int64_t pendingBefore_ = 0, pendingStep_ = 0;  // the unit before, as placed; the step, as read
};

// The counted tracks of one file, whose forward steps are decided together: each unit goes to
// its track's units and stamp bounds through add(). A track added alone (side -1, or with no
// partner) has holes where it steps on, jumps where it steps back.
class StampJoin {
 public:
  // `wrap`: where both tracks' stamps come from one wrapping counter (2^33 for MPEG), so that
  // their times are compared modulo it; 0 for none.
  StampJoin(const UnitClock& clock, int64_t wrap) : clock_(clock), wrap_(wrap) {}
  // Track `side` (0 or 1) keeps its units in `units` and `bounds`, decided by `jumps`. Pointers
  // held until finish().
  void attach(int side, StampJumps& jumps, UnitVector& units, StampBounds& bounds);
  bool attached(int side) const { return sides_[side].jumps != nullptr; }
  // The track of `side` goes on alone (its waiting step a hole).
  void detach(int side);
  // Adds a counted unit read as `unit.ticks` at file position `at`, placed after the jumps.
  void add(int side, TimedUnit unit, uint64_t at);
  // The same for a track that is not counted with another.
  static void addAlone(StampJumps& jumps, UnitVector& units, StampBounds& bounds, TimedUnit unit, uint64_t at,
                       const UnitClock& clock);
  // The end of the file: steps still waiting are holes.
  void finish();

 private:
  struct Side {
    StampJumps* jumps = nullptr;
    UnitVector* units = nullptr;
    StampBounds* bounds = nullptr;
  };
  // Places `ticks` of the track; `other` null when alone.
  static int64_t place(Side& self, Side* other, int64_t ticks, uint64_t at, const UnitClock& clock,
                       int64_t wrap);
  // The waiting step of `s` becomes a jump (or, `jump` false, a hole).
  static void settle(Side& s, bool jump);
  static Int128 apart(int64_t a, int64_t b, int64_t wrap);

  UnitClock clock_;
  int64_t wrap_;
  Side sides_[2];
};

// A numbered unit: its bytes in the low 31 bits, this bit set when it starts a key frame.
inline constexpr uint32_t kNumberedKey = 0x80000000u;

struct TrackUnits {
  bool present = false;  // the file has such a track (it may still hold no unit)
  UnitClock clock;
  UnitVector units;
  std::vector<UnitRun> runs;  // units kept as runs, besides those above (every one a key unit)
  // Units at ticks 0, 1, 2, ... in a quarter of the room (AVI's frames, counted by their entry
  // number), besides those above.
  std::vector<uint32_t> numbered;
  StampBounds stamps;  // of the units and runs
  StampJumps jumps;    // closed up in `units` (TS, PS, FLV)
  // With keepPlaces (a frame list asking for picture types), where each unit's data begins in
  // the file, one entry a unit in the order of `units` (or of `numbered`).
  bool keepPlaces = false;
  std::vector<UnitPlace> places;

  uint64_t unitCount() const;
  // Keeps a unit whose time stamp was read at `at`.
  void add(const TimedUnit& unit, uint64_t at) {
    units.push_back(unit);
    stamps.note(unit.ticks, at);
  }
};

// However short a file, a track may hold this many units.
inline constexpr uint64_t kUnitFloor = 4096;

// The units one track of a file of `fileLength` bytes may hold when none takes fewer than
// `smallestUnit` bytes of the file (its data, or the entry that declares it). A container whose
// counts declare units for nothing must refuse the file beyond this: at 16 bytes a unit kept, the
// memory would follow the count, not the file.
inline uint64_t unitLimit(uint64_t fileLength, uint64_t smallestUnit) {
  const uint64_t byFile = fileLength / smallestUnit;
  return byFile > kUnitFloor ? byFile : kUnitFloor;
}

// Adds one unit, to the last run when it continues it evenly, else as a new run.
void addToRun(std::vector<UnitRun>& runs, int64_t ticks, uint32_t bytes);

// Bytes by second of each of a number of tracks, counted from the earliest time stamp of them all.
struct TimedSeconds {
  std::vector<std::vector<uint32_t>> bytes;  // by track; shorter than `seconds` where a track ends early
  size_t seconds = 0;                        // 1 + the last second holding a unit of any track
  double originSeconds = 0;                  // the earliest time stamp, on its clock
};

// The rule of fillTimedSeries for any number of tracks. Damaged as there; OutOfMemory when the
// seconds of all tracks together would take more than `maxCells` values.
LoadResult countTimedSeconds(std::span<const TrackUnits* const> tracks, TimedSeconds& out,
                             size_t maxCells = SIZE_MAX);

// Sets the video and audio series and durationSeconds of `out` from the chosen tracks: second
// s = floor(t − the earliest time stamp of both tracks), durationSeconds = 1 + the largest s
// (0 without units); and the tracks' jumps, with the note timestamps-discontinuous when any. Damaged when the
// time stamps span more than kMaxDurationSeconds or overflow the clock arithmetic, at the latest time stamp's
// position; OutOfMemory when a series cannot be allocated.
LoadResult fillTimedSeries(const TrackUnits& video, const TrackUnits& audio, FileAnalysis& out);

// (units − 1) / (last − first time stamp) × 1000, truncated: the frame rate of a track whose
// container declares none. 0 with fewer than two units or no time between them.
int32_t measuredFrameRateMilli(const TrackUnits& video);

}  // namespace mv
