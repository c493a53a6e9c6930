#pragma once
// The program's options by name over the one settings store: ten integers and two texts in
// section "ParaBlock", and the chart's zoom. Each change is written through at once.
#include <string>

#include "settings/settings_store.h"

namespace mv {

enum ParaInt : int {
  PARA_OUT_FILE_INFO = 0,
  PARA_OUT_HEADER = 1,
  PARA_OUT_STATISTICS = 2,
  PARA_OUT_VIDEO = 3,
  PARA_OUT_AUDIO = 4,
  PARA_OUT_A_AND_V = 5,
  PARA_VIEW_ITEM = 6,
  PARA_VIEW_POINTS = 7,
  PARA_TOP_POINTS = 8,
  PARA_BOTTOM_POINTS = 9,
  PARA_INT_COUNT = 10,
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

  // The chart's zoom: a percentage, or 0 for every second within the plot's width. One key,
  // "Window" "Zoom"; a file without a usable one gives the scale option older files hold.
  int Zoom() const;
  // Stores and writes through at once.
  void SetZoom(int zoom);

  const std::string& profilePath() const { return store_.path(); }
  // Every setting by section and key, these options included.
  SettingsStore& store() { return store_; }
  const SettingsStore& store() const { return store_; }

 private:
  SettingsStore store_;
};

// The settings file of a program at `exe`: beside it as <name>.ini when that file is there and
// writable, or when the program runs where it was built and the folder takes the file; else
// morvatelline.ini in the user's settings folder (XDG).
std::string settingsFileFor(const std::string& exe);

// The one store of the process.
CParaBlock& paraBlock();

}  // namespace mv
