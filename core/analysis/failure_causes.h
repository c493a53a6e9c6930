#pragma once
// Why a file did not load or an output was not written, in the words both the CLI and the
// window's command line use on stderr: one short cause, in Chinese or English.
#include <string>

#include "media/load.h"
#include "platform/output_file.h"

namespace mv {

// Why `path` did not load, from the load's result and what the file system says of the path.
std::string loadFailureCause(const std::string& path, const LoadResult& result, bool english);
// Why an output was not written; `err` is the errno of the call that failed (0 when unknown).
std::string writeFailureCause(OutputError error, int err, bool english);

}  // namespace mv
