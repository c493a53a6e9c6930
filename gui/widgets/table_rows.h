#pragma once
// Row selection and column widths shared by the per-second list and the frame list.
#include <QTableView>
#include <functional>
#include <vector>

namespace mvgui {

// The selected row, -1 without one.
int selectedRow(const QTableView& view);
// Selects the row and scrolls it into view; a row the model does not have is ignored.
void selectRowShown(QTableView& view, int row);
// Selects the next (or previous) row after the selected one for which `marked` holds; without a
// selection the walk starts at the first (or last) row. False when there is none.
bool selectMarkedRow(QTableView& view, bool forward, const std::function<bool(int)>& marked);

// Keeps the columns at `widths` while the view is narrower than their sum, and wider, shares the
// viewport's width among them in the same proportions. Replaces an earlier call's widths.
void fillWidthWithColumns(QTableView& view, std::vector<int> widths);

}  // namespace mvgui
