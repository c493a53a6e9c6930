#include "media/reader.h"

#include <algorithm>
#include <new>

#include "media/file_analysis.h"
#include "media/timed_units.h"
#include "platform/input_file.h"

namespace mv {
namespace {

LoadResult walkAndFill(WalkFunction walk, InputFile& file, FileAnalysis& out, LoadControl* control) {
  WalkNotes notes;
  if (const LoadResult r = walk(file, out, notes, control); !r.ok()) return r;
  // Kept sorted: the reports list them as they stand.
  if (notes.cutShort) out.notes.push_back(kNoteCutShort);
  if (notes.indexRebuilt) out.notes.push_back(kNoteIndexRebuilt);
  if (notes.rateAssumed) out.notes.push_back(kNoteRateAssumed);
  if (notes.unitsDropped > 0) out.notes.push_back(kNoteUnitsDropped);
  if (notes.unitsIncomplete > 0) out.notes.push_back(kNoteUnitsIncomplete);
  // A walk that filled the series noted its jumps already.
  std::sort(out.notes.begin(), out.notes.end());
  if (out.videoSeries) return LoadResult::success();
  // Asked tracks the walk did not choose itself: exchanged as a choice exchanges them (tracks
  // that do not fit leave everything as it is).
  const int video = out.askedVideo == kDefaultTrack ? out.videoTrack : out.askedVideo;
  const int audio = out.askedAudio == kDefaultTrack ? out.audioTrack : out.askedAudio;
  if (video != out.videoTrack || audio != out.audioTrack) swapChosenTracks(out, video, audio);
  // Time-stamped: the frame facts are the video track's, the rate declared where the container
  // declares one, else measured from the stamps.
  if (!out.videoUnits.present) {
    out.frameWidth = out.frameHeight = out.frameRateMilli = 0;
  } else if (out.frameRateMilli <= 0) {
    out.frameRateMilli = measuredFrameRateMilli(out.videoUnits);
  }
  return fillTimedSeries(out.videoUnits, out.audioUnits, out);
}

}  // namespace

LoadResult loadWith(WalkFunction walk, const std::string& path, FileAnalysis& out, LoadControl* control) {
  // The slot's own facts stay; everything a load sets starts again.
  std::string keptPath = std::move(out.path);
  std::optional<FileIdentity> keptIdentity = std::move(out.identity);
  const bool keepPlaces = out.videoUnits.keepPlaces;
  const int askedVideo = out.askedVideo, askedAudio = out.askedAudio;
  out = FileAnalysis();
  out.path = std::move(keptPath);
  out.identity = std::move(keptIdentity);
  out.videoUnits.keepPlaces = keepPlaces;
  out.askedVideo = askedVideo;
  out.askedAudio = askedAudio;
  LoadResult r;
  try {
    InputFile file;
    if (!file.open(path)) return LoadResult::fail(LoadFailure::CouldNotRead);
    out.fileLength = file.length();
    r = walkAndFill(walk, file, out, control);
  } catch (const std::bad_alloc&) {
    r = LoadResult::fail(LoadFailure::OutOfMemory);
  }
  if (!r.ok()) {
    out.videoSeries.reset();
    out.audioSeries.reset();
  }
  return r;
}

}  // namespace mv
