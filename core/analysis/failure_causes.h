#pragma once
// Why a file did not load or an output was not written, in the words both the CLI and the
// window's command line use on stderr: one short cause, in Chinese or English.
#include <string>

#include "media/load.h"
#include "platform/output_file.h"

namespace mv {

// The one message box the window shows for a file that did not load (a fixed text of
// platform/messages.h); null for a load the user cancelled, and for one that loaded.
const char* loadFailureMessage(const std::string& path, const LoadResult& result);
// Shows that message, if any, through the core's message sink.
void showLoadFailure(const std::string& path, const LoadResult& result);

// Why `path` did not load, from the load's result and what the file system says of the path.
std::string loadFailureCause(const std::string& path, const LoadResult& result, bool english);
// Why an output was not written; `err` is the errno of the call that failed (0 when unknown).
std::string writeFailureCause(OutputError error, int err, bool english);

}  // namespace mv
