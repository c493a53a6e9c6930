#include "widgets/table_rows.h"

#include <QItemSelectionModel>

namespace mvgui {

int selectedRow(const QTableView& view) {
  const QModelIndexList rows = view.selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void selectRowShown(QTableView& view, int row) {
  if (row < 0 || row >= view.model()->rowCount()) return;
  const QModelIndex at = view.model()->index(row, 0);
  view.selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view.scrollTo(at);
}

bool selectMarkedRow(QTableView& view, bool forward, const std::function<bool(int)>& marked) {
  const int rows = view.model()->rowCount();
  const int from = selectedRow(view);
  for (int r = forward ? from + 1 : (from < 0 ? rows - 1 : from - 1); r >= 0 && r < rows;
       r += forward ? 1 : -1) {
    if (marked(r)) {
      selectRowShown(view, r);
      return true;
    }
  }
  return false;
}

}  // namespace mvgui
