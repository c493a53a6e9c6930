#pragma once
// One row of the container table: what the rest of the program needs to know of a container
// family. The rows themselves live in analysis/containers.cpp.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "media/file_analysis.h"
#include "media/load.h"
#include "media/reader.h"

namespace mv {

class TextFile;

struct Container {
  MediaType type;
  std::string_view name;                        // the CLI's short name: "AVI", "RM"
  std::string_view displayName;                 // as users know it, in messages and help: "RealMedia"
  bool nameTakesAn;                             // English says "an AVI file", "a RealMedia file"
  std::span<const std::string_view> suffixes;   // with their dot, lower case: ".avi"
  std::span<const std::string_view> mimeTypes;  // the desktop entry's and AppStream's, from these rows
  std::string_view filterName;                  // the file dialog's entry as shown: "Avi Files(*.avi)"
  WalkFunction walk;                            // run by the one load entry, loadWith()
  // Whether a file's first bytes are this container's, for files whose suffix does not tell;
  // strict enough that no two rows claim one file.
  bool (*looksLike)(const uint8_t* head, size_t n);
  // The container's own description of its headers and streams, in English or Chinese; 0 when it
  // cannot be read.
  int (*describe)(const std::string& path, TextFile& out, bool english);
  // Seconds without video are a sign of damage worth an indicator (RealMedia's batch check).
  bool marksZeroSeconds;
  // The series of the chosen tracks from their kept units, for containers whose series are not
  // the time stamps' (fillTimedSeries); null for the others.
  LoadResult (*fillChosenSeries)(FileAnalysis& analysis) = nullptr;

  // Fills `out` (path, identity and statistics are the slot's business); on failure `out` holds
  // no series. `control` may be null.
  LoadResult load(const std::string& path, FileAnalysis& out, LoadControl* control = nullptr) const {
    return loadWith(walk, path, out, control);
  }
};

}  // namespace mv
