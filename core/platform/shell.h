#pragma once
// Hands a written file to the desktop (the GUI opens it with the default application).
#include <functional>
#include <string>

namespace mv {

using ShellSink = std::function<void(const std::string& path)>;

// Installs a sink for the whole process and returns the previous one; the default does nothing.
ShellSink setShellSink(ShellSink sink);

// Opens the file with the desktop's default application. The result is not checked.
void openWithShell(const std::string& path);

}  // namespace mv
