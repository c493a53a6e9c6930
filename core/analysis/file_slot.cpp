#include "analysis/file_slot.h"

#include <new>

#include "analysis/containers.h"
#include "platform/messages.h"

namespace mv {

MediaType mediaTypeOfPath(const std::string& path) {
  const Container* c = containerOfPath(path);
  return c ? c->type : MEDIA_NONE;
}

FileSlot::~FileSlot() { clear(); }

int FileSlot::open(const std::string& path, LoadControl* control) {
  clear();
  FileAnalysis& a = analysis;
  const Container* c = containerOfPath(path);
  if (!c) {
    lastResult_ = LoadResult::fail(LoadFailure::NotThisFormat);
    showMessage(msg::kInvalidFile);
    return 0;
  }
  const std::optional<FileIdentity> identity = fileIdentity(path);
  try {
    lastResult_ = c->load(path, a, control);
  } catch (const std::bad_alloc&) {
    lastResult_ = LoadResult::fail(LoadFailure::OutOfMemory);
  }
  if (lastResult_.ok() && (!a.videoSeries || !a.audioSeries)) lastResult_ = LoadResult::fail(LoadFailure::Damaged);
  if (!lastResult_.ok()) {
    clear();
    if (lastResult_.failure == LoadFailure::OutOfMemory) showMessage(msg::kOutOfMemory);
    if (lastResult_.failure != LoadFailure::Cancelled) showMessage(msg::kReadFailed);
    return 0;
  }
  // Without a total series every report would read a missing column: the load counts as failed.
  if (!prepareStatistics(a, top_, bottom_)) {
    clear();
    lastResult_ = LoadResult::fail(LoadFailure::OutOfMemory);
    return 0;
  }
  a.path = path;
  a.identity = identity;
  return 1;
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
