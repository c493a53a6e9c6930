#include "widgets/stat_list_ctrl.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <climits>

#include "widgets/stat_list_model.h"
#include "widgets/table_rows.h"

namespace mvgui {

namespace {

constexpr int kMaxColumnWidth = 32767;

// Reads a decimal integer as C's atoi does (leading blanks, an optional sign, digits up to the
// first other character; 0 when there are none), saturating instead of overflowing.
int leadingInt(const QString& text) {
  int i = 0;
  const int n = int(text.size());
  while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i].unicode() - '0');
    if (value > INT_MAX) value = INT_MAX + 1LL;
  }
  if (negative) return value > INT_MAX ? INT_MIN : -int(value);
  return value > INT_MAX ? INT_MAX : int(value);
}

Qt::Alignment alignmentOf(int code) {
  if (code == 1) return Qt::AlignHCenter;
  if (code == 2) return Qt::AlignRight;
  return Qt::AlignLeft;
}

}  // namespace

StatListCtrl::StatListCtrl(QWidget* parent) : QTableView(parent), model_(new StatListModel(this)) {
  setModel(model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTabKeyNavigation(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setShowGrid(false);
  setSortingEnabled(false);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& now) { emit rowSelected(now.isValid() ? now.row() : -1); });

  QHeaderView* rows = verticalHeader();
  rows->hide();
  rows->setMinimumSectionSize(1);
  rows->setSectionResizeMode(QHeaderView::Fixed);

  QHeaderView* columns = horizontalHeader();
  columns->setMinimumSectionSize(1);
  columns->setStretchLastSection(false);
  columns->setHighlightSections(false);
  columns->setSortIndicatorShown(false);
  columns->setSectionsClickable(true);
  // A click on a column title is taken and does nothing: the rows never re-sort and no column
  // is selected.
  disconnect(columns, &QHeaderView::sectionPressed, this, nullptr);
  disconnect(columns, &QHeaderView::sectionEntered, this, nullptr);

  updateRowHeight();
}

void StatListCtrl::SetSlots(const mv::FileSlot* file1, const mv::FileSlot* file2) {
  model_->setSlots(file1, file2);
  viewport()->update();
}

int StatListCtrl::SetColumns(const QString& spec) {
  qsizetype pos = 0;
  std::vector<int> widths;
  for (int c = 0; c < model_->columnCount(); ++c) widths.push_back(horizontalHeader()->sectionSize(c));
  for (;;) {
    const qsizetype semicolon = spec.indexOf(';', pos);
    const QString desc = semicolon < 0 ? spec.mid(pos) : spec.mid(pos, semicolon - pos);
    const qsizetype comma = desc.indexOf(',');
    if (comma < 0) return 1;
    // Titles are taken as written: the blank after a ";" belongs to the next title.
    const QString title = desc.left(comma);
    const qsizetype comma2 = desc.indexOf(',', comma + 1);
    Qt::Alignment alignment = Qt::AlignLeft;
    int width;
    if (comma2 >= 0) {
      alignment = alignmentOf(leadingInt(desc.mid(comma + 1, comma2 - comma - 1)));
      width = leadingInt(desc.mid(comma2 + 1));
    } else {
      width = leadingInt(desc.mid(comma + 1));
    }
    // Bounded above too, so that the header's sums of widths cannot overflow.
    width = std::clamp(width, 1, kMaxColumnWidth);
    const int column = model_->appendColumn(title, alignment);
    horizontalHeader()->resizeSection(column, width);
    widths.push_back(width);
    if (semicolon < 0) {
      fillWidthWithColumns(*this, std::move(widths));
      return 1;
    }
    pos = semicolon + 1;
  }
}

void StatListCtrl::SetGridLines(bool on) {
  setShowGrid(on);
  viewport()->update();
}

int StatListCtrl::InsertRow(int index, const QString& firstText) {
  if (index < 0) return -1;
  return model_->insertSorted(firstText);
}

int StatListCtrl::SetCellText(int row, int column, const QString& text) {
  return model_->setCellText(row, column, text) ? 1 : 0;
}

QString StatListCtrl::GetItemText(int row, int column) const { return model_->cellText(row, column); }

int StatListCtrl::GetItemCount() const { return model_->rowCount(); }

int StatListCtrl::DeleteRow(int row) { return model_->removeRowAt(row) ? 1 : 0; }

int StatListCtrl::DeleteAllRows() { return model_->removeAllRows(); }

int StatListCtrl::ClearSelection() {
  selectionModel()->clearSelection();
  return 1;
}

void StatListCtrl::SetHighlightedItem(int item) {
  model_->setHighlightedItem(item);
  RepaintNow();
}

int StatListCtrl::highlightedItem() const { return model_->highlightedItem(); }

void StatListCtrl::RepaintNow() { viewport()->repaint(); }

void StatListCtrl::paintEvent(QPaintEvent* event) {
  paintBelowLastRow(event->rect());
  QTableView::paintEvent(event);
}

// Continues the column colours (and the grid) into the empty area below the last row, so that a
// short list still reads as columns. Right of the last column stays the plain background.
void StatListCtrl::paintBelowLastRow(const QRect& dirty) {
  const int rows = model_->rowCount();
  int top = 0;
  if (rows > 0) top = rowViewportPosition(rows - 1) + rowHeight(rows - 1);
  const QRect area = QRect(0, top, viewport()->width(), viewport()->height() - top).intersected(dirty);
  if (area.isEmpty()) return;

  QPainter p(viewport());
  p.setClipRect(area);
  QHeaderView* header = horizontalHeader();
  for (int visual = 0; visual < header->count(); ++visual) {
    const int column = header->logicalIndex(visual);
    if (header->isSectionHidden(column)) continue;
    const int left = columnViewportPosition(column);
    p.fillRect(QRect(left, top, columnWidth(column), viewport()->height() - top),
               StatListModel::stripeColour(column));
  }
  if (!showGrid()) return;

  // The same lines the table draws between its cells: right and bottom edge of each cell.
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QColor grid =
      QColor::fromRgba(QRgb(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
  p.setPen(QPen(grid, 0, gridStyle()));
  const int right = header->length() - header->offset() - 1;
  for (int visual = 0; visual < header->count(); ++visual) {
    const int column = header->logicalIndex(visual);
    if (header->isSectionHidden(column)) continue;
    const int x = columnViewportPosition(column) + columnWidth(column) - 1;
    p.drawLine(x, top, x, viewport()->height());
  }
  const int step = verticalHeader()->defaultSectionSize();
  for (int y = top + step - 1; step > 0 && y < viewport()->height(); y += step) p.drawLine(0, y, right, y);
}

void StatListCtrl::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange) updateRowHeight();
}

// One fixed height for every row, so that scrolling through hours of seconds costs nothing per row.
void StatListCtrl::updateRowHeight() { verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4); }

int StatListCtrl::selectedRow() const { return mvgui::selectedRow(*this); }

void StatListCtrl::selectRowShown(int row) { mvgui::selectRowShown(*this, row); }

bool StatListCtrl::selectMarkedRow(bool forward) {
  return mvgui::selectMarkedRow(*this, forward, [this](int r) { return model_->isMarkedRow(r); });
}

void StatListCtrl::keyPressEvent(QKeyEvent* event) {
  // Home and End go to the first and last second, not to the first and last column.
  if ((event->key() == Qt::Key_Home || event->key() == Qt::Key_End) && model_->rowCount() > 0) {
    selectRowShown(event->key() == Qt::Key_Home ? 0 : model_->rowCount() - 1);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

}  // namespace mvgui
