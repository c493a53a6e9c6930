#include "app/track_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/track_layers.h"
#include "widgets/dialog_units.h"

namespace mvgui {
namespace {

// Rows as high as the font's whole line: the dialog font draws an underscore below the height
// a row is given by default, and "V_MPEG4/ISO/AVC" would read "V MPEG4/ISO/AVC".
class WholeLineRows : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QFontMetrics metrics(option.font);
    size.setHeight(std::max(size.height(), metrics.lineSpacing() + metrics.descent() + 2));
    return size;
  }
};

}  // namespace

TrackDialog::TrackDialog(const mv::FileAnalysis& analysis, QWidget* parent)
    : QDialog(parent), analysis_(analysis) {
  setWindowTitle(tr("选择轨道"));
  setFont(dialogFont());
  const DialogUnits du = DialogUnits::of(font());
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
  column->setSpacing(du.y(4));

  table_ = new QTreeWidget(this);
  table_->setObjectName("trackTable");
  table_->setRootIsDecorated(false);
  table_->setAllColumnsShowFocus(true);
  table_->setItemDelegate(new WholeLineRows(table_));
  table_->setHeaderLabels({tr("编号"), tr("类型"), tr("编码"), tr("语言"), tr("名称"), tr("字节")});
  const bool programs = std::any_of(analysis.tracks.begin(), analysis.tracks.end(),
                                    [](const mv::Track& t) { return t.program; });
  if (programs) table_->headerItem()->setText(6, tr("节目"));
  const QLocale locale;
  for (size_t i = 0; i < analysis.tracks.size(); ++i) {
    const mv::Track& t = analysis.tracks[i];
    auto* row = new QTreeWidgetItem(table_);
    row->setText(0, QString::number(i));  // as the CLI and the reports number them
    row->setToolTip(0, tr("容器中的编号 %1").arg(t.id));
    row->setText(1, trackKindText(t.kind));
    row->setText(2, QString::fromStdString(t.codec));
    row->setText(3, QString::fromStdString(t.language));
    row->setText(4, QString::fromStdString(t.name));
    row->setText(5, locale.toString(qulonglong(t.bytes)));
    row->setTextAlignment(5, Qt::AlignRight | Qt::AlignVCenter);
    if (programs && t.program) row->setText(6, QString::number(t.program));
  }
  for (int c = 0; c < table_->columnCount(); ++c) table_->resizeColumnToContents(c);
  table_->header()->setStretchLastSection(false);
  table_->header()->setSectionResizeMode(4, QHeaderView::Stretch);
  table_->setMinimumSize(du.x(260), du.y(70));
  column->addWidget(table_, 1);

  auto* boxes = new QFormLayout;
  boxes->setHorizontalSpacing(du.x(4));
  video_ = trackBox(mv::TrackKind::Video, analysis.videoTrack, analysis.defaultVideo);
  audio_ = trackBox(mv::TrackKind::Audio, analysis.audioTrack, analysis.defaultAudio);
  video_->setObjectName("videoTrack");
  audio_->setObjectName("audioTrack");
  boxes->addRow(tr("视频码率计入:"), video_);
  boxes->addRow(tr("音频码率计入:"), audio_);
  column->addLayout(boxes);
  // A click on a video or audio row chooses it in its box.
  connect(table_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    const int index = table_->indexOfTopLevelItem(item);
    if (index < 0 || size_t(index) >= analysis_.tracks.size()) return;
    const mv::TrackKind kind = analysis_.tracks[size_t(index)].kind;
    QComboBox* box = kind == mv::TrackKind::Video ? video_ : kind == mv::TrackKind::Audio ? audio_ : nullptr;
    if (box) box->setCurrentIndex(std::max(0, box->findData(index)));
  });

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(tr("放弃"), QDialogButtonBox::RejectRole);
  ok->setObjectName("IDOK");
  cancel->setObjectName("IDCANCEL");
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  column->addWidget(buttons);
  resize(std::max(sizeHint().width(), du.x(300)), du.y(160));
}

QComboBox* TrackDialog::trackBox(mv::TrackKind kind, int chosen, int byDefault) {
  auto* box = new QComboBox(this);
  box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  box->addItem(tr("无"), -1);
  for (size_t i = 0; i < analysis_.tracks.size(); ++i) {
    if (analysis_.tracks[i].kind != kind) continue;
    QString text = trackTitle(analysis_, int(i));
    if (int(i) == byDefault) text += tr("（默认）");
    box->addItem(text, int(i));
  }
  box->setCurrentIndex(std::max(0, box->findData(chosen)));
  return box;
}

int TrackDialog::videoTrack() const { return video_->currentData().toInt(); }

int TrackDialog::audioTrack() const { return audio_->currentData().toInt(); }

}  // namespace mvgui
