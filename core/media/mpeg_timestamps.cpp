#include "media/mpeg_timestamps.h"

#include <utility>

#include "media/file_analysis.h"

namespace mv {
namespace {

constexpr uint64_t kMask33 = (uint64_t(1) << 33) - 1;
constexpr int64_t kHalf33 = int64_t(1) << 32;

}  // namespace

int64_t unwrapStamp(int64_t previous, uint64_t raw) {
  int64_t d = int64_t((raw - uint64_t(previous)) & kMask33);
  if (d >= kHalf33) d -= int64_t(1) << 33;
  return previous + d;
}

uint64_t stampAt(const uint8_t* p) {
  return (uint64_t((p[0] >> 1) & 7) << 30) | (uint64_t(p[1]) << 22) | (uint64_t(p[2] >> 1) << 15) |
         (uint64_t(p[3]) << 7) | (p[4] >> 1);
}

bool mpeg2PesStamp(const uint8_t* p, size_t n, uint64_t& raw) {
  if (n < 3) return false;
  const unsigned flags = p[1] >> 6;
  const size_t length = p[2];
  if (flags == 3 && length >= 10 && n >= 3 + 10) {
    raw = stampAt(p + 3 + 5);
    return true;
  }
  if ((flags & 2) && length >= 5 && n >= 3 + 5) {
    raw = stampAt(p + 3);
    return true;
  }
  return false;
}

void putOnOneClock(const TrackUnits& video, TrackUnits& audio) {
  const UnitVector& v = video.units;
  UnitVector& a = audio.units;
  if (v.empty() || a.empty()) return;
  const int64_t shift = unwrapStamp(v.front().ticks, uint64_t(a.front().ticks)) - a.front().ticks;
  if (shift == 0) return;
  for (TimedUnit& u : a) u.ticks += shift;
  audio.stamps.low += shift;
  audio.stamps.high += shift;
  for (int64_t& t : audio.jumps.at) t += shift;
}

LoadResult fillMpegChosenSeries(FileAnalysis& a) {
  const auto adopt = [&](int chosen, TrackUnits& units) {
    if (chosen < 0 || units.present) return;
    const Track& t = a.tracks[size_t(chosen)];
    for (Track& twin : a.tracks)
      if (twin.units.present && twin.id == t.id && twin.kind == t.kind) {
        const bool keepPlaces = units.keepPlaces;
        units = std::exchange(twin.units, TrackUnits());
        units.keepPlaces = keepPlaces;
        return;
      }
  };
  adopt(a.videoTrack, a.videoUnits);
  adopt(a.audioTrack, a.audioUnits);
  if (a.videoTrack >= 0 && a.tracks[size_t(a.videoTrack)].frameRateMilli <= 0)
    a.frameRateMilli = measuredFrameRateMilli(a.videoUnits);
  putOnOneClock(a.videoUnits, a.audioUnits);
  return fillTimedSeries(a.videoUnits, a.audioUnits, a);
}

}  // namespace mv
