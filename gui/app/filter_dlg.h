#pragma once
// "数据筛选": how many of the highest (mode 1) or lowest (mode 0) seconds are marked.
#include <QDialog>

class QLabel;
class QSpinBox;

namespace mvgui {

class CFilterDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CFilterDlg(QWidget* parent = nullptr, int mode = 1);

  int mode() const { return mode_; }
  QSpinBox* spinBox() const { return spin_; }

 public slots:
  // Stores the count (kept within 1 to 99) and closes with OK.
  void OnOK();
  void OnCancel() { reject(); }

 private:
  int mode_;
  QLabel* label_;
  QSpinBox* spin_;
};

}  // namespace mvgui
