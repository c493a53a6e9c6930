#include "analysis/file_slot.h"

#include <algorithm>
#include <new>

#include "analysis/containers.h"

namespace mv {

MediaType mediaTypeOfPath(const std::string& path) {
  const Container* c = containerOfPath(path);
  return c ? c->type : MEDIA_NONE;
}

FileSlot::~FileSlot() { clear(); }

bool FileSlot::chooseTracks(int video, int audio) {
  FileAnalysis& a = analysis;
  if (!isLoaded() || a.tracks.empty()) return false;
  if (video == a.videoTrack && audio == a.audioTrack) return true;
  const int wasVideo = a.videoTrack, wasAudio = a.audioTrack;
  const auto fill = [&] {
    try {
      const Container* c = a.container;
      const LoadResult r =
          c && c->fillChosenSeries ? c->fillChosenSeries(a) : fillTimedSeries(a.videoUnits, a.audioUnits, a);
      return r.ok() && a.videoSeries && a.audioSeries && prepareStatistics(a, top_, bottom_);
    } catch (const std::bad_alloc&) {
      return false;
    }
  };
  if (!swapChosenTracks(a, video, audio)) return false;
  if (fill()) return true;
  // The series the earlier choice gave were computed from these same units: they fit again.
  swapChosenTracks(a, wasVideo, wasAudio);
  if (!fill()) clear();
  return false;
}

LoadResult FileSlot::open(const std::string& path, LoadControl* control) {
  clear();
  FileAnalysis& a = analysis;
  const std::optional<FileIdentity> identity = fileIdentity(path);
  const auto load = [&](const Container& c) {
    try {
      return c.load(path, a, control);
    } catch (const std::bad_alloc&) {
      return LoadResult::fail(LoadFailure::OutOfMemory);
    }
  };
  const Container* c = containerOfPath(path);
  LoadResult result = c ? load(*c) : LoadResult::fail(LoadFailure::NotThisFormat);
  // A file named for another container, or for none, is read as what its first bytes are.
  bool byContent = false;
  if (result.failure == LoadFailure::NotThisFormat) {
    if (const Container* content = containerOfFileContent(path); content && content != c) {
      if (const LoadResult r = load(*content); r.failure != LoadFailure::NotThisFormat) {
        result = r;
        c = content;
        byContent = true;
      }
    }
  }
  if (result.ok() && (!a.videoSeries || !a.audioSeries)) result = LoadResult::fail(LoadFailure::Damaged);
  // Without a total series every report would read a missing column: the load counts as failed.
  if (result.ok() && !prepareStatistics(a, top_, bottom_))
    result = LoadResult::fail(LoadFailure::OutOfMemory);
  if (!result.ok()) {
    clear();
    return result;
  }
  a.path = path;
  a.identity = identity;
  a.container = c;
  if (byContent)
    a.notes.insert(std::lower_bound(a.notes.begin(), a.notes.end(), kNoteContentNotSuffix),
                   kNoteContentNotSuffix);
  return result;
}

void FileSlot::clear() { analysis = FileAnalysis(); }

MediaType FileSlot::mediaType() const { return analysis.container ? analysis.container->type : MEDIA_NONE; }

const Container* FileSlot::container() const { return analysis.container; }

void FileSlot::recomputeThresholds() {
  if (analysis.videoSeries) computeThresholds(*analysis.videoSeries, top_, bottom_);
}

uint32_t FileSlot::elementCount() const {
  return analysis.videoSeries ? analysis.videoSeries->elementCount() : 0;
}

void FileSlot::addMediaIdentities(std::vector<FileIdentity>& out) const {
  if (!isLoaded()) return;
  if (analysis.identity) out.push_back(*analysis.identity);
  if (const auto now = fileIdentity(analysis.path); now && now != analysis.identity) out.push_back(*now);
}

}  // namespace mv
