#pragma once
// MP4 family (.mp4 .mov .m4v) reader: the per-second series of the first video and the first audio track.
#include <string>

#include "media/file_analysis.h"
#include "media/load.h"
#include "media/reader.h"

namespace mv {

// The walk the load entry (media/reader.h) runs for this container.
LoadResult walkMp4(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

}  // namespace mv
