#include "settings/para_block.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/paths.h"

namespace mv {
namespace {

constexpr std::string_view kSection = "ParaBlock";

constexpr std::array<std::string_view, PARA_INT_COUNT> kIntKeys = {
    "PARA_OUT_FILE_INFO", "PARA_OUT_HEADER", "PARA_OUT_STATISTICS", "PARA_OUT_VIDEO",  "PARA_OUT_AUDIO",
    "PARA_OUT_A_AND_V",   "PARA_VIEW_ITEM",  "PARA_VIEW_POINTS",    "PARA_TOP_POINTS", "PARA_BOTTOM_POINTS",
};
constexpr std::array<int, PARA_INT_COUNT> kIntDefaults = {1, 1, 1, 1, 1, 1, 0, 1, 5, 5};

constexpr std::array<std::string_view, PARA_TEXT_COUNT> kTextKeys = {
    "PARA_RM_CHK_SRC",
    "PARA_RM_CHK_TGT",
};

// The zoom's one key, and the zooms it may hold (0: the whole file).
constexpr std::string_view kZoomSection = "Window";
constexpr std::string_view kZoomKey = "Zoom";
constexpr std::array<int, 8> kZoomLevels = {0, 10, 25, 50, 100, 200, 400, 800};
// Older files keep 100 % and 200 % as this option (0 or 1), other zooms in the key above.
constexpr std::string_view kOldScaleKey = "PARA_VIEW_SCALE";

// The profile integer reader has no "absent" answer of its own: it is asked with -1 as the
// default, so a stored -1 also keeps the current value.
constexpr int kAbsent = -1;

bool validInt(int index) { return index >= 0 && index < PARA_INT_COUNT; }
bool validText(int index) { return index >= 0 && index < PARA_TEXT_COUNT; }

}  // namespace

CParaBlock::CParaBlock() {
  for (int i = 0; i < PARA_INT_COUNT; ++i)
    store_.remember(kSection, kIntKeys[i], std::to_string(kIntDefaults[i]));
}

CParaBlock::~CParaBlock() = default;

std::string settingsFileFor(const std::string& exe) {
  // Without a known executable there is no place for the file; a bare ".ini" would land in
  // whatever folder the program was started from.
  if (exe.empty()) return {};
  const std::string beside = replaceFileExtension(exe, ".ini");
  // Portable: an .ini beside the program that can be written, or a program run where it was
  // built (its folder takes the file). Installed, or beside a file that cannot be written:
  // the user's own settings folder.
  if (::access(beside.c_str(), F_OK) == 0) {
    if (::access(beside.c_str(), W_OK) == 0) return beside;
  } else if (!isInstalledExecutable(exe) && folderTakesFiles(folderOfPath(beside))) {
    return beside;
  }
  const std::string folder = userConfigFolder();
  return folder.empty() ? std::string() : folder + "/morvatelline.ini";
}

void CParaBlock::Load() { LoadFrom(settingsFileFor(executablePath())); }

void CParaBlock::LoadFrom(const std::string& iniPath) {
  // Options the file does not hold keep the values they have.
  std::array<int, PARA_INT_COUNT> ints{};
  for (int i = 0; i < PARA_INT_COUNT; ++i) ints[i] = GetInt(i);
  store_.load(iniPath);
  for (int i = 0; i < PARA_INT_COUNT; ++i) {
    const int v = store_.intValue(kSection, kIntKeys[i], kAbsent);
    if (v != kAbsent) ints[i] = v;
  }
  ints[PARA_VIEW_ITEM] = std::clamp(ints[PARA_VIEW_ITEM], 0, 2);
  ints[PARA_TOP_POINTS] = std::clamp(ints[PARA_TOP_POINTS], 1, 99);
  ints[PARA_BOTTOM_POINTS] = std::clamp(ints[PARA_BOTTOM_POINTS], 1, 99);
  for (int i = 0; i < PARA_INT_COUNT; ++i) store_.remember(kSection, kIntKeys[i], std::to_string(ints[i]));
}

int CParaBlock::GetInt(int index) const {
  return validInt(index) ? store_.intValue(kSection, kIntKeys[index], kIntDefaults[index]) : 0;
}

void CParaBlock::SetInt(int index, int value) {
  if (!validInt(index)) return;
  // Written even when unchanged: the file is brought in line with memory at every change.
  store_.set(kSection, kIntKeys[index], std::to_string(value));
}

std::string CParaBlock::GetText(int index) const {
  return validText(index) ? store_.value(kSection, kTextKeys[index]).value_or(std::string()) : std::string();
}

int CParaBlock::SetText(int index, const std::string& text, int write) {
  if (!validText(index) || GetText(index) == text) return 0;
  if (write != 0)
    store_.set(kSection, kTextKeys[index], text);
  else
    store_.remember(kSection, kTextKeys[index], text);
  return 1;
}

int CParaBlock::Zoom() const {
  const int zoom = store_.intValue(kZoomSection, kZoomKey, kAbsent);
  if (std::find(kZoomLevels.begin(), kZoomLevels.end(), zoom) != kZoomLevels.end()) return zoom;
  const int scale = store_.intValue(kSection, kOldScaleKey, kAbsent);
  return (std::clamp(scale == kAbsent ? 0 : scale, 0, 1) + 1) * 100;
}

void CParaBlock::SetZoom(int zoom) { store_.set(kZoomSection, kZoomKey, std::to_string(zoom)); }

CParaBlock& paraBlock() {
  static CParaBlock block;
  return block;
}

}  // namespace mv
