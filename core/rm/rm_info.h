#pragma once
// The information text of a RealMedia file: content description, file properties, and every
// stream's media properties with its RealVideo, RealAudio or file-information block decoded.
#include <string>

#include "platform/text_file.h"

namespace mv {

// Reads the file at `path` afresh and writes its report into `out`. Nonzero when the file could
// be opened and parsed; 0 otherwise, and then nothing has been written.
int writeRealMediaInfo(const std::string& path, TextFile& out, bool english = false);

}  // namespace mv
