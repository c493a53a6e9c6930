#include "settings/para_block.h"

#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/ini_file.h"

namespace mv {
namespace {

constexpr std::string_view kSection = "ParaBlock";

constexpr std::array<std::string_view, PARA_INT_COUNT> kIntKeys = {
    "PARA_OUT_FILE_INFO", "PARA_OUT_HEADER",  "PARA_OUT_STATISTICS", "PARA_OUT_VIDEO",
    "PARA_OUT_AUDIO",     "PARA_OUT_A_AND_V", "PARA_VIEW_ITEM",      "PARA_VIEW_SCALE",
    "PARA_VIEW_POINTS",   "PARA_TOP_POINTS",  "PARA_BOTTOM_POINTS",
};
constexpr std::array<int, PARA_INT_COUNT> kIntDefaults = {1, 1, 1, 1, 1, 1, 0, 0, 1, 5, 5};

constexpr std::array<std::string_view, PARA_TEXT_COUNT> kTextKeys = {
    "PARA_RM_CHK_SRC",
    "PARA_RM_CHK_TGT",
};

// The profile integer reader has no "absent" answer of its own: it is asked with -1 as the
// default, so a stored -1 also keeps the current value.
constexpr int kAbsent = -1;

bool validInt(int index) { return index >= 0 && index < PARA_INT_COUNT; }
bool validText(int index) { return index >= 0 && index < PARA_TEXT_COUNT; }

}  // namespace

CParaBlock::CParaBlock() : ints_(kIntDefaults) {}

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

void CParaBlock::write(std::string_view section, std::string_view key, const std::string& value) {
  if (profilePath_.empty()) return;
  // The user's settings folder is made with the first change.
  const bool ok = (folderTakesFiles(folderOfPath(profilePath_)) || makeFolders(folderOfPath(profilePath_))) &&
                  writeIniValue(profilePath_, section, key, value);
  if (!ok && !warnedWriteFailure_.exchange(true))
    showWarning("设置无法保存到 " + profilePath_ + "，更改只在本次运行中有效。");
}

void CParaBlock::LoadFrom(const std::string& iniPath) {
  profilePath_ = iniPath;
  warnedWriteFailure_ = false;
  intSection_ = kSection;
  const IniFile file = iniPath.empty() ? IniFile() : IniFile::load(iniPath);

  for (int i = 0; i < PARA_INT_COUNT; ++i) {
    const int v = file.intValue(kSection, kIntKeys[i], kAbsent);
    if (v != kAbsent) ints_[i] = v;
  }
  ints_[PARA_VIEW_ITEM] = std::clamp(ints_[PARA_VIEW_ITEM], 0, 2);
  ints_[PARA_VIEW_SCALE] = std::clamp(ints_[PARA_VIEW_SCALE], 0, 1);
  ints_[PARA_TOP_POINTS] = std::clamp(ints_[PARA_TOP_POINTS], 1, 99);
  ints_[PARA_BOTTOM_POINTS] = std::clamp(ints_[PARA_BOTTOM_POINTS], 1, 99);

  std::lock_guard lock(text_.lock);
  text_.section = kSection;
  for (int i = 0; i < PARA_TEXT_COUNT; ++i)
    text_.values[i] = file.value(kSection, kTextKeys[i]).value_or(std::string());
}

int CParaBlock::GetInt(int index) const { return validInt(index) ? ints_[index] : 0; }

void CParaBlock::SetInt(int index, int value) {
  if (!validInt(index)) return;
  ints_[index] = value;
  // Written even when unchanged: the file is brought in line with memory at every change.
  // A failed write is told once; the program goes on with the value in memory.
  write(intSection_, kIntKeys[index], std::to_string(value));
}

std::string CParaBlock::GetText(int index) const {
  std::lock_guard lock(text_.lock);
  return validText(index) ? text_.values[index] : std::string();
}

int CParaBlock::SetText(int index, const std::string& text, int write) {
  if (!validText(index)) return 0;
  std::lock_guard lock(text_.lock);
  if (text_.values[index] == text) return 0;
  text_.values[index] = text;
  if (write != 0) this->write(text_.section, kTextKeys[index], text);
  return 1;
}

CParaBlock& paraBlock() {
  static CParaBlock block;
  return block;
}

}  // namespace mv
