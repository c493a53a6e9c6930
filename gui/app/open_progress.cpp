#include "app/open_progress.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressDialog>
#include <algorithm>

#include "app/terminate_signal.h"
#include "widgets/dialog_units.h"

namespace mvgui {
namespace {

constexpr int kSteps = 1000;  // finer than percent, so a multi-gigabyte file still moves the bar

}  // namespace

OpenProgress::OpenProgress(QWidget* window, const QString& path, std::chrono::milliseconds delay)
    : window_(window), path_(path), delay_(delay) {
  clock_.start();
}

OpenProgress::~OpenProgress() {
  dialog_.reset();
  if (cursorPushed_) QGuiApplication::restoreOverrideCursor();
}

bool OpenProgress::Continue(uint64_t done, uint64_t total) {
  if (cancelled_ || sessionEnding()) return false;
  if (!dialog_) {
    // No events before the modal window is up: a click must not reach the main window mid-open.
    if (clock_.elapsed() < delay_.count()) return true;
    showWindow();
  }
  const uint64_t part = total ? std::min(done, total) * kSteps / total : 0;
  dialog_->setValue(int(part));
  QCoreApplication::processEvents();
  return !cancelled_ && !sessionEnding();
}

void OpenProgress::showWindow() {
  auto* dialog = new QProgressDialog(window_);
  dialog_.reset(dialog);
  dialog->setWindowTitle("Morvatelline");
  dialog->setFont(dialogFont());
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setAutoReset(false);
  dialog->setAutoClose(false);
  dialog->setMinimumDuration(0);
  dialog->setRange(0, kSteps);
  // One width whatever the name, so a long name cannot push the window off the screen.
  const DialogUnits du = DialogUnits::of(dialog->font());
  dialog->setMinimumWidth(du.x(220));
  const QString name = QFileInfo(path_).fileName();
  const QString shown = dialog->fontMetrics().elidedText(name, Qt::ElideMiddle, du.x(200));
  dialog->setLabelText(QCoreApplication::translate("mvgui::OpenProgress", "正在读取文件…\n%1").arg(shown));
  dialog->setCancelButtonText(QCoreApplication::translate("mvgui::OpenProgress", "取消"));
  // Escape and the title bar's close button stop the load as Cancel does.
  QObject::connect(dialog, &QProgressDialog::canceled, [this] { cancelled_ = true; });
  QObject::connect(dialog, &QDialog::rejected, [this] { cancelled_ = true; });
  dialog->show();
  // The wait cursor of the open would hide that Cancel can be pressed.
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  cursorPushed_ = true;
}

}  // namespace mvgui
