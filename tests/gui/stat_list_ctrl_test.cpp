// The statistics list: column specs, row order and cell operations, and the colours the view
// reads at paint time.
#include "widgets/stat_list_ctrl.h"

#include <QHeaderView>
#include <QImage>
#include <QtTest>

#include "analysis/file_slot.h"
#include "fixtures/slot_builder.h"
#include "media/per_second_series.h"
#include "media/statistics.h"
#include "widgets/dialog_units.h"
#include "widgets/stat_list_model.h"

using mvgui::StatListCtrl;

namespace {

const QString kMainSpec =
    "时间, 1, 80; 视频, 2, 95; 音频, 2, 95; 总码率, 2, 95; 视频, 2, 95; 音频, 2, 95; 总码率, 2, 95";

const QColor kWhite(255, 255, 255), kStripe(247, 247, 247), kPink(255, 208, 255), kCyan(128, 255, 255),
    kRed(255, 0, 0), kYellow(255, 255, 0), kGreen(0, 255, 0);

QString timeLabel(int r) {
  return QString::asprintf("%02d:%02d:%02d", (r + 1) / 3600, (r + 1) / 60 % 60, (r + 1) % 60);
}

// Rows as the panel fills them: every new row inserted at index 0, then the slot's cells.
void fillRows(StatListCtrl& list, int rows, int firstColumn = 1, int lastColumn = 6) {
  for (int r = list.GetItemCount(); r < rows; ++r) list.InsertRow(0, timeLabel(r));
  for (int r = 0; r < rows; ++r)
    for (int c = firstColumn; c <= lastColumn; ++c)
      list.SetCellText(r, c, QString::number(r * 10 + c) + ".00");
}

QColor background(const StatListCtrl& list, int row, int column) {
  const QVariant v = list.model()->data(list.model()->index(row, column), Qt::BackgroundRole);
  return v.value<QBrush>().color();
}

mv::PerSecondSeries& video(mv::FileSlot& slot) { return *slot.analysis.videoSeries; }

void setThresholds(mv::FileSlot& slot, uint32_t high, uint32_t low) {
  video(slot)[mv::kHighThreshold] = high;
  video(slot)[mv::kLowThreshold] = low;
}

// Saves what the list looks like when MORV_WIDGET_PNG_DIR names a folder, for a person to look at.
void saveForReview(QWidget& w, const char* name) {
  const QByteArray dir = qgetenv("MORV_WIDGET_PNG_DIR");
  if (!dir.isEmpty()) w.grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}

}  // namespace

class StatListCtrlTest : public QObject {
  Q_OBJECT

 private slots:
  void mainColumnSpec();
  void oddColumnSpecs_data();
  void oddColumnSpecs();
  void columnsAppendAfterExisting();
  void rowsStayInTimeOrder();
  void cellTexts();
  void deletingRows();
  void selectionIsOneFullRow();
  void headerClickDoesNothing();
  void highlightedColumns();
  void highlightSkipsEmptySlot();
  void marksOfVideoSeconds();
  void bothThresholdsZeroMarksEveryNonZeroSecond();
  void marksFollowThresholdChanges();
  void firstAndLastSecondNeverMarked();
  void shortAndDamagedSeriesMarkNothing();
  void textIsBlack();
  void toolTipCutAt79();
  void renderedColoursAndStripes();
};

void StatListCtrlTest::mainColumnSpec() {
  StatListCtrl list;
  QCOMPARE(list.SetColumns(kMainSpec), 1);
  const QAbstractItemModel* m = list.model();
  QCOMPARE(m->columnCount(), 7);
  const QStringList titles = {"时间", " 视频", " 音频", " 总码率", " 视频", " 音频", " 总码率"};
  for (int c = 0; c < 7; ++c) {
    QCOMPARE(m->headerData(c, Qt::Horizontal).toString(), titles[c]);
    const int align =
        m->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask;
    QCOMPARE(align, c == 0 ? int(Qt::AlignHCenter) : int(Qt::AlignRight));
    QCOMPARE(list.columnWidth(c), c == 0 ? 80 : 95);
  }
}

