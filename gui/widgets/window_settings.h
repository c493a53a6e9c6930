#pragma once
// What the window remembers besides the options: its place and size, its views and the folder
// last used for each kind of file. Kept in the one settings store, sections "Window" and
// "Folders"; without a settings file they last for this run only.
#include <QString>

namespace mvgui {

int windowSetting(const char* key, int fallback);
void setWindowSetting(const char* key, int value);

// Kinds of file dialogs that each remember their folder.
enum class FolderKind { Media, Report, Spreadsheet, Information, Image };
// The folder last used for that kind, empty when none is known (or it is gone).
QString lastFolder(FolderKind kind);
// Remembers the folder of `path` (a chosen file) for that kind.
void rememberFolderOf(FolderKind kind, const QString& path);

}  // namespace mvgui
