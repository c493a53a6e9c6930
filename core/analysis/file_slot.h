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

// The reader a path goes to, by its suffix alone.
MediaType mediaTypeOfPath(const std::string& path);

class FileSlot {
 public:
  FileSlot() = default;
  virtual ~FileSlot();
  FileSlot(const FileSlot&) = delete;
  FileSlot& operator=(const FileSlot&) = delete;

  // Clears, loads and computes the statistics. Nonzero on success; 0 after the user has been
  // told why (nothing is shown for a load the user cancelled). A slot that failed to open
  // stays empty; lastResult() tells why.
  int open(const std::string& path, LoadControl* control = nullptr);
  void clear();
  // Exchanges the loaded files and their last results (an open into a spare slot can replace a
  // slot's file only once it succeeded); the marked-seconds counts stay with each slot.
  void swap(FileSlot& other) noexcept {
    std::swap(analysis, other.analysis);
    std::swap(lastResult_, other.lastResult_);
  }
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
  const LoadResult& lastResult() const { return lastResult_; }

  // The files no output may replace on this slot's behalf: the file that was read and the one
  // its path names now (it may have been renamed or replaced since). Empty for an empty slot.
  void addMediaIdentities(std::vector<FileIdentity>& out) const;

  FileAnalysis analysis;

 private:
  int top_ = kDefaultMarkedSeconds;
  int bottom_ = kDefaultMarkedSeconds;
  LoadResult lastResult_;
};

// Value of a row of one of the slot's series; see cellValue of an analysis.
inline double cellValue(const FileSlot& slot, uint32_t index, int item) { return cellValue(slot.analysis, index, item); }

}  // namespace mv
