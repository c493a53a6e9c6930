#pragma once
// The bitrate chart window: a plot area with a horizontal scroll bar along its bottom.
//
// The chart *is* its model (CurveChartModel is a public base), so its owner uses the fields and
// operations by their own names on the widget:
//   chart->AddSeries(1, record);  chart->AddPoint(1, x, y, 0);  chart->ClearPoints();
//   chart->ResetRange();  chart->UpdateScrollBar();  chart->SetShowPoints(1, 1);  chart->SetXStep(1, 20);
//   chart->viewStart = chart->xMin;  chart->yMax = 0;  chart->showGrid = 1;  chart->vGridCount = 8;
//   chart->series[1].points / .enabled / .xStep
// Field writes do not repaint; call update() (or AddPoint with redraw) afterwards. To suspend
// repaints during a rebuild use setUpdatesEnabled(false/true).
//
// The client area is the plot without the scroll bar (clientRect()); MapToPixel works in it.
// The scroll bar keeps its height, so resizing the window by n pixels resizes the client by n.
#include <QPixmap>
#include <QWidget>
#include <array>

#include "chart/curve_chart_model.h"

class QLabel;
class QPainter;
class QScrollBar;

namespace mvgui {

class CCurveChart : public QWidget, public CurveChartModel {
  Q_OBJECT

 public:
  explicit CCurveChart(QWidget* parent = nullptr);

  // Plot area in widget coordinates: origin (0, 0), or right of the rate labels with axes.
  QRect clientRect() const;
  // Rate labels left of the plot, each on its grid line, and time or number labels under it.
  void showAxes();
  // The rate label on the k-th line from the bottom (0 .. 4), once axes are shown.
  QLabel* yLabel(int k) const { return yLabels_[size_t(std::clamp(k, 0, 4))]; }
  // The labels' texts changed: the plot makes room for the widest.
  void fitAxes();
  QSize minimumSizeHint() const override;
  QSize clientSize() const override { return clientRect().size(); }
  QScrollBar* horizontalScrollBar() const { return bar_; }

 signals:
  // The two range notifications, always in this order; delivered from the event loop (queued),
  // with the values of the moment they were sent.
  void viewRangeNotified(int viewStart, int viewEnd);
  void valueRangeNotified(int yMin, int yMax);
  // A click in the plot at data x.
  void clickedAt(int64_t x);
  // Ctrl+wheel or +/-: steps > 0 zoom in, < 0 out, around the plot's pixel column `atPixel`
  // (under the pointer; the middle for keys).
  void zoomRequested(int steps, int atPixel);
  // The plot changed its size (window resized, axis labels widened).
  void plotResized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

  void invalidate() override;
  void applyScrollBar(const ScrollBarState& state) override;
  void postRangeNotice(const RangeNotice& notice) override;

 private:
  void onScrollAction(int action);
  int scrollBarHeight() const;
  int timeBandHeight() const;
  int yLabelWidth() const;

  QScrollBar* bar_;
  QPixmap buffer_;
  int wheelRest_ = 0;  // wheel angle not yet turned into a step (touchpads send small deltas)
  bool axes_ = false;
  int axisWidth_ = 0;
  QSize lastPlot_;
  std::array<QLabel*, 5> yLabels_{};
};

// Draws the chart's client area (size `client`, origin 0,0) as one frame, without the time
// labels; returns what it drew.
ChartPlan paintChart(QPainter& painter, const CurveChartModel& model, QSize client);
// The plan's time labels, moved by `shift` and kept whole between x `left` and `right`.
void paintTimeLabels(QPainter& painter, const ChartPlan& plan, QPoint shift, int left, int right,
                     const QColor& colour);
// The font of the time labels and the box of "00:00:00" in it.
QFont timeLabelFont();
QSize timeLabelSize();

}  // namespace mvgui
