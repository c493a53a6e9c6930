#pragma once
// Chooses a folder by clicking through the folder tree or by typing its path. Qt's own directory
// dialog, half as large again as usual, whose path box always holds the full path of the folder
// that OK would return; a typed path is checked before the dialog may close.
#include <QFileDialog>
#include <QString>
#include <functional>
#include <memory>

class QLineEdit;
class QPushButton;

namespace mvgui {

// The dialog a picker runs: Qt's own directory dialog whose OK only closes it for a path that
// passed FolderPicker::ValidateFolderPath. It grows to 1.5 times its usual size when first shown,
// keeping its place.
class FolderPickerDialog : public QFileDialog {
 public:
  FolderPickerDialog(const QString& caption, const QString& prompt, const QString& initialFolder,
                     QWidget* owner);

  // The path box: the folder OK returns, typed or following the folder list.
  QLineEdit* pathBox() const { return pathBox_; }
  QPushButton* okButton() const { return okButton_; }
  // The accepted path, exactly as typed; empty until the dialog was accepted.
  QString chosenPath() const { return chosen_; }
  // The size the dialog had before it was enlarged; empty until first shown.
  QSize usualSize() const { return usualSize_; }

  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void updateOkButton();
  void widenDetailColumns();

  QLineEdit* pathBox_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QString chosen_;
  QSize usualSize_;
  bool settingOk_ = false;
};

class FolderPicker {
 public:
  // What a caller asked for, as a test responder sees it.
  struct Request {
    QString caption;
    QString prompt;
    QString initialFolder;
    QWidget* owner = nullptr;
  };
  struct Answer {
    bool accepted = false;
    QString path;
  };
  using Responder = std::function<Answer(const Request&)>;

  // `caption` titles the window, `prompt` stands above the folder list; `initialFolder` is
  // opened and put into the path box when it is an existing folder.
  FolderPicker(const QString& caption, const QString& prompt, const QString& initialFolder,
               QWidget* owner = nullptr);

  // 1 when the user accepted a valid folder, -1 otherwise (Cancel, Esc, the close box).
  int Browse();
  // The chosen folder, meaningful after Browse returned 1.
  QString path() const { return path_; }

  // 0 when `path` names an existing file-system entry and is written as an absolute path of
  // plain names: "/" alone, or "/" followed by names separated by single "/"s, none of them
  // empty, "." or "..", none beginning or ending with a blank or a tab, and none containing
  // '"', '*', ':', '<', '>', '?', '\' or '|'. Otherwise tells the user and returns 1.
  static int ValidateFolderPath(const QString& path);

  // The dialog Browse runs, configured but not shown.
  std::unique_ptr<FolderPickerDialog> createDialog() const;

  // Answers every Browse without showing a dialog while set (an accepted answer is returned as
  // it is, unchecked); an empty function restores the real dialog. For tests.
  static void setTestResponder(Responder responder);

 private:
  Request request_;
  QString path_;
};

}  // namespace mvgui
