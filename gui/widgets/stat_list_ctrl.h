#pragma once
// The per-second statistics list below the chart: a time column and the video, audio and total
// rates of both files, with the shown item's columns tinted in their file's colour and the zero,
// highest and lowest seconds of each video column marked red, yellow and green.
#include <QString>
#include <QTableView>

#include "analysis/file_slot.h"

namespace mvgui {

class StatListModel;

class StatListCtrl : public QTableView {
  Q_OBJECT

 public:
  explicit StatListCtrl(QWidget* parent = nullptr);

  // The slots the marks of the video columns are read from; null counts as empty.
  void SetSlots(const mv::FileSlot* file1, const mv::FileSlot* file2);

  // Appends the columns of `spec`: "title, alignment, width; ..." or "title, width; ..."
  // (alignment 1 centred, 2 right, else left; width in pixels, at least 1). Parsing stops at
  // the first description without a comma. 1 on success.
  int SetColumns(const QString& spec);
  void SetGridLines(bool on);

  // Rows stay in ascending order of their first cell whatever `index` says; returns where the
  // row was placed, -1 for a negative index.
  int InsertRow(int index, const QString& firstText);
  int SetCellText(int row, int column, const QString& text);
  // Empty for a cell that does not exist.
  QString GetItemText(int row, int column) const;
  int GetItemCount() const;
  int DeleteRow(int row);
  // Returns the number of rows deleted.
  int DeleteAllRows();
  int ClearSelection();
  // -1 none, 0 video, 1 audio, 2 total; repaints at once.
  void SetHighlightedItem(int item);
  int highlightedItem() const;
  // Repaints at once, e.g. after the thresholds changed.
  void RepaintNow();

  StatListModel* statModel() const { return model_; }
  // The selected row, -1 without one.
  int selectedRow() const;
  // Selects the row and scrolls it into view.
  void selectRowShown(int row);
  // Selects the next (or previous) coloured row after the selected one; false when there is none.
  bool selectMarkedRow(bool forward);

 signals:
  void rowSelected(int row);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void paintBelowLastRow(const QRect& dirty);
  void updateRowHeight();

  StatListModel* model_;
};

}  // namespace mvgui
