#include "media/tracks.h"

#include <utility>
#include <vector>

#include "media/file_analysis.h"
#include "media/unit_summary.h"

namespace mv {

std::string_view trackKindName(TrackKind kind) {
  switch (kind) {
    case TrackKind::Video:
      return "video";
    case TrackKind::Audio:
      return "audio";
    case TrackKind::Subtitle:
      return "subtitle";
    case TrackKind::Other:
      break;
  }
  return "other";
}

int askedOr(const std::vector<Track>& tracks, int asked, int fallback, TrackKind kind) {
  if (asked == -1 || (asked >= 0 && size_t(asked) < tracks.size() && tracks[size_t(asked)].kind == kind))
    return asked;
  return fallback;
}

void countTrackUnits(Track& t) {
  const UnitSummary s = summarize(t.units);
  t.unitCount = s.units;
  t.bytes = s.bytes;
}

bool swapChosenTracks(FileAnalysis& a, int video, int audio) {
  const auto fits = [&](int index, TrackKind kind) {
    return index == -1 ||
           (index >= 0 && size_t(index) < a.tracks.size() && a.tracks[size_t(index)].kind == kind);
  };
  if (!fits(video, TrackKind::Video) || !fits(audio, TrackKind::Audio)) return false;
  const bool keepPlaces = a.videoUnits.keepPlaces;
  const auto change = [&](int& chosen, int next, TrackUnits& units) {
    if (chosen == next) return;
    if (chosen >= 0) std::swap(a.tracks[size_t(chosen)].units, units);
    units = TrackUnits();
    if (next >= 0) std::swap(a.tracks[size_t(next)].units, units);
    chosen = next;
  };
  change(a.videoTrack, video, a.videoUnits);
  change(a.audioTrack, audio, a.audioUnits);
  a.videoUnits.keepPlaces = keepPlaces;
  if (video >= 0) {
    const Track& t = a.tracks[size_t(video)];
    a.frameWidth = t.frameWidth;
    a.frameHeight = t.frameHeight;
    a.frameRateMilli = t.frameRateMilli > 0 ? t.frameRateMilli : measuredFrameRateMilli(a.videoUnits);
    a.videoCoding = t.coding;
  } else {
    a.frameWidth = a.frameHeight = a.frameRateMilli = 0;
    a.videoCoding = {};
  }
  return true;
}

const TrackUnits& unitsOfTrack(const FileAnalysis& a, size_t index) {
  if (int(index) == a.videoTrack) return a.videoUnits;
  if (int(index) == a.audioTrack) return a.audioUnits;
  return a.tracks[index].units;
}

LoadResult trackSeconds(const FileAnalysis& a, TimedSeconds& out) {
  std::vector<const TrackUnits*> units;
  units.reserve(a.tracks.size());
  for (size_t i = 0; i < a.tracks.size(); ++i) units.push_back(&unitsOfTrack(a, i));
  return countTimedSeconds(units, out, kTrackSecondsCells);
}

}  // namespace mv
