#include "widgets/window_settings.h"

#include <QDir>
#include <QFileInfo>
#include <string>

#include "settings/para_block.h"

namespace mvgui {
namespace {

const char* folderKey(FolderKind kind) {
  switch (kind) {
    case FolderKind::Media:
      return "Media";
    case FolderKind::Report:
      return "Report";
    case FolderKind::Spreadsheet:
      return "Spreadsheet";
    case FolderKind::Information:
      return "Information";
    case FolderKind::Image:
      return "Image";
  }
  return "Media";
}

mv::SettingsStore& store() { return mv::paraBlock().store(); }

}  // namespace

int windowSetting(const char* key, int fallback) { return store().intValue("Window", key, fallback); }

void setWindowSetting(const char* key, int value) { store().set("Window", key, std::to_string(value)); }

QString lastFolder(FolderKind kind) {
  const auto value = store().value("Folders", folderKey(kind));
  if (!value || value->empty()) return {};
  const QString folder = QString::fromStdString(*value);
  return QFileInfo(folder).isDir() ? folder : QString();
}

void rememberFolderOf(FolderKind kind, const QString& path) {
  const QString folder = QFileInfo(path).absolutePath();
  if (!folder.isEmpty() && folder != lastFolder(kind))
    store().set("Folders", folderKey(kind), folder.toStdString());
}

}  // namespace mvgui
