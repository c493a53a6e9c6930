#include "batch/folder_picker.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTreeView>

#include "platform/messages.h"

namespace mvgui {

namespace {

constexpr const char* kInvalidFolder =
    QT_TRANSLATE_NOOP("mvgui::FolderPicker", "您所指定的目录\n\n%1\n\n无效。请重新指定。");

FolderPicker::Responder& testResponder() {
  static FolderPicker::Responder responder;
  return responder;
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// One name between two separators. Leading and trailing dots are allowed, since hidden folders
// are ordinary here, but "." and ".." would let a typed path climb out of what it seems to name.
bool nameOk(QStringView name) {
  if (name.isEmpty() || name == u"." || name == u"..") return false;
  if (isBlank(name.front()) || isBlank(name.back())) return false;
  static const QString forbidden = QStringLiteral("\"*/:<>?\\|");
  for (QChar c : name)
    if (forbidden.contains(c)) return false;
  return true;
}

bool syntaxOk(const QString& path) {
  if (!path.startsWith(u'/')) return false;
  if (path.size() == 1) return true;  // the root
  // Splitting keeps empty parts, so "//" and a trailing "/" each leave an empty name.
  for (QStringView name : QStringView(path).mid(1).split(u'/'))
    if (!nameOk(name)) return false;
  return true;
}

}  // namespace

FolderPickerDialog::FolderPickerDialog(const QString& caption, const QString& prompt,
                                       const QString& initialFolder, QWidget* owner)
    : QFileDialog(owner) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setFileMode(QFileDialog::Directory);
  setOption(QFileDialog::ShowDirsOnly, true);
  setAcceptMode(QFileDialog::AcceptOpen);
  setWindowTitle(caption);
  // The label above the folder list carries the prompt.
  setLabelText(QFileDialog::LookIn, prompt);

  pathBox_ = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (auto* box = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
    okButton_ = box->button(QDialogButtonBox::Open);
  if (pathBox_ == nullptr || okButton_ == nullptr) return;  // not Qt's own widget dialog

  // Qt's dialog writes names relative to the shown folder into the box and selects in the list
  // whatever the box names. Here the box holds the full path that OK checks and returns: it
  // follows the folder the user points at in the list, and typing in it leaves the list alone.
  disconnect(pathBox_, SIGNAL(textChanged(QString)), this, SLOT(_q_autoCompleteFileName(QString)));
  if (auto* list = findChild<QListView*>(QStringLiteral("listView")); list && list->selectionModel())
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, list] {
      if (pathBox_->hasFocus()) return;  // the user is typing
      const QModelIndexList rows = list->selectionModel()->selectedRows();
      if (rows.isEmpty()) return;
      const QString path = rows.first().data(QFileSystemModel::FilePathRole).toString();
      if (!path.isEmpty() && QFileInfo(path).isDir()) pathBox_->setText(QDir::cleanPath(path));
    });
  connect(this, &QFileDialog::directoryEntered, this, [this](const QString& folder) {
    if (!folder.isEmpty()) pathBox_->setText(QDir::cleanPath(folder));
  });
  // Qt enables OK only for an existing folder; here any text may be tried, and the check on OK
  // says what is wrong with it. Qt sets the button again on many occasions, hence the filter.
  connect(pathBox_, &QLineEdit::textChanged, this, &FolderPickerDialog::updateOkButton);
  okButton_->installEventFilter(this);

  const QFileInfo initial(initialFolder);
  if (!initialFolder.isEmpty() && initial.isDir()) {
    const QString folder = QDir::cleanPath(initial.absoluteFilePath());
    setDirectory(folder);
    pathBox_->setText(folder);
  } else {
    pathBox_->clear();
  }
  updateOkButton();
}

void FolderPickerDialog::updateOkButton() {
  if (okButton_ == nullptr || pathBox_ == nullptr) return;
  const bool wanted = !pathBox_->text().isEmpty();
  if (okButton_->isEnabled() == wanted) return;
  settingOk_ = true;
  okButton_->setEnabled(wanted);
  settingOk_ = false;
}

bool FolderPickerDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == okButton_ && event->type() == QEvent::EnabledChange && !settingOk_) updateOkButton();
  return QFileDialog::eventFilter(watched, event);
}

void FolderPickerDialog::accept() {
  if (pathBox_ == nullptr) {
    QFileDialog::accept();
    return;
  }
  const QString typed = pathBox_->text();
  if (typed.isEmpty()) return;  // OK is disabled then, and so is Enter
  if (FolderPicker::ValidateFolderPath(typed) != 0) {
    pathBox_->setFocus();
    return;
  }
  chosen_ = typed;
  // Past QFileDialog::accept, which would refuse an existing file and re-check the folder.
  QDialog::accept();
}

void FolderPickerDialog::showEvent(QShowEvent* event) {
  QFileDialog::showEvent(event);
  if (usualSize_.isEmpty()) {
    usualSize_ = size();
    resize(usualSize_.width() * 3 / 2, usualSize_.height() * 3 / 2);
    if (layout() != nullptr) layout()->activate();
    widenDetailColumns();
  }
}

void FolderPickerDialog::widenDetailColumns() {
  // The columns keep their usual widths and would leave the grown list half empty while the
  // dates are cut short; spread the new room over them. Widths that already fill the list, as
  // Qt restores them from an earlier use, are left alone, so they never grow from use to use.
  auto* tree = findChild<QTreeView*>(QStringLiteral("treeView"));
  if (tree == nullptr) return;
  QHeaderView* header = tree->header();
  int total = 0;
  for (int i = 0; i < header->count(); ++i)
    if (!header->isSectionHidden(i)) total += header->sectionSize(i);
  const int room = tree->viewport()->width();
  if (total <= 0 || total >= room) return;
  for (int i = 0; i < header->count(); ++i)
    if (!header->isSectionHidden(i))
      header->resizeSection(i, int(qint64(header->sectionSize(i)) * room / total));
}

FolderPicker::FolderPicker(const QString& caption, const QString& prompt, const QString& initialFolder,
                           QWidget* owner) {
  request_.caption = caption;
  request_.prompt = prompt;
  request_.initialFolder = initialFolder;
  request_.owner = owner;
}

std::unique_ptr<FolderPickerDialog> FolderPicker::createDialog() const {
  // A child window's own top-level window owns the dialog.
  QWidget* owner = request_.owner != nullptr ? request_.owner->window() : nullptr;
  return std::make_unique<FolderPickerDialog>(request_.caption, request_.prompt, request_.initialFolder,
                                              owner);
}

int FolderPicker::Browse() {
  path_.clear();
  if (const Responder& respond = testResponder()) {
    const Answer answer = respond(request_);
    if (!answer.accepted) return -1;
    path_ = answer.path;
    return 1;
  }
  const std::unique_ptr<FolderPickerDialog> dlg = createDialog();
  if (dlg->exec() != QDialog::Accepted || dlg->chosenPath().isEmpty()) return -1;
  path_ = dlg->chosenPath();
  return 1;
}

int FolderPicker::ValidateFolderPath(const QString& path) {
  // The existence test takes files as well as folders; a file chosen as the folder to search
  // simply holds no media files.
  if (!path.isEmpty() && QFileInfo::exists(path) && syntaxOk(path)) return 0;
  mv::showWarning(QCoreApplication::translate("mvgui::FolderPicker", kInvalidFolder).arg(path).toStdString());
  return 1;
}

void FolderPicker::setTestResponder(Responder responder) { testResponder() = std::move(responder); }

}  // namespace mvgui
