#pragma once
// The one open/save file dialog of the program: Qt's own file dialog (never the desktop's, so
// nothing lands in the recent-documents list), with a file list twice the usual height, centred
// over the window that opens it.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QFileDialog;
class QWidget;

namespace mvgui {

class CSingleFileSel {
 public:
  // Option flags, with the values callers know from the Windows file dialog.
  enum Flag : unsigned {
    ReadOnly = 0x1,         // the read-only box starts checked (there is no such box here)
    OverwritePrompt = 0x2,  // save: ask before replacing an existing file
    HideReadOnly = 0x4,     // no read-only box (there never is one here)
    PathMustExist = 0x800,
    FileMustExist = 0x1000,  // open: only an existing file can be chosen
    Explorer = 0x80000,
    DontAddToRecent = 0x02000000,  // always added by DoModal
  };

  // What a caller asked for, as a test responder sees it.
  struct Request {
    bool openMode = true;
    QString title;
    QString filter;  // as given: "desc|pattern|...||"
    unsigned flags = 0;
    QString defaultExtension;
    QString initialName;
    QString folder;  // where the dialog starts when initialName names no folder
    QWidget* owner = nullptr;
  };
  struct Answer {
    bool accepted = false;
    QString path;
  };
  using Responder = std::function<Answer(const Request&)>;

  // `openMode` true to open, false to save; `defaultExtension` with or without its "." (empty:
  // none); `filter` in the form "Text File(*.txt)|*.txt|All Files(*.*)|*.*||".
  CSingleFileSel(bool openMode, const QString& defaultExtension, const QString& initialName, unsigned flags,
                 const QString& filter, QWidget* owner = nullptr);

  void setTitle(const QString& title) { request_.title = title; }
  void setFolder(const QString& folder) { request_.folder = folder; }
  QString title() const { return request_.title; }
  unsigned flags() const { return request_.flags; }

  // QDialog::Accepted when a file was chosen, QDialog::Rejected otherwise.
  int DoModal();
  // The chosen full path after DoModal returned Accepted.
  QString GetPathName() const { return path_; }

  // Qt name filters of a "desc|pattern|desc|pattern||" filter text. Patterns separated by ";"
  // become one filter; "*.*" matches every file, as it does on Windows.
  static QStringList nameFiltersOf(const QString& filter);

  // The dialog DoModal runs, configured but not shown. It enlarges its file list and centres
  // itself over the owner when first shown.
  std::unique_ptr<QFileDialog> createDialog() const;

  // Answers every DoModal without showing a dialog while set; an empty function restores the
  // real dialog. For tests.
  static void setTestResponder(Responder responder);

 private:
  Request request_;
  QString path_;
};

}  // namespace mvgui