void StatListCtrlTest::oddColumnSpecs_data() {
  QTest::addColumn<QString>("spec");
  QTest::addColumn<QStringList>("titles");
  QTest::addColumn<QList<int>>("alignments");  // 0 left, 1 centre, 2 right
  QTest::addColumn<QList<int>>("widths");

  QTest::newRow("title and width") << "A,50" << QStringList{"A"} << QList<int>{0} << QList<int>{50};
  QTest::newRow("width 0 becomes 1") << "A,1,0" << QStringList{"A"} << QList<int>{1} << QList<int>{1};
  QTest::newRow("negative width") << "A,2,-5" << QStringList{"A"} << QList<int>{2} << QList<int>{1};
  QTest::newRow("first without comma") << "A;B,2,30" << QStringList{} << QList<int>{} << QList<int>{};
  QTest::newRow("empty spec") << "" << QStringList{} << QList<int>{} << QList<int>{};
  QTest::newRow("trailing semicolon") << "A,10;" << QStringList{"A"} << QList<int>{0} << QList<int>{10};
  QTest::newRow("empty description stops")
      << "A,10;;B,20" << QStringList{"A"} << QList<int>{0} << QList<int>{10};
  QTest::newRow("unknown alignment") << "A, 3, 20" << QStringList{"A"} << QList<int>{0} << QList<int>{20};
  QTest::newRow("alignment not a number") << "A,x,20" << QStringList{"A"} << QList<int>{0} << QList<int>{20};
  QTest::newRow("third comma belongs to the width")
      << "A,1,20,30" << QStringList{"A"} << QList<int>{1} << QList<int>{20};
  QTest::newRow("blanks and a unit") << "A, 2 ,  40px" << QStringList{"A"} << QList<int>{2} << QList<int>{40};
  QTest::newRow("empty title") << ",50" << QStringList{""} << QList<int>{0} << QList<int>{50};
  QTest::newRow("blanks kept in titles")
      << " A ,5; B,2,6" << QStringList{" A ", " B"} << QList<int>{0, 2} << QList<int>{5, 6};
  QTest::newRow("huge width is bounded")
      << "A,99999999999" << QStringList{"A"} << QList<int>{0} << QList<int>{32767};
}

void StatListCtrlTest::oddColumnSpecs() {
  QFETCH(QString, spec);
  QFETCH(QStringList, titles);
  QFETCH(QList<int>, alignments);
  QFETCH(QList<int>, widths);
  StatListCtrl list;
  list.resize(1, 100);  // narrower than the columns: they keep their widths
  QCOMPARE(list.SetColumns(spec), 1);
  const QAbstractItemModel* m = list.model();
  QCOMPARE(m->columnCount(), int(titles.size()));
  const int toQt[] = {int(Qt::AlignLeft), int(Qt::AlignHCenter), int(Qt::AlignRight)};
  for (int c = 0; c < int(titles.size()); ++c) {
    QCOMPARE(m->headerData(c, Qt::Horizontal).toString(), titles[c]);
    QCOMPARE(m->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
             toQt[alignments[c]]);
    QCOMPARE(list.columnWidth(c), widths[c]);
  }
}

