#pragma once
// The file information window: the report header, the file summary and the container's own
// description of one slot, in a resizable read-only text box that can be copied or saved.
#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

#include "app/resizable_dlg.h"
#include "platform/file_identity.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

#include <vector>

#include "media/frames.h"

namespace mv {
class FileSlot;
}

namespace mvgui {

// The information buttons' handler: builds the text of `slot` and shows it in a modal window.
// `slotPath` is the main window's path of the slot (empty when nothing is loaded); `typedFrames`
// its frame list with picture types when the window has read it (else they are read now).
void ShowFileInfo(QWidget* parent, const QString& slotPath, const mv::FileSlot& slot,
                  const std::vector<mv::VideoFrame>* typedFrames = nullptr);

// The information text as it is written to a file (GBK, CR LF), built through a temporary file
// named "kzt…" in the temporary folder. 0 when `slotPath` is empty (the user has been told);
// otherwise 1, with `text` left empty when the temporary file could not be made or written.
int BuildInfoText(const QString& slotPath, const mv::FileSlot& slot, QByteArray& text,
                  const std::vector<mv::VideoFrame>* typedFrames = nullptr);

// The part of BuildInfoText after the temporary file exists: writes the text into `tempPath`,
// reads it back and removes `tempPath`, whether or not it could be written.
QByteArray infoTextThroughFile(const std::string& tempPath, const mv::FileSlot& slot,
                               const std::vector<mv::VideoFrame>* typedFrames = nullptr);

class CFileInfoDlg : public CResizableDlg {
  Q_OBJECT
 public:
  // Shows `text` once the window is up; the text moves into the window, leaving `text` empty.
  CFileInfoDlg(QWidget* parent, QByteArray& text);

  // The control with a resource id (1045 text box, 1047 save button), or null.
  QWidget* control(int id) const;
  QPlainTextEdit* textBox() const { return textBox_; }
  // The bytes the text box shows, as they were built.
  const QByteArray& shownText() const { return shown_; }
  // The media files the text describes: "另存为" refuses to replace them.
  void setMediaFiles(std::vector<mv::FileIdentity> files) { mediaFiles_ = std::move(files); }

 public slots:
  // Enter and the deferred fill after the window has come up.
  void OnOK();
  void OnSaveAs();

 protected:
  void OnInitDialog() override;
  void OnControlsMove(int dx, int dy) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void accept() override { OnOK(); }

 private:
  QByteArray& text_;
  QByteArray shown_;
  std::vector<mv::FileIdentity> mediaFiles_;
  QPlainTextEdit* textBox_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QLabel* hint_ = nullptr;
};

}  // namespace mvgui
