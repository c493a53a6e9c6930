#pragma once
// A dialog that never gets smaller than it was created and tells its subclass how far its right
// and bottom edges moved, so that controls can follow them.
#include <QDialog>

namespace mvgui {

class CResizableDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CResizableDlg(QWidget* parent = nullptr) : QDialog(parent) {}

 protected:
  // Called once the dialog has its created size (first show): records the minimum.
  virtual void OnInitDialog();
  virtual void OnControlsMove(int dx, int dy) = 0;

  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

  QSize minimumTrackSize_;  // empty until initialised
  QRect clientRect_;

 private:
  bool initialised_ = false;
};

}  // namespace mvgui
