#pragma once
// The slot that owns the analysis of one opened file.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "media/file_analysis.h"
#include "media/load.h"
#include "media/statistics.h"
#include "platform/file_identity.h"

namespace mv {

struct Container;

// The reader a path's suffix names; a file whose first bytes are another container's is read as
// that one (FileSlot::mediaType).
MediaType mediaTypeOfPath(const std::string& path);

class FileSlot {
 public:
  FileSlot() = default;
  virtual ~FileSlot();
  FileSlot(const FileSlot&) = delete;
  FileSlot& operator=(const FileSlot&) = delete;

  // Clears, loads and computes the statistics, and tells how the load ended. Nothing is shown:
  // the caller turns a failure into its own words (failure_causes.h). A slot that failed to
  // open stays empty.
  // A file its suffix's reader does not take (or of no known suffix) is read as the container
  // its first bytes are, with the note kNoteContentNotSuffix.
  LoadResult open(const std::string& path, LoadControl* control = nullptr);
  void clear();
  // Counts tracks `video` and `audio` of analysis.tracks (-1: none of that kind) instead of the
  // chosen ones, from the kept units without reading the file again: series, statistics and
  // frame facts. False, with the slot as it was, when the file lists no such tracks.
  bool chooseTracks(int video, int audio);
  // Exchanges the loaded files (an open into a spare slot can replace a slot's file only once it
  // succeeded); the marked-seconds counts stay with each slot.
  void swap(FileSlot& other) noexcept { std::swap(analysis, other.analysis); }
  // The container the loaded file was read as.
  MediaType mediaType() const;
  const Container* container() const;

  // How many highest and lowest seconds the video thresholds mark; the owner passes its
  // settings down. Applies from the next open or recomputeThresholds().
  void setMarkedSeconds(int top, int bottom) {
    top_ = top;
    bottom_ = bottom;
  }
  void recomputeThresholds();
  // N of the video series, 0 when the slot is empty.
  uint32_t elementCount() const;

  bool isLoaded() const { return analysis.videoSeries != nullptr; }

  // The files no output may replace on this slot's behalf: the file that was read and the one
  // its path names now (it may have been renamed or replaced since). Empty for an empty slot.
  void addMediaIdentities(std::vector<FileIdentity>& out) const;

  FileAnalysis analysis;

 private:
  int top_ = kDefaultMarkedSeconds;
  int bottom_ = kDefaultMarkedSeconds;
};

// Value of a row of one of the slot's series; see cellValue of an analysis.
inline double cellValue(const FileSlot& slot, uint32_t index, int item) {
  return cellValue(slot.analysis, index, item);
}

}  // namespace mv
