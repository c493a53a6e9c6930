#pragma once
// The pictures of a video track carried in PES packets (MPEG-TS, MPEG-PS). The payloads, in
// order, are one elementary stream cut into access units; a picture takes the time stamp of the
// PES packet it is the first to start in, else the time of the picture before plus its duration.
// The PES stamps are placed where the track's PES units were placed by its jumps (StampJumps).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "codec/picture.h"
#include "media/file_analysis.h"
#include "media/reader.h"
#include "media/timed_units.h"

namespace mv::codec {

class PesPictures {
 public:
  // `rateOnly`: opening a file, when no frame list asks for pictures; the stream is read only
  // until its declared frame rate is known, and its PES packets stay the units.
  PesPictures(Codec codec, bool rateOnly) : cutter_(UnitCutter::make(codec)), rateOnly_(rateOnly) {}
  // False for a codec not cut by start codes: its PES packets stay the units.
  bool cuts() const { return cutter_ != nullptr; }
  // Nothing more is wanted of the stream (a rate-only look that found the rate).
  bool done() const { return rateOnly_ && rateKnown_; }
  // A PES packet's payload follows; `ticks` its unwrapped 90 kHz time stamp when `stamped`, as
  // read; `unit` the index its PES unit gets among the track's counted ones.
  void beginPes(bool stamped, int64_t ticks, uint64_t unit);
  void payload(const uint8_t* p, size_t n);
  // The PES begun last is no unit (the end of the file cut it): the stream ends where its
  // payload began, as the series do.
  void dropLastPes() { end_ = lastPes_; }

  // The frame rate × 1000 the stream's headers declare so far; 0 when none.
  int32_t declaredRateMilli() const;
  // A frame's duration in 90 kHz ticks (rounded) by the declared rate; 0 when none.
  int64_t frameTicks() const;

  struct Result {
    bool any = false;          // a picture was found and timed
    bool rateAssumed = false;  // a picture was timed by 1/25 s for want of a declared rate
    int32_t frameRateMilli = 0;
  };
  // The end of the stream: the pictures into `out` (units and clock), in decode order, moved as
  // `track`, the PES units' jumps, moved their units.
  Result finish(TrackUnits& out, const StampJumps& track);

 private:
  struct Stamp {
    uint64_t start;  // elementary-stream offset of the PES payload
    uint64_t end;    // of the next PES payload
    int64_t ticks;
    uint64_t unit;
  };
  struct Picture {
    uint64_t start;
    int64_t ticks;
    uint64_t unit;  // of the stamp's PES
    bool stamped;
    uint8_t key, type, fields;
  };
  void take();

  std::unique_ptr<UnitCutter> cutter_;
  std::deque<Stamp> stamps_;  // of PES packets no picture has yet started in
  std::vector<AccessUnit> cut_;
  std::vector<Picture> pictures_;
  bool stamped_ = false;       // a stamped picture has been seen: those before it are left out
  uint64_t lastPes_ = 0;       // elementary-stream offset of the last PES payload begun
  uint64_t end_ = UINT64_MAX;  // of the stream, where a PES left out at the end began
  bool rateOnly_ = false;
  bool rateKnown_ = false;
};

// A walk's end: with pictures (present), the series are filled from the PES units in
// `out.videoUnits` and `out.audioUnits`, then the pictures become the video units with their
// rate; without, the PES packets stay the units, with the declared rate where there is one.
LoadResult takePictures(TrackUnits& pictures, int32_t frameRateMilli, bool rateAssumed, FileAnalysis& out,
                        WalkNotes& notes);

}  // namespace mv::codec
