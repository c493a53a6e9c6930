// The bitrate chart: ranges, following, scrolling, pixel mapping, what a paint draws, and one
// real rendering.
#include "chart/curve_chart.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <vector>

#include "chart/curve_chart_model.h"

using namespace mvgui;

namespace {

const QColor kFile1(255, 208, 255);
const QColor kFile2(128, 255, 255);
const QColor kGrid(0, 128, 0);

// A bare model that records what it would ask of its window.
class RecordingModel : public CurveChartModel {
 public:
  int invalidations = 0;
  std::vector<ScrollBarState> bars;
  std::vector<RangeNotice> notices;

 protected:
  void invalidate() override { ++invalidations; }
  void applyScrollBar(const ScrollBarState& state) override { bars.push_back(state); }
  void postRangeNotice(const RangeNotice& notice) override { notices.push_back(notice); }
};

CurveSeries makeSeries(QColor colour, int xStep = 10) {
  CurveSeries s;
  s.colour = colour;
  s.xStep = xStep;
  return s;
}

// Set up as the main window's panel does it, with a 600 x 400 plot.
template <class Chart>
void setUpLikePanel(Chart& c) {
  c.notifyParent = 1;
  c.backColour = QColor(0, 0, 0);
  c.showGrid = 1;
  c.vGridCount = 8;
  c.hGridCount = 8;
  c.AddSeries(1, makeSeries(kFile1));
  c.AddSeries(2, makeSeries(kFile2));
}

// Appends `count` samples the way the panel does: x = 0, xStep, 2 xStep, ...
template <class Chart>
void appendSamples(Chart& c, int id, int count, int y = 500) {
  for (int k = 0; k < count; ++k) {
    const CurveSeries& s = c.series.at(id);
    const int x = s.points.empty() ? 0 : s.points.rbegin()->first + s.xStep;
    c.AddPoint(id, x, y, 0);
  }
}

// A rebuild as after opening a file: reset, append, back to the start.
template <class Chart>
void rebuild(Chart& c, int count1, int count2 = 0) {
  c.ClearPoints();
  c.ResetRange();
  c.UpdateScrollBar();
  appendSamples(c, 1, count1);
  appendSamples(c, 2, count2);
  c.viewStart = c.xMin;
  c.UpdateScrollBar();
}

struct Ranges {
  int yMax, yMin, viewStart, xMax, xMin, viewWidth;
  bool operator==(const Ranges&) const = default;
};
Ranges ranges(const CurveChartModel& m) { return {m.yMax, m.yMin, m.viewStart, m.xMax, m.xMin, m.viewWidth}; }

const QSize kLabelBox(48, 14);

}  // namespace

class CurveChartTest : public QObject {
  Q_OBJECT

 private slots:
  void seriesRegisteredOnce() {
    RecordingModel m;
    m.AddSeries(1, makeSeries(kFile1, 10));
    m.AddSeries(1, makeSeries(kFile2, 20));
    QCOMPARE(m.seriesIds.size(), size_t(1));
    QCOMPARE(m.series.at(1).colour, kFile1);
    QCOMPARE(m.series.at(1).xStep, 10);
    QVERIFY(m.findSeries(1));
    QVERIFY(!m.findSeries(2));
    m.SetXStep(2, 20);  // unregistered: ignored, nothing created
    m.SetShowPoints(2, 1);
    QCOMPARE(m.series.size(), size_t(1));
  }

