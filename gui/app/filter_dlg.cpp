#include "app/filter_dlg.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "settings/para_block.h"
#include "widgets/dialog_units.h"

namespace mvgui {

CFilterDlg::CFilterDlg(QWidget* parent, int mode) : QDialog(parent), mode_(mode) {
  setWindowTitle(tr("数据筛选"));
  setFont(dialogFont());
  const DialogUnits du = DialogUnits::of(font());
  setFixedSize(du.x(191), du.y(45));

  label_ = new QLabel(mode_ == 1 ? tr("突出显示码率最大的") : tr("突出显示码率最小的"), this);
  label_->setObjectName("1051");
  label_->setGeometry(du.rect(7, 18, 73, 8));
  // The edit and its up-down arrows are one QSpinBox here; together they cover both places.
  spin_ = new QSpinBox(this);
  spin_->setObjectName("1049");
  spin_->setGeometry(du.rect(83, 16, 33, 12));
  // Qt's frame and arrows take more room than the original's; keep the two digits visible.
  spin_->setStyleSheet("QSpinBox { padding: 0px 1px; }");
  spin_->setAlignment(Qt::AlignRight);
  spin_->setRange(1, 99);
  spin_->setGroupSeparatorShown(false);
  spin_->setValue(mv::paraBlock().GetInt(mode_ == 1 ? mv::PARA_TOP_POINTS : mv::PARA_BOTTOM_POINTS));
  auto* unit = new QLabel(tr("点"), this);
  unit->setGeometry(du.rect(119, 18, 12, 8));

  auto* ok = new QPushButton(tr("确定"), this);
  ok->setObjectName("IDOK");
  ok->setGeometry(du.rect(134, 7, 50, 14));
  ok->setDefault(true);
  auto* cancel = new QPushButton(tr("放弃"), this);
  cancel->setObjectName("IDCANCEL");
  cancel->setGeometry(du.rect(134, 24, 50, 14));
  connect(ok, &QPushButton::clicked, this, &CFilterDlg::OnOK);
  connect(cancel, &QPushButton::clicked, this, &CFilterDlg::OnCancel);
}

void CFilterDlg::OnOK() {
  spin_->interpretText();
  const int count = std::clamp(spin_->value(), 1, 99);
  mv::paraBlock().SetInt(mode_ == 1 ? mv::PARA_TOP_POINTS : mv::PARA_BOTTOM_POINTS, count);
  accept();
}

}  // namespace mvgui