void StatListCtrlTest::columnsAppendAfterExisting() {
  StatListCtrl list;
  list.SetColumns("A,1,10");
  list.InsertRow(0, "x");
  list.SetColumns("B,2,20;C,30");
  QCOMPARE(list.model()->columnCount(), 3);
  QCOMPARE(list.model()->headerData(2, Qt::Horizontal).toString(), QString("C"));
  QCOMPARE(list.columnWidth(1), 20);
  // Cell alignment follows the column's.
  QCOMPARE(
      list.model()->data(list.model()->index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
      int(Qt::AlignRight));
  QCOMPARE(list.SetCellText(0, 2, "c"), 1);
  QCOMPARE(list.GetItemText(0, 2), QString("c"));
}

void StatListCtrlTest::rowsStayInTimeOrder() {
  StatListCtrl list;
  list.SetColumns(kMainSpec);
  // Inserted at 0, each row lands after the earlier seconds.
  for (int r = 0; r < 12; ++r) QCOMPARE(list.InsertRow(0, timeLabel(r)), r);
  // Out of order and whatever the index: the first column decides.
  QCOMPARE(list.InsertRow(0, "00:00:05"), 5);  // after the equal one
  QCOMPARE(list.InsertRow(99, "00:00:00"), 0);
  QCOMPARE(list.InsertRow(3, "99:00:00"), 14);
  QCOMPARE(list.InsertRow(-1, "00:00:01"), -1);
  QCOMPARE(list.GetItemCount(), 15);
  for (int r = 1; r < list.GetItemCount(); ++r) QVERIFY(list.GetItemText(r - 1, 0) <= list.GetItemText(r, 0));
  QCOMPARE(list.GetItemText(5, 0), QString("00:00:05"));
  QCOMPARE(list.GetItemText(6, 0), QString("00:00:05"));
  // Past 99 hours the hour field grows: the later time still sorts after the earlier ones.
  QCOMPARE(list.InsertRow(0, "100:00:00"), 15);
  QCOMPARE(list.InsertRow(0, "100:00:01"), 16);
  QCOMPARE(list.InsertRow(0, "99:59:59"), 15);
}

void StatListCtrlTest::cellTexts() {
  StatListCtrl list;
  list.SetColumns(kMainSpec);
  fillRows(list, 3);
  QCOMPARE(list.GetItemText(2, 6), QString("26.00"));
  QCOMPARE(list.SetCellText(2, 6, QString()), 1);
  QCOMPARE(list.GetItemText(2, 6), QString());
  QCOMPARE(list.SetCellText(1, 0, "x"), 1);
  QCOMPARE(list.GetItemText(1, 0), QString("x"));
  QCOMPARE(list.model()->data(list.model()->index(1, 0)).toString(), QString("x"));

  QCOMPARE(list.SetCellText(-1, 1, "x"), 0);
  QCOMPARE(list.SetCellText(3, 1, "x"), 0);
  QCOMPARE(list.SetCellText(0, 7, "x"), 0);
  QCOMPARE(list.SetCellText(0, -1, "x"), 0);
  QCOMPARE(list.GetItemText(3, 1), QString());
  QCOMPARE(list.GetItemText(0, 7), QString());
  QCOMPARE(list.GetItemText(-1, 0), QString());
  QVERIFY(!list.model()->data(list.model()->index(5, 1)).isValid());
}

void StatListCtrlTest::deletingRows() {
  StatListCtrl list;
  list.SetColumns(kMainSpec);
  fillRows(list, 5);
  QCOMPARE(list.DeleteRow(-1), 0);
  QCOMPARE(list.DeleteRow(5), 0);
  QCOMPARE(list.DeleteRow(1), 1);
  QCOMPARE(list.GetItemCount(), 4);
  QCOMPARE(list.GetItemText(1, 0), timeLabel(2));
  QCOMPARE(list.GetItemText(1, 1), QString("21.00"));
  QCOMPARE(list.DeleteAllRows(), 4);
  QCOMPARE(list.GetItemCount(), 0);
  QCOMPARE(list.DeleteAllRows(), 0);
  QCOMPARE(list.DeleteRow(0), 0);
}

void StatListCtrlTest::selectionIsOneFullRow() {
  StatListCtrl list;
  list.SetColumns(kMainSpec);
  fillRows(list, 6);
  list.resize(700, 300);
  list.show();
  QVERIFY(QTest::qWaitForWindowExposed(&list));
  auto cellCentre = [&](int r, int c) { return list.visualRect(list.model()->index(r, c)).center(); };
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cellCentre(2, 3));
  QCOMPARE(list.selectionModel()->selectedRows().size(), 1);
  QCOMPARE(list.selectionModel()->selectedRows().first().row(), 2);
  QCOMPARE(list.selectionModel()->selectedIndexes().size(), 7);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(4, 1));
  QCOMPARE(list.selectionModel()->selectedRows().size(), 1);
  QCOMPARE(list.selectionModel()->selectedRows().first().row(), 4);
  QCOMPARE(list.ClearSelection(), 1);
  QVERIFY(!list.selectionModel()->hasSelection());
}

