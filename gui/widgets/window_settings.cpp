#include "widgets/window_settings.h"

#include <QDir>
#include <QFileInfo>
#include <string>

#include "settings/ini_file.h"
#include "settings/para_block.h"

namespace mvgui {
namespace {

const char* folderKey(FolderKind kind) {
  switch (kind) {
    case FolderKind::Media: return "Media";
    case FolderKind::Report: return "Report";
    case FolderKind::Spreadsheet: return "Spreadsheet";
    case FolderKind::Information: return "Information";
    case FolderKind::Image: return "Image";
  }
  return "Media";
}

mv::IniFile settingsFile() {
  const std::string& path = mv::paraBlock().profilePath();
  return path.empty() ? mv::IniFile() : mv::IniFile::load(path);
}

void write(const char* section, const char* key, const std::string& value) {
  mv::paraBlock().write(section, key, value);
}

}  // namespace

int windowSetting(const char* key, int fallback) { return settingsFile().intValue("Window", key, fallback); }

void setWindowSetting(const char* key, int value) { write("Window", key, std::to_string(value)); }

QString lastFolder(FolderKind kind) {
  const auto value = settingsFile().value("Folders", folderKey(kind));
  if (!value || value->empty()) return {};
  const QString folder = QString::fromStdString(*value);
  return QFileInfo(folder).isDir() ? folder : QString();
}

void rememberFolderOf(FolderKind kind, const QString& path) {
  const QString folder = QFileInfo(path).absolutePath();
  if (!folder.isEmpty() && folder != lastFolder(kind)) write("Folders", folderKey(kind), folder.toStdString());
}

}  // namespace mvgui
