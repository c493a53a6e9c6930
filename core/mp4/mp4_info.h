#pragma once
// The information text of a MP4 family (.mp4 .mov .m4v) file, in Chinese or English, for the file information
// window and the `info` command.
#include <string>

#include "platform/text_file.h"

namespace mv {

// Reads the file at `path` afresh and writes its report into `out`. Nonzero when the file could
// be opened and parsed; 0 otherwise, and then nothing has been written.
int writeMp4Info(const std::string& path, TextFile& out, bool english = false);

}  // namespace mv
