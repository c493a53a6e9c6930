#pragma once
// State and arithmetic of the bitrate chart, apart from the widget, so that ranges, scrolling and
// what a paint draws can be checked without a window. The widget (curve_chart.h) inherits this
// class and only turns the hooks at the bottom into repaints, scroll-bar settings and signals.
#include <QColor>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace mvgui {

// The points of a curve, x -> y in ascending x with one y per x, as a map would hold them but
// side by side in one array: a series of millions of seconds costs 8 bytes a point, and
// appending at the right end, as every owner does, costs no search.
class CurvePoints {
 public:
  using value_type = std::pair<int32_t, int32_t>;
  using const_iterator = std::vector<value_type>::const_iterator;
  using const_reverse_iterator = std::vector<value_type>::const_reverse_iterator;

  // The y of x, made 0 when x is new.
  int32_t& operator[](int32_t x);
  int32_t at(int32_t x) const;
  size_t count(int32_t x) const { return find(x) != end(); }
  const_iterator find(int32_t x) const;
  const_iterator lower_bound(int32_t x) const;
  const_iterator upper_bound(int32_t x) const;
  const_iterator begin() const { return points_.begin(); }
  const_iterator end() const { return points_.end(); }
  const_reverse_iterator rbegin() const { return points_.rbegin(); }
  const_reverse_iterator rend() const { return points_.rend(); }
  bool empty() const { return points_.empty(); }
  size_t size() const { return points_.size(); }
  // Gives the memory back too: the next file may be a short one.
  void clear() { std::vector<value_type>().swap(points_); }
  void reserve(size_t n) { points_.reserve(n); }
  bool operator==(const CurvePoints&) const = default;

 private:
  std::vector<value_type> points_;
};

// One curve. Fields are the owner's to fill before AddSeries copies the record.
struct CurveSeries {
  CurvePoints points;
  QColor colour;       // pen and marker fill
  int penStyle = 0;    // Windows pen style code, see qtPenStyle()
  int penWidth = 1;    // pixels; the marker radius is penWidth + 2
  int shown = 1;       // painted only when non-zero
  int enabled = 1;     // the owner appends points only when non-zero
  int showPoints = 0;  // circle around every drawn point
  int xStep = 10;      // x distance of two samples; series 1's is the scroll line
  int drawTicks = 1;   // the grid lines and labels stand on this series' points
  // Points drawn with a marker of their own colour whatever showPoints says (key frames).
  std::set<int32_t> accentX;
  QColor accentColour;
  // The picture type of each point by its place in `points` (a PointKind; empty: none known),
  // drawn as a square, a circle or a triangle in the kind's colour.
  std::vector<uint8_t> pointKinds;
  QColor kindColours[4];
  // Stacked areas: filled down to the curve of series `fillTo` (0: the bottom edge, -1: no
  // fill), and named in the chart's legend when `legend` is set.
  int fillTo = -1;
  QString legend;
};

enum PointKind : uint8_t { kKindNone = 0, kKindI = 1, kKindP = 2, kKindB = 3 };

// Horizontal scroll requests, numbered as the Windows scroll codes the chart's rules are written for.
enum HScrollCode : int {
  kLineLeft = 0,
  kLineRight = 1,
  kPageLeft = 2,
  kPageRight = 3,
  kThumbPosition = 4,  // thumb released: nothing happens
  kThumbTrack = 5,
  kScrollLeft = 6,  // home, end and end-of-scroll do nothing either
  kScrollRight = 7,
  kEndScroll = 8,
};

// What the horizontal scroll bar shows, in the Windows sense: positions minimum ... maximum with a
// thumb of `page` units, so the thumb's left edge can go up to lastPosition().
struct ScrollBarState {
  int minimum = 0;
  int maximum = 1000;
  int page = 1000;
  int position = 0;
  int lastPosition() const { return page > 1 ? maximum - (page - 1) : maximum; }
  bool operator==(const ScrollBarState&) const = default;
};

// The pair of range notifications, taken when they are sent.
struct RangeNotice {
  int viewStart = 0;
  int viewEnd = 0;  // viewStart + viewWidth
  int yMin = 0;
  int yMax = 0;
  bool operator==(const RangeNotice&) const = default;
};

class CurveChartModel {
 public:
  CurveChartModel() = default;
  CurveChartModel(const CurveChartModel&) = default;
  CurveChartModel& operator=(const CurveChartModel&) = default;
  virtual ~CurveChartModel() = default;

  // The owner reads and writes these directly.
  int yMax = 0;       // largest y since the last range reset; drawn at 95 % of the height
  int yMin = 0;       // smallest y since the last range reset; only reported
  int viewStart = 0;  // x at the left edge of the plot
  int xMax = 1000;    // scrollable x range
  int xMin = 0;
  int viewWidth = 1000;               // x extent of the full plot width
  std::map<int, CurveSeries> series;  // by id, also the drawing order
  QColor backColour = QColor(0, 0, 0);
  int showGrid = 0;         // grid, ticks and time labels
  int notifyParent = 0;     // send the range notifications
  int vGridCount = 0;       // vertical divisions, drawn only while there are no points
  int hGridCount = 0;       // horizontal divisions
  std::set<int> seriesIds;  // registered ids; points for other ids are refused
  // Zoomed views: a grid line at every tickEvery-th point, a time label at every labelEvery-th
  // (a multiple of tickEvery); with columnMaxima, points sharing a pixel column draw as one at
  // their highest value, so that a whole file fits the width without losing a peak.
  int tickEvery = 5;
  int labelEvery = 10;
  bool columnMaxima = false;
  // The labels name the point's number (frames, groups of pictures) instead of its time.
  bool countLabels = false;
  // x of a vertical marker line (the second selected in the list), or none.
  std::optional<int> markedX;

