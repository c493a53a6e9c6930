#pragma once
// Picture types for the frame list, read from the file when a frame list asks for them: the
// container is walked again keeping where each frame's data lies, and the codec layer reads a
// few dozen bytes at the start of each picture. Opening a file never does this.
#include <vector>

#include "analysis/file_slot.h"
#include "media/frames.h"
#include "media/load.h"

namespace mv {

// The frame list with picture types: `frames` becomes the frames of the file walked again (in
// MPEG-TS/PS the pictures, which opening leaves as PES packets), each with its type where its
// codec's headers tell it. A cancel or a read failure is returned as a load's and leaves
// `frames` as it was.
LoadResult readPictureTypes(const FileSlot& slot, std::vector<VideoFrame>& frames,
                            LoadControl* control = nullptr);

}  // namespace mv