  void pointsStoredAndRefused() {
    RecordingModel m;
    setUpLikePanel(m);
    m.ResetRange();
    const Ranges before = ranges(m);
    QCOMPARE(m.AddPoint(3, 10, 10, 1), 0);
    QVERIFY(ranges(m) == before);
    QCOMPARE(m.invalidations, 0);
    QVERIFY(m.notices.empty());

    // The first point ever sets both y limits and leaves the x range alone, even far right.
    QCOMPARE(m.AddPoint(1, 5000, 70, 0), 1);
    QVERIFY((ranges(m) == Ranges{70, 70, 0, 1000, 0, 1000}));
    QCOMPARE(m.notices.size(), size_t(1));
    QVERIFY((m.notices[0] == RangeNotice{0, 1000, 70, 70}));
    QCOMPARE(m.invalidations, 0);

    // Same x again replaces the y; redraw asks for a repaint.
    m.AddPoint(1, 5000, 90, 1);
    QCOMPARE(m.series.at(1).points.size(), size_t(1));
    QCOMPARE(m.series.at(1).points.at(5000), 90);
    QCOMPARE(m.invalidations, 1);

    m.ClearPoints();
    QVERIFY(!m.hasPoints());
    QCOMPARE(m.series.size(), size_t(2));
    QCOMPARE(m.series.at(2).colour, kFile2);
    m.ResetRange();
    QVERIFY((ranges(m) == Ranges{0, 0, 0, 1000, 0, 1000}));
  }

  void yRangeNotifiesEachChange() {
    RecordingModel m;
    setUpLikePanel(m);
    m.AddPoint(1, 0, 50, 0);
    m.AddPoint(1, 10, 80, 0);  // new max
    m.AddPoint(1, 20, 60, 0);  // inside: no notice
    m.AddPoint(2, 0, 10, 0);   // new min
    QCOMPARE(m.yMax, 80);
    QCOMPARE(m.yMin, 10);
    QCOMPARE(m.notices.size(), size_t(3));
    QVERIFY((m.notices[1] == RangeNotice{0, 1000, 50, 80}));
    QVERIFY((m.notices[2] == RangeNotice{0, 1000, 10, 80}));

    m.notifyParent = 0;
    m.AddPoint(1, 30, 1000, 0);
    m.UpdateScrollBar();
    QCOMPARE(m.notices.size(), size_t(3));
  }

  void viewFollowsAppendedPoints() {
    RecordingModel m;
    setUpLikePanel(m);
    m.ResetRange();
    appendSamples(m, 1, 91);  // up to x = 900: still inside the first view
    QCOMPARE(m.viewStart, 0);
    QCOMPARE(m.xMax, 1000);
    m.AddPoint(1, 910, 1, 0);
    QCOMPARE(m.viewStart, 10);
    QCOMPARE(m.xMax, 1010);
    appendSamples(m, 1, 7200 - 92);  // two hours: last x = 71990
    QCOMPARE(m.viewStart, 71090);
    QCOMPARE(m.xMax, 72090);

    // The second file starts at 0, outside the followed view, so it neither moves nor widens it.
    appendSamples(m, 2, 100);
    QCOMPARE(m.viewStart, 71090);
    QCOMPARE(m.xMax, 72090);

    // A longer second file is followed as well: xMax ends at the largest x + 100.
    rebuild(m, 50, 150);
    QCOMPARE(m.xMax, 1590);
    QCOMPARE(m.viewStart, 0);
    rebuild(m, 20, 30);
    QCOMPARE(m.xMax, 1000);
  }

  void rangeWidensOutsideTheView() {
    RecordingModel m;
    setUpLikePanel(m);
    rebuild(m, 201);  // x up to 2000, xMax 2100, view back at 0
    QCOMPARE(m.xMax, 2100);
    QCOMPARE(m.viewStart, 0);
    // Last point out of view: no following, but the range grows past the new x.
    m.AddPoint(1, 3000, 1, 0);
    QCOMPARE(m.viewStart, 0);
    QCOMPARE(m.xMax, 3100);
    // Below xMin: the range grows left; the view stays where it is.
    m.AddPoint(2, -50, 1, 0);
    QCOMPARE(m.xMin, -50);
    QCOMPARE(m.viewStart, 0);
    // Not beyond viewWidth itself: xMax is left as it is.
    RecordingModel n;
    setUpLikePanel(n);
    n.AddPoint(1, 0, 1, 0);
    n.xMax = 500;
    n.viewStart = 2000;
    n.AddPoint(1, 900, 1, 0);
    QCOMPARE(n.xMax, 500);
    n.AddPoint(1, 1100, 1, 0);  // widened to 1200, then kept past the view
    QCOMPARE(n.xMax, 3000);
  }

