#include "app/file_info_dlg.h"

#include <stdlib.h>
#include <unistd.h>

#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "analysis/file_slot.h"
#include "app/main_app.h"
#include "app/wait_cursor.h"
#include "platform/messages.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "platform/text_file.h"
#include "report/info_text.h"
#include "report/text_report.h"
#include "widgets/dialog_units.h"
#include "widgets/single_file_sel.h"
#include "widgets/window_settings.h"

namespace mvgui {
namespace {

constexpr const char* kNothingToOutput = QT_TRANSLATE_NOOP("mvgui::CFileInfoDlg", "抱歉，没什么好输出的。");

// A new empty file "kzt…" in the temporary folder; empty when none could be made.
std::string makeTempFile() {
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec) return {};
  std::string name = (folder / "kztXXXXXX").string();
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return {};
  ::close(fd);
  return name;
}

QByteArray readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return in.bad() ? QByteArray() : QByteArray(bytes.data(), qsizetype(bytes.size()));
}

// The window's dialog font: the same faces as the main window, at 10 points.
QFont infoFont() {
  QFont f = dialogFont();
  f.setPointSize(10);
  return f;
}

}  // namespace

void ShowFileInfo(QWidget* parent, const QString& slotPath, const mv::FileSlot& slot,
                  const std::vector<mv::VideoFrame>* typedFrames) {
  QByteArray text;
  BuildInfoText(slotPath, slot, text, typedFrames);
  if (text.isEmpty()) return;
  CFileInfoDlg dlg(parent, text);
  dlg.setMediaFiles(mv::mediaIdentities({&slot}));
  dlg.exec();
}

int BuildInfoText(const QString& slotPath, const mv::FileSlot& slot, QByteArray& text,
                  const std::vector<mv::VideoFrame>* typedFrames) {
  if (slotPath.isEmpty()) {
    mv::showMessage(CFileInfoDlg::tr(kNothingToOutput).toStdString());
    return 0;
  }
  WaitCursor wait;
  const std::string temp = makeTempFile();
  if (!temp.empty()) text = infoTextThroughFile(temp, slot, typedFrames);
  return 1;
}

QByteArray infoTextThroughFile(const std::string& tempPath, const mv::FileSlot& slot,
                               const std::vector<mv::VideoFrame>* typedFrames) {
  QByteArray text;
  mv::TextFile out;
  if (out.open(tempPath)) {
    mv::writeInformation(out, slot, typedFrames, englishInUse());
    // A text that could not be written whole is not shown as if it were the whole description.
    if (out.close()) text = readWholeFile(tempPath);
  }
  std::error_code ec;
  std::filesystem::remove(tempPath, ec);
  return text;
}

// ---------------------------------------------------------------------------------------------

CFileInfoDlg::CFileInfoDlg(QWidget* parent, QByteArray& text) : CResizableDlg(parent), text_(text) {
  setWindowTitle(tr("文件信息"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(infoFont());
  const DialogUnits du = DialogUnits::of(font());
  resize(du.x(338), du.y(264));

  textBox_ = new QPlainTextEdit(this);
  textBox_->setObjectName("1045");
  textBox_->setGeometry(du.rect(2, 18, 334, 243));
  textBox_->setReadOnly(true);
  // Read-only, yet the caret moves and selects from the keyboard as in any edit box.
  textBox_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  textBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  saveButton_ = new QPushButton(tr("另存为"), this);
  saveButton_->setObjectName("1047");
  saveButton_->setGeometry(du.rect(2, 2, 35, 14));
  saveButton_->setAutoDefault(false);
  connect(saveButton_, &QPushButton::clicked, this, &CFileInfoDlg::OnSaveAs);

  hint_ = new QLabel(tr("（在显示区点击右键可弹出快捷菜单）"), this);
  hint_->setGeometry(du.rect(209, 6, 127, 8));

  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

QWidget* CFileInfoDlg::control(int id) const {
  switch (id) {
    case 1045:
      return textBox_;
    case 1047:
      return saveButton_;
    default:
      return nullptr;
  }
}

void CFileInfoDlg::OnInitDialog() {
  CResizableDlg::OnInitDialog();
  // Filled once the window is on the screen, so a long text does not hold up its appearance.
  QMetaObject::invokeMethod(this, &CFileInfoDlg::OnOK, Qt::QueuedConnection);
}

void CFileInfoDlg::OnOK() {
  // A second OK (Enter) finds the text already taken and keeps what is shown.
  if (text_.isEmpty()) return;
  shown_ = std::move(text_);
  text_ = QByteArray();
  QString shown =
      QString::fromStdString(mv::gbkToUtf8(std::string_view(shown_.constData(), size_t(shown_.size()))));
  shown.replace("\r\n", "\n");
  textBox_->setPlainText(shown);
}

void CFileInfoDlg::OnControlsMove(int dx, int dy) {
  if ((dx == 0 && dy == 0) || !textBox_) return;
  QRect r = textBox_->geometry();
  r.setRight(r.right() + dx);
  r.setBottom(r.bottom() + dy);
  textBox_->setGeometry(r);
}

bool CFileInfoDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & Qt::ControlModifier) {
      if (key->key() == Qt::Key_A) {
        textBox_->selectAll();
        textBox_->ensureCursorVisible();
        return true;
      }
      if (key->key() == Qt::Key_C) {
        textBox_->copy();
        return true;
      }
    } else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      // Enter is the window's OK, except on the button, which it presses.
      if (watched == saveButton_)
        saveButton_->click();
      else
        OnOK();
      return true;
    }
  }
  return CResizableDlg::eventFilter(watched, event);
}

void CFileInfoDlg::OnSaveAs() {
  CSingleFileSel dlg(false, QString(), QString(),
                     CSingleFileSel::OverwritePrompt | CSingleFileSel::HideReadOnly,
                     "Text File(*.txt)|*.txt|All Files(*.*)|*.*||", this);
  dlg.setTitle(tr("保存文件"));
  dlg.setFolder(lastFolder(FolderKind::Information));
  if (dlg.DoModal() != QDialog::Accepted) return;
  rememberFolderOf(FolderKind::Information, dlg.GetPathName());
  const std::string path = mv::ensureExtension(dlg.GetPathName().toStdString(), ".txt");
  mv::OutputFile out;
  if (!out.open(path, mediaFiles_)) {
    // Other failures stay silent as the dialog always had them; replacing the very file that is
    // described is refused aloud, so the user does not take the media file for saved text.
    if (out.error() == mv::OutputError::SameAsInput) mv::showMessage(mv::msg::kWriteFailed);
    return;
  }
  out.append(shown_.constData(), size_t(shown_.size()));
  if (!out.close()) {
    // A file cut short is not handed to the desktop as if it were the description.
    mv::showMessage(mv::msg::kWriteFailed);
    return;
  }
  mv::openWithShell(path);
}

}  // namespace mvgui
