#pragma once
// Every track of a file, and which video and audio track its series count.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "media/timed_units.h"
#include "media/video_coding.h"

namespace mv {

struct FileAnalysis;

// FileAnalysis::askedVideo / askedAudio: no track asked, the container's rules choose.
inline constexpr int kDefaultTrack = -2;

enum class TrackKind : uint8_t { Video, Audio, Subtitle, Other };
// "video", "audio", "subtitle", "other".
std::string_view trackKindName(TrackKind kind);

struct Track {
  TrackKind kind = TrackKind::Other;
  std::string codec;     // as the container names it: "avc1", "A_AC3", "0x1B", "WMV2"
  std::string language;  // as written (ISO 639), empty when none
  std::string name;      // the container's title of the track, empty when none
  uint64_t id = 0;       // the container's own: track number, PID, stream id, stream number
  uint32_t program = 0;  // MPEG-TS: the program number of the PMT that lists it; 0 elsewhere
  // Video: the picture size and the declared frame rate × 1000 (0 unknown or undeclared).
  int32_t frameWidth = 0, frameHeight = 0, frameRateMilli = 0;
  codec::TrackCoding coding;  // video: what the frame list's picture types need
  // Every unit of the track. While the track is a chosen one its units are
  // FileAnalysis::videoUnits / audioUnits and these are empty.
  TrackUnits units;
  uint64_t unitCount = 0;  // of all units, kept when the units move
  uint64_t bytes = 0;
  // AVI: the stream header's rate and scale and the main header's play time in microseconds,
  // which its series follow.
  uint32_t rate = 0, scale = 0;
  uint64_t playMicroseconds = 0;
};

// Makes tracks[video] and tracks[audio] (-1: none of that kind) the chosen ones: their units
// become videoUnits and audioUnits, the previously chosen ones go back to their tracks, and the
// video track's frame facts and coding become the file's. False, with nothing changed, when an
// index is out of range or names a track of the other kind. The series are the caller's.
bool swapChosenTracks(FileAnalysis& analysis, int video, int audio);

// Sets the track's unitCount and bytes from the units it holds.
void countTrackUnits(Track& track);

// `asked` where it names a track of `kind` or none (-1), else `fallback`: how a walk that cuts
// the chosen video's pictures takes the tracks a re-read is asked for.
int askedOr(const std::vector<Track>& tracks, int asked, int fallback, TrackKind kind);

// The units of tracks[index]: its own, or videoUnits / audioUnits while it is a chosen one.
const TrackUnits& unitsOfTrack(const FileAnalysis& analysis, size_t index);

// However many tracks a file lists, their seconds together take at most this many values.
inline constexpr size_t kTrackSecondsCells = size_t(1) << 24;

// Bytes by second of every track of analysis.tracks, in their order, as the series count the
// chosen ones (fillTimedSeries) but from one origin for all: the earliest time stamp of every
// listed track. Fails as fillTimedSeries does, and with OutOfMemory beyond kTrackSecondsCells.
LoadResult trackSeconds(const FileAnalysis& analysis, TimedSeconds& out);

}  // namespace mv
