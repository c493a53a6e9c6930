#pragma once
// The 90 kHz time stamps of MPEG transport and program streams: 33 bits that wrap every 26.5
// hours, read from PES headers and unwrapped into one line per track.
#include <cstddef>
#include <cstdint>

#include "media/timed_units.h"

namespace mv {

struct FileAnalysis;

// The clock of their units.
inline constexpr UnitClock kMpegClock{1, 0, 90000};

// The 33-bit value nearest to `previous`.
int64_t unwrapStamp(int64_t previous, uint64_t raw);

// The 33-bit stamp in the five bytes at `p` (marker bits and the 4-bit prefix skipped).
uint64_t stampAt(const uint8_t* p);

// The DTS, else the PTS, of an MPEG-2 PES header: `p` is at its '10' flags byte, `n` bytes
// are at hand from there. False when it has neither within those bytes.
bool mpeg2PesStamp(const uint8_t* p, size_t n, uint64_t& raw);

// A track's stamps as they come: each one unwrapped against the one before.
struct StampLine {
  bool any = false;
  int64_t last = 0;

  void take(uint64_t raw) {
    last = any ? unwrapStamp(last, raw) : int64_t(raw);
    any = true;
  }
};

// Both tracks on one line: the audio's stamps moved by whole wraps so that its first lies within
// 2^32 ticks of the video's first.
void putOnOneClock(const TrackUnits& video, TrackUnits& audio);

// Container::fillChosenSeries of MPEG-TS and PS: the series of the chosen pair on one clock as
// a walk that chose them puts it. A stream two TS programs list keeps its units in one of its
// tracks (the other's units are not present): the chosen one takes them over.
LoadResult fillMpegChosenSeries(FileAnalysis& analysis);

}  // namespace mv
