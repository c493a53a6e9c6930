#pragma once
// The rows of the statistics list and the colour of each cell. Colours are not stored: they are
// decided whenever the view asks, from the two slots' current video series and thresholds, so a
// change of thresholds or of the shown item needs only a repaint.
#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "analysis/file_slot.h"

namespace mvgui {

class StatListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit StatListModel(QObject* parent = nullptr);

  // The slots whose video series mark columns 1 and 4; none until they are set. A null slot
  // counts as empty.
  void setSlots(const mv::FileSlot* file1, const mv::FileSlot* file2);

  // One row per second of the longer loaded slot, its time in the first column and each slot's
  // video, audio and total rates in its three columns while it has that second. Nothing is
  // stored: cells are written when the view asks, so a series of millions of seconds costs only
  // its series. Call again when a slot changes. The stored-row calls below end this view.
  void showSeconds();
  bool showsSeconds() const { return seconds_; }

  // Appends a column; returns its index.
  int appendColumn(const QString& title, Qt::Alignment alignment);
  Qt::Alignment columnAlignment(int column) const;

  // Inserts a row whose first cell is `firstText` at the place that keeps the rows in
  // ascending order of their first cells, after any equal ones; returns that place.
  int insertSorted(const QString& firstText);
  bool setCellText(int row, int column, const QString& text);
  // Empty for a cell that does not exist.
  QString cellText(int row, int column) const;
  bool removeRowAt(int row);
  int removeAllRows();

  // -1 none, 0 video, 1 audio, 2 total.
  void setHighlightedItem(int item);
  int highlightedItem() const { return highlightedItem_; }

  QColor cellBackground(int row, int column) const;
  // The row is coloured as a zero, highest or lowest second of either file.
  bool isMarkedRow(int row) const;
  // The colour of a column where it has no cells: below the last row.
  static QColor stripeColour(int column);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Longest tool tip of a cell, in characters.
  static constexpr int kToolTipLength = 79;

 private:
  struct Column {
    QString title;
    Qt::Alignment alignment;
  };
  // Index into the brush table used by data(); one per colour a cell can have.
  int backgroundIndex(int row, int column) const;
  bool isHighlighted(int column) const;
  QString secondText(int row, int column) const;
  void endSeconds();

  std::vector<Column> columns_;
  // Only the cells up to the last one ever written are stored; a row has at least its first.
  std::vector<std::vector<QString>> rows_;
  const mv::FileSlot* slots_[2] = {};
  bool seconds_ = false;
  int secondRows_ = 0;
  int highlightedItem_ = -1;
};

}  // namespace mvgui
