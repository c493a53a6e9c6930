#include "settings/settings_store.h"

#include "platform/ascii.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/ini_file.h"

namespace mv {
namespace {

// Names cannot hold a line break, so section and key joined by one are a unique slot.
std::string slotOf(std::string_view section, std::string_view key) {
  std::string slot;
  slot.reserve(section.size() + key.size() + 1);
  for (const char c : section) slot += asciiLower(c);
  slot += '\n';
  for (const char c : key) slot += asciiLower(c);
  return slot;
}

}  // namespace

void SettingsStore::load(const std::string& path) {
  const IniFile file = path.empty() ? IniFile() : IniFile::load(path);
  std::lock_guard guard(lock_);
  path_ = path;
  warned_ = false;
  values_.clear();
  // The first of equal keys is the one the file's reader sees.
  for (IniEntry& e : file.entries()) values_.emplace(slotOf(e.section, e.key), std::move(e.value));
}

std::optional<std::string> SettingsStore::value(std::string_view section, std::string_view key) const {
  std::lock_guard guard(lock_);
  const auto it = values_.find(slotOf(section, key));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

int SettingsStore::intValue(std::string_view section, std::string_view key, int fallback) const {
  return profileIntOr(value(section, key), fallback);
}

void SettingsStore::remember(std::string_view section, std::string_view key, std::string value) {
  std::lock_guard guard(lock_);
  values_[slotOf(section, key)] = std::move(value);
}

bool SettingsStore::set(std::string_view section, std::string_view key, const std::string& value) {
  std::string failedPath;
  {
    // Held across the write, so that two changes cannot interleave their rewrites of the file.
    std::lock_guard guard(lock_);
    values_[slotOf(section, key)] = value;
    if (path_.empty()) return false;
    // The user's settings folder is made with the first change.
    const std::string folder = folderOfPath(path_);
    if ((folderTakesFiles(folder) || makeFolders(folder)) && writeIniValue(path_, section, key, value))
      return true;
    if (warned_) return false;
    warned_ = true;
    failedPath = path_;
  }
  // Told outside the lock: the message may run an event loop that reads settings.
  showWarning(fillText(msg::kSettingsNotSaved, failedPath));
  return false;
}

}  // namespace mv
