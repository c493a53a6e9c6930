#include "widgets/single_file_sel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QStackedWidget>
#include <algorithm>

namespace mvgui {

namespace {

CSingleFileSel::Responder& testResponder() {
  static CSingleFileSel::Responder responder;
  return responder;
}

// The top-left corner that centres `size` over `owner`'s window, or over the screen without an
// owner, kept inside the available screen area.
QPoint centredPosition(QSize size, const QWidget* owner) {
  const QWidget* window = owner != nullptr ? owner->window() : nullptr;
  QScreen* screen = window != nullptr ? window->screen() : QGuiApplication::primaryScreen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
  const QPoint centre = window != nullptr ? window->frameGeometry().center() : available.center();
  QPoint topLeft(centre.x() - size.width() / 2, centre.y() - size.height() / 2);
  if (available.isValid()) {
    topLeft.setX(std::max(available.left(), std::min(topLeft.x(), available.right() + 1 - size.width())));
    topLeft.setY(std::max(available.top(), std::min(topLeft.y(), available.bottom() + 1 - size.height())));
  }
  return topLeft;
}

// Once the dialog is laid out for its first showing, but before it reaches the screen: the file
// list gets its own height again (the layout hands all extra height to it, so the fields and the
// buttons keep theirs below it) and the dialog is centred over its owner.
class ShowFitter : public QObject {
 public:
  ShowFitter(QFileDialog* dialog, const QWidget* owner) : QObject(dialog), dialog_(dialog), owner_(owner) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == dialog_ && event->type() == QEvent::Show && !done_) {
      done_ = true;
      if (const auto* list = dialog_->findChild<QStackedWidget*>(QStringLiteral("stackedWidget")))
        dialog_->resize(dialog_->width(), dialog_->height() + list->height());
      dialog_->move(centredPosition(dialog_->size(), owner_));
    }
    return false;
  }

 private:
  QFileDialog* dialog_;
  const QWidget* owner_;
  bool done_ = false;
};

}  // namespace

CSingleFileSel::CSingleFileSel(bool openMode, const QString& defaultExtension, const QString& initialName,
                               unsigned flags, const QString& filter, QWidget* owner) {
  request_.openMode = openMode;
  request_.defaultExtension = defaultExtension;
  request_.initialName = initialName;
  request_.flags = flags;
  request_.filter = filter;
  request_.owner = owner;
}

namespace {

// The filters are written in English words ("Avi Files(*.avi)"); the dialog speaks the window's
// language.
QString describe(const QString& description) {
  static const QRegularExpression words(QStringLiteral(R"(^(.*?)\s*\b(Files?|Image)\s*(\(.*\))?$)"));
  const QRegularExpressionMatch m = words.match(description);
  if (!m.hasMatch()) return description;
  const QString name = m.captured(1);
  QString text;
  if (name == QLatin1String("Supported"))
    text = QCoreApplication::translate("mvgui::CSingleFileSel", "支持的文件");
  else if (name == QLatin1String("All"))
    text = QCoreApplication::translate("mvgui::CSingleFileSel", "所有文件");
  else if (name == QLatin1String("Text"))
    text = QCoreApplication::translate("mvgui::CSingleFileSel", "文本文件");
  else if (name == QLatin1String("Elementary Stream"))
    text = QCoreApplication::translate("mvgui::CSingleFileSel", "基本流文件");
  else if (m.captured(2) == QLatin1String("Image"))
    text = QCoreApplication::translate("mvgui::CSingleFileSel", "%1 图像").arg(name);
  else
    text = QCoreApplication::translate("mvgui::CSingleFileSel", "%1 文件").arg(name);
  return text + m.captured(3);
}

}  // namespace

QStringList CSingleFileSel::nameFiltersOf(const QString& filter) {
  QStringList result;
  const QStringList parts = filter.split('|');
  // The list ends at the first empty description, as the double terminator does on Windows; a
  // description without its pattern is dropped.
  for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2) {
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      const QString pattern = p.trimmed();
      if (pattern.isEmpty()) continue;
      // On Windows "*.*" also matches names without a dot.
      patterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    }
    if (patterns.isEmpty()) continue;
    result << describe(parts[i]) + " (" + patterns.join(' ') + ")";
  }
  return result;
}

std::unique_ptr<QFileDialog> CSingleFileSel::createDialog() const {
  auto dlg = std::make_unique<QFileDialog>(request_.owner);
  dlg->setOption(QFileDialog::DontUseNativeDialog, true);
  // The descriptions already name their patterns.
  dlg->setOption(QFileDialog::HideNameFilterDetails, true);
  if (request_.openMode) {
    dlg->setAcceptMode(QFileDialog::AcceptOpen);
    dlg->setFileMode((request_.flags & FileMustExist) != 0 ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
  } else {
    dlg->setAcceptMode(QFileDialog::AcceptSave);
    dlg->setFileMode(QFileDialog::AnyFile);
    dlg->setOption(QFileDialog::DontConfirmOverwrite, (request_.flags & OverwritePrompt) == 0);
  }
  if (!request_.title.isEmpty()) dlg->setWindowTitle(request_.title);
  const QStringList filters = nameFiltersOf(request_.filter);
  if (!filters.isEmpty()) dlg->setNameFilters(filters);
  QString extension = request_.defaultExtension;
  while (extension.startsWith('.')) extension.remove(0, 1);
  if (!extension.isEmpty()) dlg->setDefaultSuffix(extension);
  if (!request_.folder.isEmpty() && !request_.initialName.contains('/')) dlg->setDirectory(request_.folder);
  if (!request_.initialName.isEmpty()) {
    const QFileInfo initial(request_.initialName);
    if (request_.initialName.contains('/')) dlg->setDirectory(initial.absolutePath());
    dlg->selectFile(initial.fileName());
  }

  dlg->installEventFilter(new ShowFitter(dlg.get(), request_.owner));
  return dlg;
}

int CSingleFileSel::DoModal() {
  path_.clear();
  request_.flags |= DontAddToRecent;
  if (const Responder& respond = testResponder()) {
    const Answer answer = respond(request_);
    if (!answer.accepted) return QDialog::Rejected;
    path_ = answer.path;
    return QDialog::Accepted;
  }
  const std::unique_ptr<QFileDialog> dlg = createDialog();
  if (dlg->exec() != QDialog::Accepted) return QDialog::Rejected;
  const QStringList chosen = dlg->selectedFiles();
  if (chosen.isEmpty()) return QDialog::Rejected;
  path_ = chosen.first();
  return QDialog::Accepted;
}

void CSingleFileSel::setTestResponder(Responder responder) { testResponder() = std::move(responder); }

}  // namespace mvgui
