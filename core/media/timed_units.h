#pragma once
// Per-second series of the containers whose units carry time stamps (every container but AVI
// and RealMedia): a unit's bytes go to the whole second of its time stamp, counted from the
// earliest time stamp of the two chosen tracks, in exact arithmetic.
#include <cstddef>
#include <cstdint>
#include <span>
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
// live stream whose clock restarted), as they come in file order. A step of more than 10 s
// forward or more than 1 s back is a jump: the stamp after it is placed one normal step (the
// track's last forward step that was no jump) after the one before, and every later stamp moves
// with it.
struct StampJumps {
  static constexpr size_t kListed = 10;
  uint64_t count = 0;
  std::vector<int64_t> at;  // the first kListed jumps: where the stamp after each now lies

  // `ticks` as placed after the jumps so far, on `clock`.
  int64_t place(int64_t ticks, const UnitClock& clock);
  // Whether a step from one stamp to the next, as read, is a jump.
  static bool isJump(int64_t from, int64_t to, const UnitClock& clock);

 private:
  bool any_ = false;
  int64_t last_ = 0;   // the stamp before, as read
  int64_t step_ = 0;   // the last forward step that was no jump
  int64_t shift_ = 0;  // of every stamp from here on
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
  // The same, its time stamp placed after the track's jumps.
  void addClosingJumps(TimedUnit unit, uint64_t at) {
    unit.ticks = jumps.place(unit.ticks, clock);
    add(unit, at);
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
