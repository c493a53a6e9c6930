#pragma once
// What a reader learns about one file: its per-second series and the few facts the reports show.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/per_second_series.h"
#include "media/timed_units.h"
#include "media/tracks.h"
#include "media/video_coding.h"
#include "platform/file_identity.h"

namespace mv {

struct Container;

// Notes a reader may add to an analysis.
inline constexpr const char* kNoteContentNotSuffix =
    "content-not-suffix";  // read as the container its first bytes are, not the one its suffix names
inline constexpr const char* kNoteCutShort = "cut-short";  // the file ends early; what it holds was read
inline constexpr const char* kNoteIndexRebuilt =
    "index-rebuilt";  // chunk sizes came from the data, not an index
inline constexpr const char* kNoteRateAssumed =
    "rate-assumed";  // pictures without a time stamp were timed at 25 a second: the stream declares no rate
inline constexpr const char* kNoteTimestampsDiscontinuous =
    "timestamps-discontinuous";  // time stamps that jump (a joined recording) were closed up
inline constexpr const char* kNoteUnitsDropped =
    "units-dropped";  // units missing a part inside the file left out
inline constexpr const char* kNoteUnitsIncomplete =
    "units-incomplete";  // units missing a part inside the file, counted with the bytes the file holds
// The note as the user reads it ("文件不完整", in English "The file is incomplete"); an unknown
// note as it stands.
std::string noteDescription(const std::string& note, bool english = false);

enum MediaType : int {
  MEDIA_NONE = 0,
  MEDIA_RM = 1,
  MEDIA_AVI = 2,
  MEDIA_MP4 = 3,
  MEDIA_MKV = 4,
  MEDIA_FLV = 5,
  MEDIA_TS = 6,
  MEDIA_PS = 7,
  MEDIA_ASF = 8,
  MEDIA_ES = 9,
};

struct FileAnalysis {
  std::unique_ptr<PerSecondSeries> videoSeries;
  std::unique_ptr<PerSecondSeries> audioSeries;
  std::unique_ptr<PerSecondSeries> totalSeries;
  std::string path;                      // as passed to open; empty when the slot is empty
  uint64_t fileLength = 0;               // bytes
  int32_t durationSeconds = 0;           // data seconds in each series
  int32_t frameWidth = 0;                // pixels, 0 if unknown
  int32_t frameHeight = 0;               // pixels, 0 if unknown
  int32_t frameRateMilli = 0;            // frames per 1000 s, 0 if unknown
  std::optional<FileIdentity> identity;  // the file that was read
  const Container* container = nullptr;  // the one it was read as; null when the slot is empty
  // What the reader had to do to read the file ("cut-short", "index-rebuilt", "units-dropped"), sorted.
  std::vector<std::string> notes;
  // The chosen tracks' units in decode order, for the frame and GOP views.
  TrackUnits videoUnits;
  TrackUnits audioUnits;
  // The video track's codec, as far as the container names it, for picture types.
  codec::TrackCoding videoCoding;
  double unitOriginSeconds = 0;  // the earliest unit's time on its clock: second 0 of the series
  // Where the chosen tracks' time stamps jumped and were closed up: how many times, and the first
  // StampJumps::kListed as seconds of the series, in order.
  uint64_t jumpCount = 0;
  std::vector<double> jumpSeconds;
  // Every track in the container's order (TS: the programs' in PAT order), for the readers that
  // list them; empty for the others. videoTrack and audioTrack index the chosen ones (-1 none),
  // defaultVideo and defaultAudio the ones the container's rules choose.
  std::vector<Track> tracks;
  int videoTrack = -1, audioTrack = -1;
  int defaultVideo = -1, defaultAudio = -1;
  // Asked of a load and kept across it, like videoUnits.keepPlaces: the tracks to choose instead
  // of the default ones (the frame list re-reads a file whose tracks were chosen since it opened).
  int askedVideo = kDefaultTrack, askedAudio = kDefaultTrack;
};

}  // namespace mv
