#pragma once
// The analysis record of one file and the slot that owns it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/per_second_series.h"
#include "platform/file_identity.h"

namespace mv {

enum MediaType : int { MEDIA_NONE = 0, MEDIA_RM = 1, MEDIA_AVI = 2 };

struct FileAnalysis {
  std::unique_ptr<PerSecondSeries> videoSeries;
  std::unique_ptr<PerSecondSeries> audioSeries;
  std::unique_ptr<PerSecondSeries> totalSeries;
  std::string path;              // as passed to open; empty when the slot is empty
  uint64_t fileLength = 0;       // bytes
  int32_t durationSeconds = 0;   // data seconds in each series
  int32_t frameWidth = 0;        // pixels, 0 if unknown
  int32_t frameHeight = 0;       // pixels, 0 if unknown
  int32_t frameRateMilli = 0;    // frames per 1000 s, 0 if unknown
  std::optional<FileIdentity> identity;  // the file that was read
};

// Decides the reader by the path's suffix alone, from the last '.' of the whole path.
MediaType mediaTypeOfPath(const std::string& path);

class FileSlot {
 public:
  FileSlot() = default;
  virtual ~FileSlot();
  FileSlot(const FileSlot&) = delete;
  FileSlot& operator=(const FileSlot&) = delete;

  // Clears, loads and computes the statistics. Nonzero on success; 0 after the user has been
  // told why. A slot that failed to open stays empty.
  int open(const std::string& path);
  void clear();
  MediaType mediaType() const;
  // Recomputes the video thresholds with the current highest/lowest counts of the settings.
  void recomputeThresholds();
  // N of the video series, 0 when the slot is empty.
  uint32_t elementCount() const;

  bool isLoaded() const { return analysis.videoSeries != nullptr; }

  // The files no output may replace on this slot's behalf: the file that was read and the one
  // its path names now (it may have been renamed or replaced since). Empty for an empty slot.
  void addMediaIdentities(std::vector<FileIdentity>& out) const;

  FileAnalysis analysis;
};

}  // namespace mv
