#include "widgets/table_rows.h"

#include <QEvent>
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

namespace {

class ColumnFill : public QObject {
 public:
  ColumnFill(QTableView& view, std::vector<int> widths)
      : QObject(&view), view_(view), widths_(std::move(widths)) {
    setObjectName(QStringLiteral("columnFill"));
    view.viewport()->installEventFilter(this);
    apply();
  }
  void setWidths(std::vector<int> widths) {
    widths_ = std::move(widths);
    apply();
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize) apply();
    return false;
  }

 private:
  void apply() {
    int64_t sum = 0;
    for (int w : widths_) sum += w;
    const int room = view_.viewport()->width();
    if (sum <= 0) return;
    int64_t given = 0;
    const int columns = int(widths_.size());
    for (int c = 0; c < columns; ++c) {
      // The last column takes what rounding left, so that the columns end at the edge.
      int w = room <= sum       ? widths_[size_t(c)]
              : c + 1 < columns ? int(int64_t(widths_[size_t(c)]) * room / sum)
                                : int(room - given);
      given += w;
      view_.setColumnWidth(c, w);
    }
  }

  QTableView& view_;
  std::vector<int> widths_;
};

}  // namespace

void fillWidthWithColumns(QTableView& view, std::vector<int> widths) {
  if (auto* fill = view.findChild<ColumnFill*>(QStringLiteral("columnFill"), Qt::FindDirectChildrenOnly))
    fill->setWidths(std::move(widths));
  else
    new ColumnFill(view, std::move(widths));
}

}  // namespace mvgui
