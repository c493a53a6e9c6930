#pragma once
// Every setting of the program by section and key. The file is read once; reads come from memory
// and each change is written through at once, the file rewritten whole around it (writeIniValue),
// so the lines the program does not know stay as they are.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace mv {

class SettingsStore {
 public:
  // Holds what `path` says and nothing else; missing or unreadable reads as empty. An empty path
  // holds the values for this run only.
  void load(const std::string& path);
  const std::string& path() const { return path_; }

  // Sections and keys match without regard to ASCII case, as in the file.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  // As IniFile::intValue.
  int intValue(std::string_view section, std::string_view key, int fallback) const;

  // Stores and writes through. A failed write is told once per load; the value still holds for
  // this run. Returns whether the file has it.
  bool set(std::string_view section, std::string_view key, const std::string& value);
  // Stores for this run only.
  void remember(std::string_view section, std::string_view key, std::string value);

 private:
  mutable std::mutex lock_;
  std::map<std::string, std::string> values_;
  std::string path_;
  bool warned_ = false;
};

}  // namespace mv
