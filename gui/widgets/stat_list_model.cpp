#include "widgets/stat_list_model.h"

#include <QBrush>
#include <algorithm>

#include "media/per_second_series.h"
#include "media/statistics.h"
#include "widgets/file_colours.h"

namespace mvgui {

namespace {

enum Shade { kWhite, kStripe, kFile1, kFile2, kZero, kHighest, kLowest, kShadeCount };

const QColor& shadeColour(int shade) {
  static const QColor colours[kShadeCount] = {
      QColor(255, 255, 255), QColor(247, 247, 247), kFileColour[0],   kFileColour[1],
      QColor(255, 0, 0),     QColor(255, 255, 0),   QColor(0, 255, 0)};
  return colours[shade];
}

// Brushes built once, so that answering the view while it paints allocates nothing.
const QBrush& shadeBrush(int shade) {
  static const QBrush brushes[kShadeCount] = {
      QBrush(shadeColour(0)), QBrush(shadeColour(1)), QBrush(shadeColour(2)), QBrush(shadeColour(3)),
      QBrush(shadeColour(4)), QBrush(shadeColour(5)), QBrush(shadeColour(6))};
  return brushes[shade];
}

const QBrush& textBrush() {
  static const QBrush black(QColor(0, 0, 0));
  return black;
}

bool isFile1Column(int column) { return column >= 1 && column <= 3; }

}  // namespace

StatListModel::StatListModel(QObject* parent) : QAbstractTableModel(parent) {}

void StatListModel::setSlots(const mv::FileSlot* file1, const mv::FileSlot* file2) {
  slots_[0] = file1;
  slots_[1] = file2;
}

namespace {

// Seconds of a slot the list shows; 0 for an empty slot.
int shownSeconds(const mv::FileSlot* slot) {
  if (slot == nullptr || !slot->isLoaded()) return 0;
  return std::max(0, int(slot->elementCount()) - int(mv::kFirstSecond));
}

}  // namespace

void StatListModel::showSeconds() {
  if (!seconds_) {
    beginResetModel();
    rows_.clear();
    seconds_ = true;
    secondRows_ = 0;
    endResetModel();
  }
  // Rows are added or taken at the end, as the filled list did, so the view keeps its place.
  const int rows = std::max(shownSeconds(slots_[0]), shownSeconds(slots_[1]));
  if (rows > secondRows_) {
    beginInsertRows(QModelIndex(), secondRows_, rows - 1);
    secondRows_ = rows;
    endInsertRows();
  } else if (rows < secondRows_) {
    beginRemoveRows(QModelIndex(), rows, secondRows_ - 1);
    secondRows_ = rows;
    endRemoveRows();
  }
  if (rows > 0 && !columns_.empty()) emit dataChanged(index(0, 0), index(rows - 1, int(columns_.size()) - 1));
}

void StatListModel::endSeconds() {
  if (!seconds_) return;
  beginResetModel();
  seconds_ = false;
  secondRows_ = 0;
  endResetModel();
}

QString StatListModel::secondText(int row, int column) const {
  if (row < 0 || row >= secondRows_ || column < 0 || column >= int(columns_.size())) return {};
  const auto element = uint32_t(row) + mv::kFirstSecond;
  if (column == 0) return QString::fromStdString(mv::rowLabel(element));
  if (column > 6) return {};
  const mv::FileSlot* slot = slots_[column <= 3 ? 0 : 1];
  if (row >= shownSeconds(slot)) return {};
  return QString::asprintf("%.2f", mv::cellValue(*slot, element, (column - 1) % 3));
}

int StatListModel::appendColumn(const QString& title, Qt::Alignment alignment) {
  const int index = int(columns_.size());
  beginInsertColumns(QModelIndex(), index, index);
  columns_.push_back({title, alignment});
  endInsertColumns();
  return index;
}

Qt::Alignment StatListModel::columnAlignment(int column) const {
  if (column < 0 || column >= int(columns_.size())) return Qt::AlignLeft;
  return columns_[size_t(column)].alignment;
}

namespace {

bool isTimeText(const QString& s) {
  return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) { return c.isDigit() || c == ':'; });
}

// Ascending by the first column's text, case-insensitive like the list this stands in for. Times
// of 100 hours and more have a longer hour field: the longer time text is the later one, so rows
// stay in time order where a plain text comparison would put "100:00:00" before "10:00:00".
bool lessRowText(const QString& a, const QString& b) {
  if (a.size() != b.size() && isTimeText(a) && isTimeText(b)) return a.size() < b.size();
  return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

}  // namespace

int StatListModel::insertSorted(const QString& firstText) {
  endSeconds();
  const auto place = std::upper_bound(
      rows_.begin(), rows_.end(), firstText,
      [](const QString& text, const std::vector<QString>& row) { return lessRowText(text, row[0]); });
  const int index = int(place - rows_.begin());
  beginInsertRows(QModelIndex(), index, index);
  rows_.insert(place, std::vector<QString>{firstText});
  endInsertRows();
  return index;
}

