#include "platform/paths.h"

#include <mutex>
#include <system_error>
#include <filesystem>

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
  if (dot != std::string::npos && equalsIgnoreAsciiCase(std::string_view(path).substr(dot), extension)) return path;
  return path + extension;
}

}  // namespace mv
