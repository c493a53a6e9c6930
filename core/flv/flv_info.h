#pragma once
// The information text of an FLV file, in Chinese or English, for the file information window and the
// `info` command.
#include <string>

#include "platform/text_file.h"

namespace mv {

// Reads the file at `path` afresh and writes its report into `out`. Nonzero when the file could
// be opened and read; 0 otherwise, and then nothing has been written.
int writeFlvInfo(const std::string& path, TextFile& out, bool english = false);

}  // namespace mv
