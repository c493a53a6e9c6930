#include "widgets/frame_list.h"

#include <QBrush>
#include <QCoreApplication>
#include <QHeaderView>
#include <algorithm>
#include <cmath>

#include "widgets/file_colours.h"
#include "widgets/table_rows.h"

namespace mvgui {
namespace {

constexpr int kColumnsPerFile = 3;
// Light orange: yellow marks the highest seconds.
const QColor kKeyTint(255, 216, 168);

}  // namespace

QString frameTimeText(double seconds) {
  const int64_t ms = std::max<int64_t>(0, std::llround(seconds * 1000.0));
  return QString::asprintf("%02lld:%02lld:%02lld.%03lld", (long long)(ms / 3600000),
                           (long long)(ms / 60000 % 60), (long long)(ms / 1000 % 60), (long long)(ms % 1000));
}

void FrameListModel::reset(const std::array<const FrameData*, 2>& files, bool gops) {
  beginResetModel();
  files_ = files;
  gops_ = gops;
  for (size_t k = 0; k < 2; ++k)
    typed_[k] = files[k] && std::any_of(files[k]->frames.begin(), files[k]->frames.end(),
                                        [](const mv::VideoFrame& v) { return v.type != 0; });
  endResetModel();
}

int FrameListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  size_t rows = 0;
  for (const FrameData* f : files_)
    if (f) rows = std::max(rows, gops_ ? f->gops.size() : f->frames.size());
  return int(std::min<size_t>(rows, INT32_MAX));
}

int FrameListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1 + 2 * kColumnsPerFile;
}

bool FrameListModel::isKeyRow(int slot, int row) const {
  const FrameData* f = files_[size_t(slot & 1)];
  if (!f || row < 0) return false;
  if (gops_) return size_t(row) < f->gops.size() && f->frames[f->gops[size_t(row)].firstFrame].key;
  return size_t(row) < f->frames.size() && f->frames[size_t(row)].key;
}

bool FrameListModel::isIntraRow(int slot, int row) const {
  const FrameData* f = files_[size_t(slot & 1)];
  if (gops_ || !typed_[size_t(slot & 1)]) return isKeyRow(slot, row);
  return row >= 0 && size_t(row) < f->frames.size() && f->frames[size_t(row)].type == 'I';
}

QVariant FrameListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = index.row(), column = index.column();
  const int slot = column == 0 ? -1 : (column - 1) / kColumnsPerFile;
  const int field = column == 0 ? -1 : (column - 1) % kColumnsPerFile;
  if (role == Qt::TextAlignmentRole)
    return int((column == 0 ? Qt::AlignHCenter : Qt::AlignRight) | Qt::AlignVCenter);
  if (role == Qt::BackgroundRole) {
    if (slot < 0) return {};
    if (isKeyRow(slot, row) && !gops_) return QBrush(kKeyTint);
    return field == 1 ? QBrush(kFileColour[slot]) : QVariant();
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  if (column == 0) return role == Qt::DisplayRole ? QVariant(row + 1) : QVariant();
  const FrameData* f = files_[size_t(slot)];
  if (!f) return {};
  if (gops_) {
    if (size_t(row) >= f->gops.size()) return {};
    const mv::Gop& g = f->gops[size_t(row)];
    if (role == Qt::ToolTipRole && field != 2) return {};
    if (field == 0) return frameTimeText(f->frames[g.firstFrame].seconds);
    if (field == 1) return QString::number(g.bytes);
    // Its length, open or closed, then its pictures as their types say ("IBBPBBP"), where
    // they were read; the tip has the whole structure when the column cuts it.
    const std::optional<bool> open = mv::isOpenGop(f->frames, g);
    if (!open) return role == Qt::ToolTipRole ? QVariant() : QVariant(g.frames);
    const QString kind = *open ? tr("开放") : tr("封闭");
    const QString structure = QString::fromStdString(mv::gopStructure(f->frames, g));
    if (role == Qt::ToolTipRole) return tr("%n 帧，%1 GOP：%2", nullptr, int(g.frames)).arg(kind, structure);
    return QString("%1 %2 %3").arg(g.frames).arg(kind, structure);
  }
  if (size_t(row) >= f->frames.size() || role == Qt::ToolTipRole) return {};
  const mv::VideoFrame& v = f->frames[size_t(row)];
  if (field == 0) return frameTimeText(v.seconds);
  if (field == 1) return QString::number(v.bytes);
  const QString type = v.type ? QString(QChar(v.type)) : QString();
  if (!v.key) return type;
  return type.isEmpty() ? tr("关键帧") : type + ' ' + tr("关键帧");
}

QVariant FrameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == 0) return gops_ ? tr("GOP") : tr("帧");
  switch ((section - 1) % kColumnsPerFile) {
    case 0:
      return tr("时间");
    case 1:
      return tr("字节");
    default:
      return gops_ ? tr("帧数") : tr("类型");
  }
}

FrameList::FrameList(QWidget* parent) : QTableView(parent), model_(new FrameListModel(this)) {
  setModel(model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTabKeyNavigation(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setHighlightSections(false);
  fillWidthWithColumns(*this, {80, 95, 95, 95, 95, 95, 95});
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& now) { emit rowSelected(now.isValid() ? now.row() : -1); });
}

int FrameList::selectedRow() const { return mvgui::selectedRow(*this); }

void FrameList::selectRowShown(int row) { mvgui::selectRowShown(*this, row); }

bool FrameList::selectIntraRow(bool forward) {
  return mvgui::selectMarkedRow(
      *this, forward, [this](int r) { return model_->isIntraRow(0, r) || model_->isIntraRow(1, r); });
}

}  // namespace mvgui
