#pragma once
// Picture types for the frame list, read from the file when a frame list asks for them: the
// container is walked again keeping where each frame's data lies, and the codec layer reads a
// few dozen bytes at the start of each picture. Opening a file never does this.
#include <vector>

#include "analysis/file_slot.h"
#include "media/frames.h"
#include "media/load.h"

namespace mv {

// Sets the type of each of `frames` (videoFrames of the slot's analysis) where its codec's
// headers tell it. Types the walk already gave (MPEG-TS/PS pictures) stay. A file that no longer
// walks to the same frames (replaced since it was opened) leaves the types unset; a cancel or a
// read failure is returned as a load's.
LoadResult readPictureTypes(const FileSlot& slot, std::vector<VideoFrame>& frames,
                            LoadControl* control = nullptr);

}  // namespace mv