void StatListCtrlTest::headerClickDoesNothing() {
  StatListCtrl list;
  list.SetColumns(kMainSpec);
  fillRows(list, 4);
  list.SetCellText(0, 2, "99.00");  // would sort last if anything sorted on column 2
  list.resize(700, 300);
  list.show();
  QVERIFY(QTest::qWaitForWindowExposed(&list));
  QHeaderView* header = list.horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(2) + 20, header->height() / 2));
  QVERIFY(!list.selectionModel()->hasSelection());
  QCOMPARE(list.GetItemText(0, 2), QString("99.00"));
  QCOMPARE(list.GetItemText(0, 0), timeLabel(0));
}

void StatListCtrlTest::highlightedColumns() {
  mv::FileSlot a, b;
  mvtest::fillSlot(a, {.video = {500, 500, 500, 500}});
  mvtest::fillSlot(b, {.video = {500, 500, 500, 500}});
  // Thresholds that mark nothing: the cells show their column colours.
  setThresholds(a, 10000, 1);
  setThresholds(b, 10000, 1);
  StatListCtrl list;
  list.SetSlots(&a, &b);
  list.SetColumns(kMainSpec);
  fillRows(list, 4);

  QCOMPARE(list.highlightedItem(), -1);
  const QColor plain[7] = {kWhite, kStripe, kStripe, kStripe, kWhite, kWhite, kWhite};
  for (int c = 0; c < 7; ++c) QCOMPARE(background(list, 2, c), plain[c]);

  for (int item = 0; item < 3; ++item) {
    list.SetHighlightedItem(item);
    QCOMPARE(list.highlightedItem(), item);
    for (int c = 0; c < 7; ++c) {
      QColor expected = plain[c];
      if (c == 1 + item) expected = kPink;
      if (c == 4 + item) expected = kCyan;
      QCOMPARE(background(list, 2, c), expected);
    }
  }
  list.SetHighlightedItem(-1);
  for (int c = 0; c < 7; ++c) QCOMPARE(background(list, 2, c), plain[c]);
}

void StatListCtrlTest::highlightSkipsEmptySlot() {
  // Only file 2 loaded: its columns are filled, file 1's are empty.
  mv::FileSlot a, b;
  mvtest::fillSlot(b, {.video = {500, 500, 500, 500}});
  setThresholds(b, 10000, 1);
  StatListCtrl list;
  list.SetSlots(&a, &b);
  list.SetColumns(kMainSpec);
  fillRows(list, 4, 4, 6);
  list.SetHighlightedItem(0);
  QCOMPARE(background(list, 1, 4), kCyan);
  QCOMPARE(background(list, 1, 1), kStripe);
  // Row 0's text decides for the whole column.
  list.SetCellText(0, 4, QString());
  QCOMPARE(background(list, 1, 4), kWhite);
}

void StatListCtrlTest::marksOfVideoSeconds() {
  mv::FileSlot a, b;
  // Seconds:                     0  1     2    3    4   5     6  7
  mvtest::fillSlot(a, {.video = {0, 0, 1000, 100, 500, 50, 2000, 0}, .audio = {0, 0, 0, 0, 0, 0, 0, 0}});
  mvtest::fillSlot(b, {.video = {7, 500, 500, 0, 100, 7}});
  setThresholds(a, 1000, 100);
  setThresholds(b, 1000, 100);
  StatListCtrl list;
  list.SetSlots(&a, &b);
  list.SetColumns(kMainSpec);
  fillRows(list, 8);

  const QColor file1[8] = {kStripe, kRed, kYellow, kGreen, kStripe, kGreen, kYellow, kStripe};
  for (int r = 0; r < 8; ++r) QCOMPARE(background(list, r, 1), file1[r]);
  const QColor file2[8] = {kWhite, kWhite, kWhite, kRed, kGreen, kWhite, kWhite, kWhite};
  for (int r = 0; r < 8; ++r) QCOMPARE(background(list, r, 4), file2[r]);
  // Audio and total columns are never marked, even where a second is 0.
  for (int r = 0; r < 8; ++r)
    for (int c : {2, 3, 5, 6}) QCOMPARE(background(list, r, c), c <= 3 ? kStripe : kWhite);

  // Marks win over the highlight tint.
  list.SetHighlightedItem(0);
  QCOMPARE(background(list, 1, 1), kRed);
  QCOMPARE(background(list, 4, 1), kPink);
  QCOMPARE(background(list, 3, 4), kRed);
  QCOMPARE(background(list, 1, 4), kCyan);
}

