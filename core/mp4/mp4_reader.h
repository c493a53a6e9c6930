#pragma once
// MP4 family (.mp4 .mov .m4v) reader: the per-second series of the first video and the first audio track.
#include <cstddef>
#include <cstdint>
#include <string>

#include "media/file_analysis.h"
#include "media/load.h"
#include "media/reader.h"

namespace mv {

// The walk the load entry (media/reader.h) runs for this container.
LoadResult walkMp4(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

// Whether the first `n` bytes of a file open this container: a box that opens MP4 files (ftyp, moov, mdat,
// free, wide, skip) of a size that can be one.
bool looksLikeMp4(const uint8_t* head, size_t n);

}  // namespace mv