bool StatListModel::setCellText(int row, int column, const QString& text) {
  endSeconds();
  if (row < 0 || row >= int(rows_.size()) || column < 0 || column >= int(columns_.size())) return false;
  auto& cells = rows_[size_t(row)];
  if (size_t(column) >= cells.size()) {
    if (text.isEmpty()) return true;  // an absent cell already reads as empty
    cells.resize(size_t(column) + 1);
  }
  cells[size_t(column)] = text;
  const QModelIndex at = index(row, column);
  emit dataChanged(at, at, {Qt::DisplayRole, Qt::ToolTipRole});
  return true;
}

QString StatListModel::cellText(int row, int column) const {
  if (seconds_) return secondText(row, column);
  if (row < 0 || row >= int(rows_.size()) || column < 0) return {};
  const auto& cells = rows_[size_t(row)];
  return size_t(column) < cells.size() ? cells[size_t(column)] : QString();
}

bool StatListModel::removeRowAt(int row) {
  endSeconds();
  if (row < 0 || row >= int(rows_.size())) return false;
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
  return true;
}

int StatListModel::removeAllRows() {
  if (seconds_) {
    const int count = secondRows_;
    endSeconds();
    return count;
  }
  const int count = int(rows_.size());
  if (count == 0) return 0;
  beginRemoveRows(QModelIndex(), 0, count - 1);
  rows_.clear();
  endRemoveRows();
  return count;
}

void StatListModel::setHighlightedItem(int item) {
  highlightedItem_ = item;
  if (rowCount() > 0 && !columns_.empty())
    emit dataChanged(index(0, 0), index(rowCount() - 1, int(columns_.size()) - 1), {Qt::BackgroundRole});
}

bool StatListModel::isHighlighted(int column) const {
  // A column of an empty slot stays plain even when its item is the one shown.
  return highlightedItem_ >= 0 && column >= 1 && column <= 6 && (column - 1) % 3 == highlightedItem_ &&
         !cellText(0, column).isEmpty();
}

int StatListModel::backgroundIndex(int row, int column) const {
  int shade;
  if (isHighlighted(column))
    shade = isFile1Column(column) ? kFile1 : kFile2;
  else
    shade = isFile1Column(column) ? kStripe : kWhite;

  if (column != 1 && column != 4) return shade;
  const mv::FileSlot* slot = slots_[column == 1 ? 0 : 1];
  if (slot == nullptr || !slot->analysis.videoSeries) return shade;
  const mv::PerSecondSeries& series = *slot->analysis.videoSeries;
  // Only the inner seconds are marked, those the thresholds were taken from: rows 1 to N - 10.
  // A series too short to have inner seconds marks nothing, and rows of the longer file beyond
  // this one's end stay plain.
  const uint32_t n = series.elementCount();
  const auto r = uint32_t(row);
  if (r == 0 || n < 10 || r >= n - 9) return shade;
  const size_t element = size_t(r) + mv::kFirstSecond;
  if (element >= series.capacity()) return shade;
  const uint32_t v = series[element];
  if (v == 0) return kZero;
  if (v >= series[mv::kHighThreshold]) return kHighest;
  if (v <= series[mv::kLowThreshold]) return kLowest;
  return shade;
}

QColor StatListModel::cellBackground(int row, int column) const {
  return shadeColour(backgroundIndex(row, column));
}

bool StatListModel::isMarkedRow(int row) const {
  for (int column : {1, 4}) {
    const int shade = backgroundIndex(row, column);
    if (shade == kZero || shade == kHighest || shade == kLowest) return true;
  }
  return false;
}

QColor StatListModel::stripeColour(int column) {
  return shadeColour(isFile1Column(column) ? kStripe : kWhite);
}

int StatListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return seconds_ ? secondRows_ : int(rows_.size());
}

int StatListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(columns_.size());
}

QVariant StatListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= int(columns_.size())) return {};
  switch (role) {
    case Qt::DisplayRole:
      return cellText(index.row(), index.column());
    case Qt::ToolTipRole: {
      const QString text = cellText(index.row(), index.column());
      if (text.isEmpty()) return {};
      return text.left(kToolTipLength);
    }
    case Qt::TextAlignmentRole:
      return int(columns_[size_t(index.column())].alignment | Qt::AlignVCenter);
    case Qt::BackgroundRole:
      return QVariant::fromValue(shadeBrush(backgroundIndex(index.row(), index.column())));
    case Qt::ForegroundRole:
      return QVariant::fromValue(textBrush());
    default:
      return {};
  }
}

QVariant StatListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= int(columns_.size()))
    return QAbstractTableModel::headerData(section, orientation, role);
  switch (role) {
    case Qt::DisplayRole:
      return columns_[size_t(section)].title;
    case Qt::TextAlignmentRole:
      return int(columns_[size_t(section)].alignment | Qt::AlignVCenter);
    default:
      return {};
  }
}

Qt::ItemFlags StatListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace mvgui
