#include "analysis/file_slot.h"

#include <new>

#include "analysis/containers.h"

namespace mv {

MediaType mediaTypeOfPath(const std::string& path) {
  const Container* c = containerOfPath(path);
  return c ? c->type : MEDIA_NONE;
}

FileSlot::~FileSlot() { clear(); }

LoadResult FileSlot::open(const std::string& path, LoadControl* control) {
  clear();
  FileAnalysis& a = analysis;
  const Container* c = containerOfPath(path);
  if (!c) return LoadResult::fail(LoadFailure::NotThisFormat);
  const std::optional<FileIdentity> identity = fileIdentity(path);
  LoadResult result;
  try {
    result = c->load(path, a, control);
  } catch (const std::bad_alloc&) {
    result = LoadResult::fail(LoadFailure::OutOfMemory);
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
  return result;
}

void FileSlot::clear() { analysis = FileAnalysis(); }

MediaType FileSlot::mediaType() const {
  return analysis.path.empty() ? MEDIA_NONE : mediaTypeOfPath(analysis.path);
}

const Container* FileSlot::container() const {
  return analysis.path.empty() ? nullptr : containerOfPath(analysis.path);
}

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
