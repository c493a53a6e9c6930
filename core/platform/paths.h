#pragma once
#include <string>

namespace mv {

// Full path of the running executable (from /proc/self/exe), or the override when one is set.
std::string executablePath();

// Tests and tools pretend to run from elsewhere; an empty path removes the override.
void setExecutablePathOverride(const std::string& path);

// The user's folders of this program, after the XDG base directories: $XDG_CONFIG_HOME (else
// ~/.config) and $XDG_DATA_HOME (else ~/.local/share), each with "/morvatelline". A relative
// XDG variable is ignored, as the convention says. Not created here.
std::string userConfigFolder();
std::string userDataFolder();
// Creates the folder and the folders above it that are missing; true when it exists after.
bool makeFolders(const std::string& folder);
// True when the folder exists and this process may create files in it.
bool folderTakesFiles(const std::string& folder);
// The folder part of a path ("." for a bare name).
std::string folderOfPath(const std::string& path);
// Where an installed program keeps its shared files: <prefix>/share/morvatelline beside the
// <prefix>/bin the executable runs from, when the installation put its help page below
// <prefix>/share/doc/morvatelline; empty for a program run from its build folder.
std::string installedShareFolder();
// True when `exe` runs from an installation: <prefix>/bin with the help page in
// <prefix>/share/doc/morvatelline.
bool isInstalledExecutable(const std::string& exe);
// The help page of an installed program: <prefix>/share/doc/morvatelline/morvatelline.htm, or
// empty when not installed.
std::string installedHelpPage();

// The path with the extension of its file name replaced by `newExtension` (dot included).
// Only the file name is searched for the dot; without one the extension is appended.
std::string replaceFileExtension(const std::string& path, const std::string& newExtension);

}  // namespace mv

namespace mv {

// The save dialogs' rule: unless the text from the path's last '.' (anywhere in the path) is
// `extension` (case-insensitive), `extension` is appended. "report.txt.bak" → "report.txt.bak.txt".
std::string ensureExtension(const std::string& path, const std::string& extension);

}  // namespace mv
