#include "app/resizable_dlg.h"

#include <QResizeEvent>
#include <QShowEvent>

namespace mvgui {

void CResizableDlg::OnInitDialog() {
  minimumTrackSize_ = size();
  clientRect_ = rect();
  setMinimumSize(minimumTrackSize_);
}

void CResizableDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!initialised_) {
    initialised_ = true;
    OnInitDialog();
  }
}

void CResizableDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (minimumTrackSize_.isEmpty() || isMinimized() || event->size().width() < 0 || event->size().height() < 0)
    return;
  const QRect now = rect();
  if (now.right() != clientRect_.right() || now.bottom() != clientRect_.bottom()) {
    OnControlsMove(now.right() - clientRect_.right(), now.bottom() - clientRect_.bottom());
    clientRect_ = now;
  }
}

}  // namespace mvgui
