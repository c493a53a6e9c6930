#pragma once
#include <string>

namespace mv {

// Full path of the running executable (from /proc/self/exe), or the override when one is set.
std::string executablePath();

// Tests and tools pretend to run from elsewhere; an empty path removes the override.
void setExecutablePathOverride(const std::string& path);

// The path with the extension of its file name replaced by `newExtension` (dot included).
// Only the file name is searched for the dot; without one the extension is appended.
std::string replaceFileExtension(const std::string& path, const std::string& newExtension);

}  // namespace mv

namespace mv {

// The save dialogs' rule: unless the text from the path's last '.' (anywhere in the path) is
// `extension` (case-insensitive), `extension` is appended. "report.txt.bak" → "report.txt.bak.txt".
std::string ensureExtension(const std::string& path, const std::string& extension);

}  // namespace mv