void StatListCtrlTest::bothThresholdsZeroMarksEveryNonZeroSecond() {
  mv::FileSlot a;
  mvtest::fillSlot(a, {.video = {5, 5, 0, 1, 5}});
  setThresholds(a, 0, 0);
  StatListCtrl list;
  list.SetSlots(&a, nullptr);
  list.SetColumns(kMainSpec);
  fillRows(list, 5, 1, 3);
  QCOMPARE(background(list, 1, 1), kYellow);
  QCOMPARE(background(list, 2, 1), kRed);
  QCOMPARE(background(list, 3, 1), kYellow);
}

void StatListCtrlTest::marksFollowThresholdChanges() {
  mv::FileSlot a;
  std::vector<uint32_t> seconds;
  for (uint32_t s = 0; s < 40; ++s) seconds.push_back(1000 + s * 10);
  mvtest::fillSlot(a, {.video = seconds});
  StatListCtrl list;
  list.SetSlots(&a, nullptr);
  list.SetColumns(kMainSpec);
  fillRows(list, 40, 1, 3);

  auto yellowRows = [&] {
    int n = 0;
    for (int r = 0; r < 40; ++r) n += background(list, r, 1) == kYellow;
    return n;
  };
  auto greenRows = [&] {
    int n = 0;
    for (int r = 0; r < 40; ++r) n += background(list, r, 1) == kGreen;
    return n;
  };
  QCOMPARE(yellowRows(), 5);
  QCOMPARE(greenRows(), 5);
  QCOMPARE(background(list, 38, 1), kYellow);  // the highest inner second
  QCOMPARE(background(list, 1, 1), kGreen);    // the lowest inner second

  // New counts take effect at the next paint, with no call on the list.
  mv::computeThresholds(video(a), 12, 2);
  QCOMPARE(yellowRows(), 12);
  QCOMPARE(greenRows(), 2);
  QCOMPARE(background(list, 27, 1), kYellow);
  QCOMPARE(background(list, 26, 1), kStripe);
}

void StatListCtrlTest::firstAndLastSecondNeverMarked() {
  // File 1 ends before file 2; the first and last second of each hold the extremes.
  mv::FileSlot a, b;
  mvtest::fillSlot(a, {.video = {0, 300, 200, 9000}});
  mvtest::fillSlot(b, {.video = {9000, 300, 200, 300, 200, 300, 0}});
  setThresholds(a, 300, 200);
  setThresholds(b, 300, 200);
  StatListCtrl list;
  list.SetSlots(&a, &b);
  list.SetColumns(kMainSpec);
  fillRows(list, 7, 4, 6);
  fillRows(list, 4, 1, 3);
  list.SetHighlightedItem(0);

  QCOMPARE(background(list, 0, 1), kPink);
  QCOMPARE(background(list, 1, 1), kYellow);
  QCOMPARE(background(list, 2, 1), kGreen);
  QCOMPARE(background(list, 3, 1), kPink);                              // file 1's last second
  for (int r = 4; r < 7; ++r) QCOMPARE(background(list, r, 1), kPink);  // beyond file 1
  QCOMPARE(background(list, 0, 4), kCyan);
  QCOMPARE(background(list, 5, 4), kYellow);
  QCOMPARE(background(list, 6, 4), kCyan);  // file 2's last second, value 0
}

void StatListCtrlTest::shortAndDamagedSeriesMarkNothing() {
  StatListCtrl list;
  list.SetColumns(kMainSpec);
  fillRows(list, 30);

  mv::FileSlot none, one, damaged;
  mvtest::fillSlot(none, {.video = {}});  // N = 8: no data second at all
  mvtest::fillSlot(one, {.video = {0}});  // N = 9: one second, first and last at once
  setThresholds(none, 5, 5);
  setThresholds(one, 5, 5);
  for (mv::FileSlot* s : {&none, &one}) {
    list.SetSlots(s, s);
    for (int r = 0; r < 30; ++r) {
      QCOMPARE(background(list, r, 1), kStripe);
      QCOMPARE(background(list, r, 4), kWhite);
    }
  }

  // An element count above what was allocated must not lead past the end of the series.
  mvtest::fillSlot(damaged, {.video = {0, 0, 0, 0}});
  video(damaged)[mv::kElementCount] = 100000;
  list.SetSlots(&damaged, nullptr);
  QCOMPARE(background(list, 2, 1), kRed);
  for (int r = 4; r < 30; ++r) QCOMPARE(background(list, r, 1), kStripe);

  list.SetSlots(nullptr, nullptr);
  list.SetHighlightedItem(0);
  QCOMPARE(background(list, 2, 1), kPink);
  QCOMPARE(background(list, 2, 4), kCyan);
}