  void scrollBarFollowsRanges() {
    RecordingModel m;
    setUpLikePanel(m);
    m.ResetRange();
    m.UpdateScrollBar();
    QVERIFY((m.scrollBarState() == ScrollBarState{0, 1000, 1000, 0}));
    QCOMPARE(m.bars.size(), size_t(1));
    QVERIFY((m.notices.back() == RangeNotice{0, 1000, 0, 0}));

    rebuild(m, 720);
    QVERIFY((m.scrollBarState() == ScrollBarState{0, 1000, 0, 0}));
    m.viewStart = 3645;
    m.UpdateScrollBar();
    QCOMPARE(m.scrollBarState().position, 500);

    // Degenerate ranges written by an owner must not divide by zero.
    m.xMin = m.xMax = 100;
    m.UpdateScrollBar();
    QCOMPARE(m.scrollBarState().position, 0);
    QVERIFY(m.scrollBarState().lastPosition() <= 0);
    m.xMin = INT_MIN;
    m.xMax = INT_MAX;
    m.viewStart = INT_MAX;
    m.UpdateScrollBar();
    QCOMPARE(m.scrollBarState().position, 1000);
    QCOMPARE(m.scrollBarState().page, 0);
  }

  void scrollCodes_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("thumb");
    QTest::addColumn<bool>("acts");
    QTest::addColumn<int>("expected");
    // 720 samples at step 10: xMax 7290, so the view can start anywhere in 0 ... 6290.
    QTest::newRow("line left at 0 does nothing") << 0 << int(kLineLeft) << 0 << false << 0;
    QTest::newRow("line left") << 100 << int(kLineLeft) << 0 << true << 90;
    QTest::newRow("line right") << 0 << int(kLineRight) << 0 << true << 10;
    QTest::newRow("first page right moves 9 lines") << 0 << int(kPageRight) << 0 << true << 90;
    QTest::newRow("next page right moves 10") << 90 << int(kPageRight) << 0 << true << 190;
    QTest::newRow("page left to 0") << 90 << int(kPageLeft) << 0 << true << 0;
    QTest::newRow("page left never below 0") << 50 << int(kPageLeft) << 0 << true << 0;
    QTest::newRow("page right clamps at the end") << 6250 << int(kPageRight) << 0 << true << 6290;
    QTest::newRow("line right at the end stays") << 6290 << int(kLineRight) << 0 << true << 6290;
    QTest::newRow("thumb track") << 0 << int(kThumbTrack) << 500 << true << 3645;
    QTest::newRow("thumb track to the end clamps") << 0 << int(kThumbTrack) << 1000 << true << 6290;
    QTest::newRow("thumb released") << 100 << int(kThumbPosition) << 900 << false << 100;
    QTest::newRow("home") << 100 << int(kScrollLeft) << 0 << false << 100;
    QTest::newRow("end") << 100 << int(kScrollRight) << 0 << false << 100;
    QTest::newRow("end of scroll") << 100 << int(kEndScroll) << 0 << false << 100;
    QTest::newRow("unknown code") << 100 << 42 << 0 << false << 100;
  }

  void scrollCodes() {
    QFETCH(int, start);
    QFETCH(int, code);
    QFETCH(int, thumb);
    QFETCH(bool, acts);
    QFETCH(int, expected);
    RecordingModel m;
    setUpLikePanel(m);
    rebuild(m, 720);
    QCOMPARE(m.xMax, 7290);
    m.viewStart = start;
    m.invalidations = 0;
    m.notices.clear();
    m.bars.clear();

    QCOMPARE(m.OnHScroll(code, thumb), acts);
    QCOMPARE(m.viewStart, expected);
    QCOMPARE(m.invalidations, acts ? 1 : 0);
    QCOMPARE(m.bars.size(), size_t(acts ? 1 : 0));
    QCOMPARE(m.notices.size(), size_t(acts ? 1 : 0));
    if (acts) {
      QCOMPARE(m.scrollBarState().position, int(expected / 7290.0 * 1000.0));
      QVERIFY((m.notices[0] == RangeNotice{expected, expected + 1000, 500, 500}));
    }
  }

  void scrollClampsAtBothEnds() {
    RecordingModel m;
    setUpLikePanel(m);
    rebuild(m, 720);
    m.xMin = 30;
    m.viewStart = 40;
    m.OnHScroll(kLineLeft);
    QCOMPARE(m.viewStart, 30);
    m.OnHScroll(kLineLeft);
    QCOMPARE(m.viewStart, 30);
    m.OnHScroll(kPageLeft);
    QCOMPARE(m.viewStart, 30);

    // The line is series 1's step: at 200 % a first page right moves 9 x 20.
    m.SetXStep(1, 20);
    m.SetXStep(2, 10);
    m.xMin = 0;
    m.viewStart = 0;
    m.OnHScroll(kPageRight);
    QCOMPARE(m.viewStart, 180);

    // Short data (x up to 780 at step 20): the whole range fits, every move ends at the start.
    rebuild(m, 40);
    m.OnHScroll(kPageRight);
    QCOMPARE(m.viewStart, 0);
    QCOMPARE(m.scrollBarState().page, 1000);
  }

  void scrollWithoutFirstSeries() {
    RecordingModel m;
    m.AddSeries(2, makeSeries(kFile2));
    appendSamples(m, 2, 500);
    m.viewStart = 100;
    QVERIFY(m.OnHScroll(kLineLeft));
    QCOMPARE(m.viewStart, 100);
  }

  void mapToPixel() {
    RecordingModel m;
    m.setClientSize({600, 400});
    m.yMax = 1000;
    QCOMPARE(m.MapToPixel(0, 0), QPoint(0, 400));
    QCOMPARE(m.MapToPixel(1000, 1000), QPoint(600, 20));  // yMax at 95 % of the height
    QCOMPARE(m.MapToPixel(500, 500), QPoint(300, 210));
    QCOMPARE(m.MapToPixel(7, 1), QPoint(4, 400));  // 4.2 and 0.38 truncated
    m.viewStart = 100;
    QCOMPARE(m.MapToPixel(100, 0).x(), 0);
    QCOMPARE(m.MapToPixel(99, 0).x(), 0);  // -0.6 truncates toward zero
    QCOMPARE(m.MapToPixel(0, 0).x(), -60);

    // Nothing to scale by: every point on the bottom edge.
    m.yMax = 0;
    QCOMPARE(m.MapToPixel(100, 0), QPoint(0, 400));
    QCOMPARE(m.MapToPixel(100, 37), QPoint(0, 400));

    // Sizes an owner might write must neither trap nor wrap.
    m.viewWidth = 0;
    QCOMPARE(m.MapToPixel(500, 0).x(), 0);
    m.viewWidth = 1000;
    m.viewStart = INT_MIN;
    m.yMax = 1;
    const QPoint far = m.MapToPixel(INT_MAX, INT_MAX);
    QCOMPARE(far.x(), INT_MAX);
    QVERIFY(far.y() < -2000000000);
  }

  void gridWithoutData() {
    RecordingModel m;
    setUpLikePanel(m);
    const ChartPlan plan = planChart(m, {600, 400}, kLabelBox);
    QVERIFY(plan.noData);
    QVERIFY(!plan.timeLabels);
    QVERIFY(plan.series.empty());
    std::vector<QLine> expected;
    for (int k = 1; k < 8; ++k) expected.emplace_back(0, 50 * k, 600, 50 * k);
    for (int k = 1; k < 8; ++k) expected.emplace_back(75 * k, 0, 75 * k, 400);
    QCOMPARE(plan.grid, expected);

    m.showGrid = 0;
    QVERIFY(planChart(m, {600, 400}, kLabelBox).grid.empty());
    m.showGrid = 1;
    m.hGridCount = 0;
    m.vGridCount = -3;
    QVERIFY(planChart(m, {600, 400}, kLabelBox).grid.empty());
    m.hGridCount = 1000;  // divisions below a pixel: nothing
    QVERIFY(planChart(m, {600, 400}, kLabelBox).grid.empty());
  }

  void visiblePointsAtTheStart() {
    RecordingModel m;
    setUpLikePanel(m);
    rebuild(m, 7200);
    const ChartPlan plan = planChart(m, {600, 400}, kLabelBox);
    QVERIFY(!plan.noData);
    QVERIFY(plan.timeLabels);
    QCOMPARE(plan.grid.size(), size_t(7));    // horizontal only once there is data
    QCOMPARE(plan.series.size(), size_t(1));  // series 2 has no points
    const SeriesPlan& s = plan.series[0];
    QCOMPARE(s.id, 1);
    QCOMPARE(s.start, QPoint(0, 400 - int(400 * 500 * 0.95 / 500)));
    // x = 10 ... 1000 inside the view, then x = 1010 as the first point beyond it.
    QCOMPARE(s.points.size(), size_t(101));
    QCOMPARE(s.points.front().position, 2);
    QCOMPARE(s.points.back().pixel.x(), 606);
    QVERIFY(!s.points.back().tick);
    QVERIFY(s.markers.empty());

    const PlotPoint& p5 = s.points[3];  // x = 40, the 5th point
    QVERIFY(p5.tick);
    QVERIFY(p5.label.isEmpty());
    const PlotPoint& p10 = s.points[8];  // x = 90
    QCOMPARE(p10.position, 10);
    QVERIFY(p10.tick);
    QCOMPARE(p10.label, QStringLiteral("00:00:10"));
    QCOMPARE(p10.labelTopLeft, QPoint(54 - 24, 400 - 14));
    int ticks = 0, labels = 0;
    for (const PlotPoint& p : s.points) {
      ticks += p.tick;
      labels += !p.label.isEmpty();
    }
    QCOMPARE(ticks, 20);
    QCOMPARE(labels, 10);

    m.showGrid = 0;
    const ChartPlan plain = planChart(m, {600, 400}, kLabelBox);
    for (const PlotPoint& p : plain.series[0].points) {
      QVERIFY(!p.tick);
      QVERIFY(p.label.isEmpty());
    }
  }

  void visiblePointsInTheMiddle() {
    RecordingModel m;
    setUpLikePanel(m);
    rebuild(m, 7200, 3700);
    m.SetXStep(2, 20);
    m.viewStart = 1005;
    const ChartPlan plan = planChart(m, {600, 400}, kLabelBox);
    QCOMPARE(plan.series.size(), size_t(2));
    const SeriesPlan& s = plan.series[0];
    // Starts one before the left edge (x = 1000, the 101st point), ends one past the right edge.
    QCOMPARE(s.start.x(), -3);
    QCOMPARE(s.points.size(), size_t(100 + 1));
    QCOMPARE(s.points.front().position, 102);
    QCOMPARE(s.points.back().pixel.x(), 603);
    const PlotPoint& p110 = s.points[8];  // x = 1090
    QCOMPARE(p110.position, 110);
    QCOMPARE(p110.label, QStringLiteral("00:01:50"));
    // Series 2 was appended at step 10 as well; its positions are its own.
    QCOMPARE(plan.series[1].id, 2);
    QCOMPARE(plan.series[1].points.front().position, 102);

    // Position 3600 is labelled one hour.
    m.viewStart = 35500;
    const SeriesPlan hour = planChart(m, {600, 400}, kLabelBox).series[0];
    bool found = false;
    for (const PlotPoint& p : hour.points)
      if (p.position == 3600) {
        QCOMPARE(p.label, QStringLiteral("01:00:00"));
        found = true;
      }
    QVERIFY(found);
  }

  void visiblePointsBeyondTheData() {
    RecordingModel m;
    setUpLikePanel(m);
    m.setClientSize({600, 400});
    rebuild(m, 100);  // x 0 ... 990
    m.SetShowPoints(1, 1);

    // View right of everything: only the last point, with its marker.
    m.viewStart = 5000;
    SeriesPlan s = planChart(m, {600, 400}, kLabelBox).series[0];
    QCOMPARE(s.start, m.MapToPixel(990, 500));
    QVERIFY(s.points.empty());
    QCOMPARE(s.markers.size(), size_t(1));

    // View left of everything: only the first point.
    m.ClearPoints();
    m.ResetRange();
    m.AddPoint(1, 5000, 10, 0);
    m.AddPoint(1, 5010, 20, 0);
    s = planChart(m, {600, 400}, kLabelBox).series[0];
    QCOMPARE(s.start, m.MapToPixel(5000, 10));
    QVERIFY(s.points.empty());
    QCOMPARE(s.markers.size(), size_t(1));

    // A gap across the whole view: one line from the point before to the point after.
    m.ClearPoints();
    m.AddPoint(1, 0, 10, 0);
    m.AddPoint(1, 5000, 20, 0);
    m.viewStart = 1000;
    s = planChart(m, {600, 400}, kLabelBox).series[0];
    QCOMPARE(s.start.x(), -600);
    QCOMPARE(s.points.size(), size_t(1));
    QCOMPARE(s.points[0].pixel.x(), 2400);
    QCOMPARE(s.markers.size(), size_t(2));
  }

  void markersFollowTheFlag() {
    RecordingModel m;
    setUpLikePanel(m);
    rebuild(m, 300, 300);
    m.SetShowPoints(2, 1);
    m.series.at(2).penWidth = 2;
    const ChartPlan with = planChart(m, {600, 400}, kLabelBox);
    QVERIFY(with.series[0].markers.empty());
    const SeriesPlan& s = with.series[1];
    QCOMPARE(s.markers.size(), s.points.size() + 1);
    QCOMPARE(s.markers[0], QRect(s.start - QPoint(4, 4), QSize(8, 8)));
    QCOMPARE(QRectF(s.markers[1]).center(), QPointF(s.points[0].pixel));
    QCOMPARE(markerRect({10, 10}, 1), QRect(7, 7, 6, 6));

    // Switching markers off leaves the points as they were.
    const size_t count = m.series.at(2).points.size();
    m.SetShowPoints(2, 0);
    const ChartPlan without = planChart(m, {600, 400}, kLabelBox);
    QVERIFY(without.series[1].markers.empty());
    QCOMPARE(without.series[1].points.size(), s.points.size());
    QCOMPARE(m.series.at(2).points.size(), count);

    // A hidden series is not drawn at all.
    m.series.at(1).shown = 0;
    QCOMPARE(planChart(m, {600, 400}, kLabelBox).series.size(), size_t(1));
  }

  void timeLabels() {
    QCOMPARE(timeLabelText(0), QStringLiteral("00:00:00"));
    QCOMPARE(timeLabelText(10), QStringLiteral("00:00:10"));
    QCOMPARE(timeLabelText(3599), QStringLiteral("00:59:59"));
    QCOMPARE(timeLabelText(3600), QStringLiteral("01:00:00"));
    QCOMPARE(timeLabelText(360000), QStringLiteral("100:00:00"));
  }

  void clientAreaLeavesOutTheScrollBar() {
    CCurveChart chart;
    const int bar = chart.horizontalScrollBar()->sizeHint().height();
    QVERIFY(bar > 0);
    chart.setGeometry(0, 0, 607, 405 + bar);
    QCOMPARE(chart.clientRect(), QRect(0, 0, 607, 405));
    QCOMPARE(chart.clientSize(), QSize(607, 405));
    // Shrinking the window shrinks the client by as much, so it can be made to divide evenly.
    const QSize c = chart.clientSize();
    chart.resize(chart.width() - c.width() % 10, chart.height() - c.height() % 8);
    QCOMPARE(chart.clientSize(), QSize(600, 400));
    chart.yMax = 1000;
    QCOMPARE(chart.MapToPixel(1000, 1000), QPoint(600, 20));
  }

  void scrollBarActions() {
    CCurveChart chart;
    setUpLikePanel(chart);
    chart.resize(600, 400 + chart.horizontalScrollBar()->sizeHint().height());
    rebuild(chart, 720);
    QScrollBar* bar = chart.horizontalScrollBar();
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 1000);
    QCOMPARE(bar->pageStep(), 0);

    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(chart.viewStart, 90);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(chart.viewStart, 190);
    QCOMPARE(bar->value(), int(190 / 7290.0 * 1000));
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(chart.viewStart, 180);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(chart.viewStart, 190);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(chart.viewStart, 90);

    // Dragging the thumb pans; releasing it and Home/End change nothing, and the bar goes back.
    bar->setSliderPosition(500);
    QCOMPARE(chart.viewStart, 3645);
    QCOMPARE(bar->value(), 500);
    emit bar->sliderReleased();
    QCOMPARE(chart.viewStart, 3645);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(chart.viewStart, 3645);
    QCOMPARE(bar->value(), 500);

    // Everything fits: a full thumb.
    rebuild(chart, 10);
    QCOMPARE(bar->pageStep(), 1000);
    QCOMPARE(bar->value(), 0);
  }

  void rangeNotificationsAreSignals() {
    CCurveChart chart;
    setUpLikePanel(chart);
    std::vector<QString> order;
    connect(&chart, &CCurveChart::viewRangeNotified, this,
            [&](int a, int b) { order.push_back(QStringLiteral("x %1 %2").arg(a).arg(b)); });
    connect(&chart, &CCurveChart::valueRangeNotified, this,
            [&](int a, int b) { order.push_back(QStringLiteral("y %1 %2").arg(a).arg(b)); });

    chart.AddPoint(1, 0, 70, 0);
    chart.AddPoint(1, 10, 90, 0);
    QVERIFY(order.empty());  // posted, not sent
    QCoreApplication::processEvents();
    const std::vector<QString> expected{"x 0 1000", "y 70 70", "x 0 1000", "y 70 90"};
    QCOMPARE(order, expected);

    order.clear();
    chart.notifyParent = 0;
    chart.UpdateScrollBar();
    chart.OnHScroll(kLineRight);
    QCoreApplication::processEvents();
    QVERIFY(order.empty());
  }

  void renders() {
    CCurveChart chart;
    setUpLikePanel(chart);
    chart.resize(600, 400 + chart.horizontalScrollBar()->sizeHint().height());
    chart.ClearPoints();
    chart.ResetRange();
    // File 1 flat at half height, file 2 rising, markers on file 2.
    for (int k = 0; k < 150; ++k) chart.AddPoint(1, k * 10, 500, 0);
    for (int k = 0; k < 150; ++k) chart.AddPoint(2, k * 10, 100 + k * 6, 0);
    chart.AddPoint(2, 1500, 1000, 0);
    chart.viewStart = chart.xMin;
    chart.SetShowPoints(2, 1);
    chart.UpdateScrollBar();

    const QImage image = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (qEnvironmentVariableIsSet("MORV_CHART_PNG")) image.save(qEnvironmentVariable("MORV_CHART_PNG"));

    QCOMPARE(image.pixelColor(5, 5), QColor(0, 0, 0));
    QCOMPARE(image.pixelColor(5, 50), kGrid);  // first horizontal grid line
    QCOMPARE(image.pixelColor(5, 53), QColor(0, 0, 0));
    QCOMPARE(image.pixelColor(24, 30), kGrid);  // tick of the 5th point, x = 40
    // y = 500 of yMax 1000: 400 - trunc(400 * 500 * 0.95 / 1000) = 210.
    QCOMPARE(image.pixelColor(200, 210), kFile1);
    QCOMPARE(image.pixelColor(200, 205), QColor(0, 0, 0));
    // A marker of file 2 (radius 3) at x = 500: (300, 400 - trunc(400 * 400 * 0.95 / 1000)).
    const int py = 400 - int(400 * 400 * 0.95 / 1000);
    QCOMPARE(image.pixelColor(300, py + 2), kFile2);
    QCOMPARE(image.pixelColor(300, py + 5), QColor(0, 0, 0));
    // A label near x = 90 (position 10) in the bottom band: some pure label green.
    bool labelGreen = false;
    for (int y = 380; y < 400; ++y)
      for (int x = 30; x < 80; ++x)
        if (image.pixelColor(x, y) == QColor(0, 255, 0)) labelGreen = true;
    QVERIFY(labelGreen);

    // Without data: vertical divisions as well, nothing else.
    chart.ClearPoints();
    chart.ResetRange();
    const QImage empty = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(empty.pixelColor(75, 20), kGrid);
    QCOMPARE(empty.pixelColor(200, 210), QColor(0, 0, 0));
  }
};

QTEST_MAIN(CurveChartTest)
#include "curve_chart_test.moc"