  // Registers a series once; a second registration of the same id changes nothing.
  void AddSeries(int id, const CurveSeries& record);
  // Stores (or replaces) a point and widens the ranges, following the newest point while it is
  // appended inside the view. 0 for an unregistered id, which changes nothing; 1 otherwise.
  int AddPoint(int id, int x, int y, int redraw);
  void ClearPoints();
  void ResetRange();
  // Sets the scroll bar from the ranges, then sends the range notifications.
  void UpdateScrollBar();
  void SetShowPoints(int id, int flag);
  void SetXStep(int id, int step);
  // Client pixel of a data point. y = 0 lies on the bottom edge, y = yMax at 95 % of the height;
  // while yMax is 0 every point lies on the bottom edge.
  QPoint MapToPixel(int x, int y) const;
  // Pans the view. `thumbPosition` counts only for kThumbTrack. True when the view was re-clamped,
  // repainted and the scroll bar set (with notifications); false when the code does nothing.
  bool OnHScroll(int code, int thumbPosition = 0);
  // Moves the left edge to `start`, kept inside the scrollable range; repaints and sets the
  // scroll bar as a scroll does.
  void ScrollTo(int64_t start);
  // x at a client pixel column (the inverse of MapToPixel's x).
  int64_t xAtPixel(int px) const;

  // The registered series of an id, or null.
  CurveSeries* findSeries(int id);
  const CurveSeries* findSeries(int id) const;

  bool hasPoints() const;
  // What the scroll bar was last set to.
  const ScrollBarState& scrollBarState() const { return scrollBar_; }
  // Size of the plot area. A model without a window uses the size given to setClientSize.
  virtual QSize clientSize() const { return clientSize_; }
  void setClientSize(QSize size) { clientSize_ = size; }

 protected:
  // Window side of the operations; a bare model ignores them.
  virtual void invalidate() {}
  virtual void applyScrollBar(const ScrollBarState&) {}
  virtual void postRangeNotice(const RangeNotice&) {}

 private:
  void notifyRanges();

  ScrollBarState scrollBar_;
  QSize clientSize_;
};

// ---- What a paint draws, computed from the model ----

// A point drawn after a series' start point.
struct PlotPoint {
  QPoint pixel;
  int position = 0;     // 1-based place in the series: point n stands for second n
  bool tick = false;    // full-height grid-coloured line at pixel.x()
  QString label;        // time label text, empty when none
  QPoint labelTopLeft;  // where the label's text box starts
};

struct SeriesPlan {
  int id = 0;
  QPoint start;  // the point just left of the view, or the series' first point
  // The points after the start up to and including the first one beyond the right edge.
  std::vector<PlotPoint> points;
  // With markers on, one per drawn point: the start first, then one per entry of `points`.
  std::vector<QRect> markers;
  std::vector<QRect> accentMarkers;  // the accent points in view
  // The typed points in view and their kinds; none while points share pixel columns.
  std::vector<std::pair<QRect, uint8_t>> kindMarkers;
};

struct ChartPlan {
  bool noData = true;              // no series has points
  bool timeLabels = false;         // ticks and labels are drawn
  std::vector<QLine> grid;         // horizontal lines, then (without data) vertical ones
  std::vector<SeriesPlan> series;  // shown series with points, ascending id
  std::optional<QLine> marker;     // the marked x, when it lies in the view
};

// `labelSize` is the text box of "00:00:00" in the label font; labels are centred on their point
// and stand on the bottom edge.
ChartPlan planChart(const CurveChartModel& model, QSize client, QSize labelSize);

// Grid and label spacing in points for a zoom: the original 5 and 10 while points stand at least
// `pixelsPerPoint` apart for that, else the next round spans of time (seconds) that keep lines
// 20 pixels and labels `labelWidth` + 8 pixels apart.
struct TickSteps {
  int tickEvery = 5;
  int labelEvery = 10;
};
TickSteps tickStepsFor(double pixelsPerPoint, int labelWidth);

// "%02d:%02d:%02d" of a number of seconds.
QString timeLabelText(int seconds);
// Box of a point marker of the given pen width: radius penWidth + 2 around the centre, in the
// QPainter::drawEllipse(QRect) sense (the outline reaches the centre +- radius).
QRect markerRect(QPoint centre, int penWidth);
// Qt pen style of a Windows pen style code (0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot,
// 5 none, 6 inside frame); unknown codes draw solid.
Qt::PenStyle qtPenStyle(int windowsStyle);

}  // namespace mvgui