void StatListCtrlTest::textIsBlack() {
  StatListCtrl list;
  list.SetColumns(kMainSpec);
  fillRows(list, 2);
  for (int c = 0; c < 7; ++c)
    QCOMPARE(list.model()->data(list.model()->index(1, c), Qt::ForegroundRole).value<QBrush>().color(),
             QColor(0, 0, 0));
}

void StatListCtrlTest::toolTipCutAt79() {
  StatListCtrl list;
  list.SetColumns(kMainSpec);
  fillRows(list, 2);
  QString longText;
  for (int i = 0; i < 100; ++i) longText += QChar('a' + i % 26);
  list.SetCellText(1, 3, longText);
  const QAbstractItemModel* m = list.model();
  QCOMPARE(m->data(m->index(1, 3), Qt::ToolTipRole).toString(), longText.left(79));
  QCOMPARE(m->data(m->index(1, 3)).toString(), longText);
  list.SetCellText(1, 3, longText.left(79));
  QCOMPARE(m->data(m->index(1, 3), Qt::ToolTipRole).toString(), longText.left(79));
  QCOMPARE(m->data(m->index(0, 2), Qt::ToolTipRole).toString(), QString("2.00"));
  list.SetCellText(1, 4, QString());
  QVERIFY(!m->data(m->index(1, 4), Qt::ToolTipRole).isValid());
}

void StatListCtrlTest::renderedColoursAndStripes() {
  mv::FileSlot a, b;
  mvtest::fillSlot(a, {.video = {500, 0, 500, 500, 500}});
  setThresholds(a, 10000, 1);
  mvtest::fillSlot(b, {.video = {500, 500, 500, 500, 500}});
  setThresholds(b, 10000, 1);
  StatListCtrl list;
  list.setFont(mvgui::dialogFont());
  list.SetSlots(&a, &b);
  list.SetColumns(kMainSpec);
  list.SetGridLines(true);
  fillRows(list, 5);
  list.resize(700, 260);
  list.show();
  QVERIFY(QTest::qWaitForWindowExposed(&list));
  list.SetHighlightedItem(0);

  const QImage shot = list.viewport()->grab().toImage();
  saveForReview(list, "stat_list");
  auto at = [&](int x, int y) {
    return shot.pixelColor(x * shot.width() / list.viewport()->width(),
                           y * shot.height() / list.viewport()->height());
  };
  auto cellPixel = [&](int r, int c) {
    const QRect cell = list.visualRect(list.model()->index(r, c));
    return at(cell.left() + 3, cell.top() + 2);
  };
  QCOMPARE(cellPixel(1, 1), kRed);
  QCOMPARE(cellPixel(2, 1), kPink);
  QCOMPARE(cellPixel(2, 4), kCyan);
  QCOMPARE(cellPixel(2, 2), kStripe);
  QCOMPARE(cellPixel(2, 5), kWhite);

  // Below the last row the columns go on as plain stripes, highlighted or not.
  const QRect last = list.visualRect(list.model()->index(4, 0));
  const int y = last.bottom() + (list.viewport()->height() - last.bottom()) / 2;
  QVERIFY(y > last.bottom() + 3 && y < list.viewport()->height());
  const QColor expected[7] = {kWhite, kStripe, kStripe, kStripe, kWhite, kWhite, kWhite};
  for (int c = 0; c < 7; ++c) QCOMPARE(at(list.columnViewportPosition(c) + 5, y), expected[c]);
  // Right of the last column there is no stripe.
  QCOMPARE(at(list.columnViewportPosition(6) + 95 + 5, y), list.viewport()->palette().color(QPalette::Base));
}

QTEST_MAIN(StatListCtrlTest)
#include "stat_list_ctrl_test.moc"
