#include "analysis/file_slot.h"

#include "analysis/avi_reader.h"
#include "analysis/rm_reader.h"
#include "platform/ascii.h"
#include "platform/messages.h"
#include "report/statistics.h"

namespace mv {

MediaType mediaTypeOfPath(const std::string& path) {
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos) return MEDIA_NONE;
  const std::string_view suffix = std::string_view(path).substr(dot);
  // The whole suffix must match: ".avi.bak" or ".rm " are not media files of ours.
  if (equalsIgnoreAsciiCase(suffix, ".avi")) return MEDIA_AVI;
  if (equalsIgnoreAsciiCase(suffix, ".rm") || equalsIgnoreAsciiCase(suffix, ".rmvb")) return MEDIA_RM;
  return MEDIA_NONE;
}

FileSlot::~FileSlot() { clear(); }

int FileSlot::open(const std::string& path) {
  clear();
  FileAnalysis& a = analysis;
  const std::optional<FileIdentity> identity = fileIdentity(path);
  int result = 0;
  switch (mediaTypeOfPath(path)) {
    case MEDIA_AVI:
      result = loadAvi(path, a.videoSeries, a.audioSeries, a.fileLength, a.durationSeconds, a.frameRateMilli,
                       a.frameWidth, a.frameHeight);
      break;
    case MEDIA_RM:
      result = loadRealMedia(path, a.videoSeries, a.audioSeries, a.fileLength, a.durationSeconds,
                             a.frameRateMilli, a.frameWidth, a.frameHeight);
      break;
    case MEDIA_NONE:
      showMessage(msg::kInvalidFile);
      return 0;
  }
  if (result == 0 || !a.videoSeries || !a.audioSeries) {
    clear();
    showMessage(msg::kReadFailed);
    return 0;
  }
  // Without a total series every report would read a missing column: the load counts as failed.
  if (!prepareStatistics(a)) {
    clear();
    return 0;
  }
  a.path = path;
  a.identity = identity;
  return result;
}

void FileSlot::clear() {
  analysis.path.clear();
  analysis.videoSeries.reset();
  analysis.audioSeries.reset();
  analysis.totalSeries.reset();
  analysis.fileLength = 0;
  analysis.durationSeconds = 0;
  analysis.frameWidth = 0;
  analysis.frameHeight = 0;
  analysis.frameRateMilli = 0;
  analysis.identity.reset();
}

void FileSlot::addMediaIdentities(std::vector<FileIdentity>& out) const {
  if (!isLoaded()) return;
  if (analysis.identity) out.push_back(*analysis.identity);
  if (const auto now = fileIdentity(analysis.path); now && now != analysis.identity) out.push_back(*now);
}

MediaType FileSlot::mediaType() const {
  return analysis.path.empty() ? MEDIA_NONE : mediaTypeOfPath(analysis.path);
}

void FileSlot::recomputeThresholds() {
  if (analysis.videoSeries) computeThresholds(*analysis.videoSeries);
}

uint32_t FileSlot::elementCount() const {
  return analysis.videoSeries ? analysis.videoSeries->elementCount() : 0;
}

}  // namespace mv
