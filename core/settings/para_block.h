#pragma once
// Settings store: eleven integers and two texts, mirrored value by value into the .ini file
// beside the executable (section "ParaBlock") at the moment each changes.
#include <array>
#include <atomic>
#include <string_view>
#include <mutex>
#include <string>

namespace mv {

enum ParaInt : int {
  PARA_OUT_FILE_INFO = 0,
  PARA_OUT_HEADER = 1,
  PARA_OUT_STATISTICS = 2,
  PARA_OUT_VIDEO = 3,
  PARA_OUT_AUDIO = 4,
  PARA_OUT_A_AND_V = 5,
  PARA_VIEW_ITEM = 6,
  PARA_VIEW_SCALE = 7,
  PARA_VIEW_POINTS = 8,
  PARA_TOP_POINTS = 9,
  PARA_BOTTOM_POINTS = 10,
  PARA_INT_COUNT = 11,
};

enum ParaText : int {
  PARA_RM_CHK_SRC = 0,
  PARA_RM_CHK_TGT = 1,
  PARA_TEXT_COUNT = 2,
};

class CParaBlock {
 public:
  CParaBlock();
  virtual ~CParaBlock();

  // Reads the .ini file beside the executable; missing keys keep their defaults.
  void Load();
  // Same, from an explicit file (tests, tools).
  void LoadFrom(const std::string& iniPath);

  int GetInt(int index) const;
  // Stores and writes through at once (no clamping). Before Load nothing is written.
  void SetInt(int index, int value);
  std::string GetText(int index) const;
  // Stores and, when `write` is non-zero, writes through; nonzero when the value changed.
  int SetText(int index, const std::string& text, int write);

  const std::string& profilePath() const { return profilePath_; }
  // Writes one value through to the settings file (sections other than "ParaBlock" too); a
  // failure is told once per process.
  void write(std::string_view section, std::string_view key, const std::string& value);

 private:
  // (implementation detail members; see para_block.cpp)
  struct TextBlock {
    std::array<std::string, PARA_TEXT_COUNT> values;
    std::string section = "ParaBlock";
    mutable std::mutex lock;
  };
  TextBlock text_;
  std::array<int, PARA_INT_COUNT> ints_;
  std::string intSection_;
  std::string profilePath_;
  std::atomic<bool> warnedWriteFailure_{false};
};

// The settings file of a program at `exe`: beside it as <name>.ini when that file is there and
// writable, or when the program runs where it was built and the folder takes the file; else
// morvatelline.ini in the user's settings folder (XDG).
std::string settingsFileFor(const std::string& exe);

// The one store of the process.
CParaBlock& paraBlock();

}  // namespace mv
