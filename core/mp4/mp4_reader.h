#pragma once
// MP4 family (.mp4 .mov .m4v) reader: the per-second series of the first video and the first audio track.
#include <string>

#include "media/file_analysis.h"
#include "media/load.h"

namespace mv {

// Fills the series, length, duration, picture size, frame rate and the chosen tracks' units of
// `out`; on failure `out` holds no series.
LoadResult loadMp4(const std::string& path, FileAnalysis& out, LoadControl* control = nullptr);

}  // namespace mv
