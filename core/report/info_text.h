#pragma once
// The file information text: the report header, the file summary and the container's own
// description, as the information window shows it.
#include <vector>

#include "analysis/file_slot.h"
#include "media/frames.h"
#include "platform/text_file.h"

namespace mv {

// Writes the text for a loaded slot, in Chinese or, for an English window, in English; the
// container is read again from the slot's path, and so are the pictures' types unless
// `typedFrames` holds the frame list with them already.
void writeInformation(TextFile& out, const FileSlot& slot,
                      const std::vector<VideoFrame>* typedFrames = nullptr, bool english = false);

}  // namespace mv
