#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace mv {
namespace {

std::mutex overrideMutex;
std::string overridePath;

}  // namespace

std::string executablePath() {
  {
    std::lock_guard lock(overrideMutex);
    if (!overridePath.empty()) return overridePath;
  }
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

void setExecutablePathOverride(const std::string& path) {
  std::lock_guard lock(overrideMutex);
  overridePath = path;
}

namespace {

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  const passwd* pw = ::getpwuid(::getuid());
  return pw && pw->pw_dir ? pw->pw_dir : std::string();
}

std::string xdgFolder(const char* variable, const char* fallbackBelowHome) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return std::string(value) + "/morvatelline";
  const std::string home = homeFolder();
  return home.empty() ? std::string() : home + fallbackBelowHome + "/morvatelline";
}

// <prefix> of an installed executable (<prefix>/bin/morvatelline), empty otherwise.
std::string installPrefix(const std::string& exe = executablePath()) {
  if (exe.empty()) return {};
  const std::filesystem::path prefix = std::filesystem::path(exe).parent_path().parent_path();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(prefix / "share/doc/morvatelline/morvatelline.htm", ec)) return {};
  return prefix.string();
}

}  // namespace

std::string userConfigFolder() { return xdgFolder("XDG_CONFIG_HOME", "/.config"); }

std::string userDataFolder() { return xdgFolder("XDG_DATA_HOME", "/.local/share"); }

bool makeFolders(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return std::filesystem::is_directory(folder, ec);
}

bool folderTakesFiles(const std::string& folder) {
  std::error_code ec;
  return !folder.empty() && std::filesystem::is_directory(folder, ec) &&
         ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string folderOfPath(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool isInstalledExecutable(const std::string& exe) { return !installPrefix(exe).empty(); }

std::string installedShareFolder() {
  const std::string prefix = installPrefix();
  return prefix.empty() ? prefix : prefix + "/share/morvatelline";
}

std::string installedHelpPage() {
  const std::string prefix = installPrefix();
  return prefix.empty() ? prefix : prefix + "/share/doc/morvatelline/morvatelline.htm";
}

std::string replaceFileExtension(const std::string& path, const std::string& newExtension) {
  const auto slash = path.find_last_of('/');
  const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return path + newExtension;
  return path.substr(0, dot) + newExtension;
}

}  // namespace mv

#include "platform/ascii.h"

namespace mv {

std::string ensureExtension(const std::string& path, const std::string& extension) {
  const auto dot = path.find_last_of('.');
  if (dot != std::string::npos && equalsIgnoreAsciiCase(std::string_view(path).substr(dot), extension))
    return path;
  return path + extension;
}

}  // namespace mv
