#pragma once
// The file information text: the report header, the file summary and the container's own
// description, as the information window shows it.
#include "analysis/file_slot.h"
#include "platform/text_file.h"

namespace mv {

// Writes the text for a loaded slot; the container is read again from the slot's path.
void writeInformation(TextFile& out, const FileSlot& slot);

}  // namespace mv
