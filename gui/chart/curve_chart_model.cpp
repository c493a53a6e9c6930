#include "chart/curve_chart_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <set>
#include <stdexcept>

#include "media/time_format.h"

namespace mvgui {

namespace {

constexpr int64_t kIntMin = std::numeric_limits<int>::min();
constexpr int64_t kIntMax = std::numeric_limits<int>::max();

// The owner may write any field, so sums and products are formed wide and saturated instead of
// wrapping.
int saturate(int64_t v) { return int(std::clamp(v, kIntMin, kIntMax)); }

// Truncation toward zero, saturated; NaN becomes 0.
int truncate(double v) {
  if (std::isnan(v)) return 0;
  return int(std::clamp(std::trunc(v), double(kIntMin), double(kIntMax)));
}

// One mapping from data to pixels for the operation and the paint plan alike.
QPoint mapToPixel(const CurveChartModel& m, QSize client, int x, int y) {
  const int64_t w = client.width();
  const int64_t h = client.height();
  const int px = m.viewWidth == 0 ? 0 : saturate((int64_t(x) - m.viewStart) * w / m.viewWidth);
  // Nothing above 0 since the reset: no scale, so the bottom edge, where y = 0 lies anyway.
  const int py = m.yMax == 0 ? int(h) : saturate(h - truncate(double(h * y) * 0.95 / m.yMax));
  return {px, py};
}

}  // namespace

int32_t& CurvePoints::operator[](int32_t x) {
  if (points_.empty() || points_.back().first < x) return points_.emplace_back(x, 0).second;
  auto it = std::lower_bound(points_.begin(), points_.end(), x,
                             [](const value_type& p, int32_t v) { return p.first < v; });
  if (it == points_.end() || it->first != x) it = points_.insert(it, {x, 0});
  return it->second;
}

int32_t CurvePoints::at(int32_t x) const {
  const auto it = find(x);
  if (it == end()) throw std::out_of_range("no point at this x");
  return it->second;
}

CurvePoints::const_iterator CurvePoints::find(int32_t x) const {
  const auto it = lower_bound(x);
  return it != end() && it->first == x ? it : end();
}

CurvePoints::const_iterator CurvePoints::lower_bound(int32_t x) const {
  return std::lower_bound(points_.begin(), points_.end(), x,
                          [](const value_type& p, int32_t v) { return p.first < v; });
}

CurvePoints::const_iterator CurvePoints::upper_bound(int32_t x) const {
  return std::upper_bound(points_.begin(), points_.end(), x,
                          [](int32_t v, const value_type& p) { return v < p.first; });
}

void CurveChartModel::AddSeries(int id, const CurveSeries& record) {
  if (seriesIds.insert(id).second) series.insert_or_assign(id, record);
}

CurveSeries* CurveChartModel::findSeries(int id) {
  const auto it = series.find(id);
  return it == series.end() ? nullptr : &it->second;
}

const CurveSeries* CurveChartModel::findSeries(int id) const {
  const auto it = series.find(id);
  return it == series.end() ? nullptr : &it->second;
}

bool CurveChartModel::hasPoints() const {
  return std::any_of(series.begin(), series.end(), [](const auto& s) { return !s.second.points.empty(); });
}

int CurveChartModel::AddPoint(int id, int x, int y, int redraw) {
  if (!seriesIds.contains(id)) return 0;
  CurveSeries& target = series[id];
  bool changed = false;
  if (!hasPoints()) {
    yMax = yMin = y;
    notifyRanges();
  } else {
    const int64_t viewEnd = int64_t(viewStart) + viewWidth;
    const bool lastInView = !target.points.empty() && target.points.rbegin()->first >= viewStart &&
                            target.points.rbegin()->first <= viewEnd;
    if (lastInView && x > viewStart + 0.9 * viewWidth) {
      viewStart = truncate(x - 0.9 * viewWidth);  // the new point sits at 90 % of the width
      changed = true;
    } else if (x > xMax && x > viewWidth) {
      xMax = truncate(viewWidth * 0.1 + x);
      changed = true;
    } else if (x < xMin) {
      xMin = x;
      changed = true;
    }
    if (y > yMax) {
      yMax = y;
      notifyRanges();
    }
    if (y < yMin) {
      yMin = y;
      notifyRanges();
    }
  }
  target.points[x] = y;
  if (changed) {
    viewStart = std::max(viewStart, xMin);
    xMax = std::max(xMax, saturate(int64_t(viewStart) + viewWidth));
  }
  if (redraw) invalidate();
  return 1;
}

void CurveChartModel::ClearPoints() {
  for (auto& [id, s] : series) s.points.clear();
}

void CurveChartModel::ResetRange() {
  viewStart = 0;
  viewWidth = 1000;
  xMin = 0;
  yMin = 0;
  xMax = 1000;
  yMax = 0;
}

void CurveChartModel::UpdateScrollBar() {
  ScrollBarState bar;
  const int64_t range = int64_t(xMax) - xMin;
  if (range <= 0) {
    // No scrollable range: a full thumb at the start.
    bar.page = bar.maximum - bar.minimum + 1;
    bar.position = bar.minimum;
  } else {
    // The page is all or nothing: 1000 while the whole range fits the view, else 0.
    const int64_t page = int64_t(viewWidth) / range * 1000;
    bar.page = int(std::clamp<int64_t>(page, 0, bar.maximum - bar.minimum + 1));
    const int position = truncate((int64_t(viewStart) - xMin) / double(range) * 1000.0);
    bar.position = std::clamp(position, bar.minimum, std::max(bar.minimum, bar.lastPosition()));
  }
  scrollBar_ = bar;
  applyScrollBar(scrollBar_);
  notifyRanges();
}

void CurveChartModel::SetShowPoints(int id, int flag) {
  if (CurveSeries* s = findSeries(id)) s->showPoints = flag;
}

void CurveChartModel::SetXStep(int id, int step) {
  if (CurveSeries* s = findSeries(id)) s->xStep = step;
}

QPoint CurveChartModel::MapToPixel(int x, int y) const { return mapToPixel(*this, clientSize(), x, y); }

bool CurveChartModel::OnHScroll(int code, int thumbPosition) {
  const CurveSeries* first = findSeries(1);
  const int64_t step = first ? first->xStep : 0;
  int64_t start = viewStart;
  switch (code) {
    case kLineLeft:
      if (viewStart < 1) return false;
      start -= step;
      break;
    case kLineRight:
      start += step;
      break;
    case kPageLeft:
      start -= 10 * step;
      if (start < 0) start = 0;
      break;
    case kPageRight:
      // The first page from the very start moves one line less than later ones.
      if (start == 0) start = -step;
      start += 10 * step;
      break;
    case kThumbTrack:
      start = truncate(thumbPosition * 0.001 * (int64_t(xMax) - xMin) + xMin);
      break;
    default:
      return false;
  }
  ScrollTo(start);
  return true;
}

void CurveChartModel::ScrollTo(int64_t start) {
  start = std::min(start, int64_t(xMax) - viewWidth);
  start = std::max(start, int64_t(xMin));
  viewStart = saturate(start);
  invalidate();
  UpdateScrollBar();
}

int64_t CurveChartModel::xAtPixel(int px) const {
  const int64_t w = clientSize().width();
  return w <= 0 ? viewStart : viewStart + int64_t(px) * viewWidth / w;
}

void CurveChartModel::notifyRanges() {
  if (notifyParent) postRangeNotice({viewStart, saturate(int64_t(viewStart) + viewWidth), yMin, yMax});
}

// ---- Paint plan ----

QString timeLabelText(int seconds) {
  if (seconds >= 0) return QString::fromStdString(mv::formatSeconds(uint32_t(seconds)));
  char text[40];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
  return QString::fromLatin1(text);
}

QRect markerRect(QPoint centre, int penWidth) {
  const int r = penWidth + 2;
  return {centre.x() - r, centre.y() - r, 2 * r, 2 * r};
}

Qt::PenStyle qtPenStyle(int windowsStyle) {
  switch (windowsStyle) {
    case 1:
      return Qt::DashLine;
    case 2:
      return Qt::DotLine;
    case 3:
      return Qt::DashDotLine;
    case 4:
      return Qt::DashDotDotLine;
    case 5:
      return Qt::NoPen;
    default:
      return Qt::SolidLine;
  }
}

TickSteps tickStepsFor(double pixelsPerPoint, int labelWidth) {
  // Spans in points (= seconds); each a multiple of the one before, so labels fall on lines.
  static const int kSpans[] = {5,    10,   30,    60,    300,   600,    1800,
                               3600, 7200, 21600, 43200, 86400, 432000, 864000};
  const double labelRoom = labelWidth + 8.0;
  if (pixelsPerPoint * 5 >= 20 && pixelsPerPoint * 10 >= labelRoom) return {};
  TickSteps t{kSpans[std::size(kSpans) - 1], kSpans[std::size(kSpans) - 1]};
  for (int span : kSpans) {
    if (span * pixelsPerPoint >= 20) {
      t.tickEvery = span;
      break;
    }
  }
  for (int span : kSpans) {
    if (span > t.tickEvery && span % t.tickEvery == 0 && span * pixelsPerPoint >= labelRoom) {
      t.labelEvery = span;
      break;
    }
  }
  t.labelEvery = std::max(t.labelEvery, t.tickEvery);
  return t;
}

namespace {

QString pointLabel(const CurveChartModel& m, int position) {
  return m.countLabels ? QString::number(position) : timeLabelText(position);
}

void planGrid(const CurveChartModel& m, QSize client, bool noData, std::vector<QLine>& grid) {
  const int w = client.width();
  const int h = client.height();
  if (m.hGridCount > 0 && h > 0) {
    const int d = h / m.hGridCount;
    for (int y = d; d > 0 && y < h; y += d) grid.emplace_back(0, y, w, y);
  }
  if (noData && m.vGridCount > 0 && m.viewWidth > 0) {
    const int64_t s = m.viewWidth / m.vGridCount;
    const int64_t end = int64_t(m.viewStart) + m.viewWidth;
    for (int64_t x = int64_t(m.viewStart) + s; s > 0 && x < end; x += s) {
      const int px = saturate((x - m.viewStart) * w / m.viewWidth);
      grid.emplace_back(px, 0, px, h);
    }
  }
}

// Points sharing a pixel column become one at the column's highest value; a column that holds a
// grid or label position carries the line or label.
void planColumns(const CurveChartModel& m, const CurveSeries& s, QSize client, QSize labelSize,
                 bool timeLabels, SeriesPlan& plan) {
  const auto& points = s.points;
  const int tickEvery = std::max(1, m.tickEvery), labelEvery = std::max(1, m.labelEvery);
  auto start = points.lower_bound(m.viewStart);
  if (start != points.begin()) start = std::prev(start);
  plan.start = mapToPixel(m, client, start->first, start->second);
  int position = int(std::distance(points.begin(), start)) + 1;
  bool open = false;
  PlotPoint column;
  for (auto it = std::next(start); it != points.end(); ++it) {
    ++position;
    const QPoint pixel = mapToPixel(m, client, it->first, it->second);
    if (open && pixel.x() == column.pixel.x()) {
      column.pixel.setY(std::min(column.pixel.y(), pixel.y()));
    } else {
      if (open) {
        if (column.pixel.x() > client.width()) break;
        plan.points.push_back(column);
      }
      column = PlotPoint{};
      column.pixel = pixel;
      column.position = position;
      open = true;
    }
    if (timeLabels && position % tickEvery == 0 && !column.tick) {
      column.tick = true;
      if (position % labelEvery == 0) {
        column.label = pointLabel(m, position);
        column.labelTopLeft = {pixel.x() - labelSize.width() / 2, client.height() - labelSize.height()};
      }
    }
  }
  if (open) plan.points.push_back(column);
}

void planAccents(const CurveChartModel& m, const CurveSeries& s, QSize client, SeriesPlan& plan) {
  const int64_t right = int64_t(m.viewStart) + m.viewWidth;
  int lastColumn = -1;
  for (auto it = s.accentX.lower_bound(m.viewStart); it != s.accentX.end() && *it <= right; ++it) {
    const auto point = s.points.find(*it);
    if (point == s.points.end()) continue;
    const QPoint pixel = mapToPixel(m, client, point->first, point->second);
    if (m.columnMaxima && pixel.x() == lastColumn) continue;  // one a column is as much as shows
    lastColumn = pixel.x();
    plan.accentMarkers.push_back(markerRect(pixel, s.penWidth));
  }
}

void planKinds(const CurveChartModel& m, const CurveSeries& s, QSize client, SeriesPlan& plan) {
  if (s.pointKinds.empty() || m.columnMaxima) return;
  const int64_t right = int64_t(m.viewStart) + m.viewWidth;
  const auto end = right >= kIntMax ? s.points.end() : s.points.upper_bound(int(right));
  for (auto it = s.points.lower_bound(m.viewStart); it != end; ++it) {
    const size_t index = size_t(it - s.points.begin());
    if (index >= s.pointKinds.size()) break;
    if (const uint8_t kind = s.pointKinds[index])
      plan.kindMarkers.emplace_back(markerRect(mapToPixel(m, client, it->first, it->second), s.penWidth + 1),
                                    kind);
  }
}

SeriesPlan planSeries(const CurveChartModel& m, int id, const CurveSeries& s, QSize client, QSize labelSize,
                      bool timeLabels) {
  SeriesPlan plan;
  plan.id = id;
  timeLabels = timeLabels && s.drawTicks;
  planAccents(m, s, client, plan);
  planKinds(m, s, client, plan);
  if (m.columnMaxima) {
    planColumns(m, s, client, labelSize, timeLabels, plan);
    return plan;
  }
  const auto& points = s.points;
  const int64_t right = int64_t(m.viewStart) + m.viewWidth;
  const int tickEvery = std::max(1, m.tickEvery), labelEvery = std::max(1, m.labelEvery);

  // Start one point before the left edge so that the line enters the view from outside.
  auto start = points.lower_bound(m.viewStart);
  if (start != points.begin()) start = std::prev(start);
  plan.start = mapToPixel(m, client, start->first, start->second);

  // A series that lies wholly right of the view draws only its first point; iterating from the
  // point after it to "the first point beyond the right edge" would never meet that point.
  if (start->first <= right) {
    const auto end = right >= kIntMax ? points.end() : points.upper_bound(int(right));
    int position = int(std::distance(points.begin(), start)) + 2;
    for (auto it = std::next(start); it != end; ++it, ++position) {
      PlotPoint p;
      p.pixel = mapToPixel(m, client, it->first, it->second);
      p.position = position;
      p.tick = timeLabels && position % tickEvery == 0;
      if (p.tick && position % labelEvery == 0) {
        p.label = pointLabel(m, position);
        p.labelTopLeft = {p.pixel.x() - labelSize.width() / 2, client.height() - labelSize.height()};
      }
      plan.points.push_back(std::move(p));
    }
    // The line continues to the first point beyond the right edge, which carries no tick.
    if (end != points.end()) {
      PlotPoint p;
      p.pixel = mapToPixel(m, client, end->first, end->second);
      p.position = position;
      plan.points.push_back(std::move(p));
    }
  }

  if (s.showPoints) {
    plan.markers.reserve(plan.points.size() + 1);
    plan.markers.push_back(markerRect(plan.start, s.penWidth));
    for (const PlotPoint& p : plan.points) plan.markers.push_back(markerRect(p.pixel, s.penWidth));
  }
  return plan;
}

}  // namespace

ChartPlan planChart(const CurveChartModel& model, QSize client, QSize labelSize) {
  ChartPlan plan;
  plan.noData = !model.hasPoints();
  plan.timeLabels = model.showGrid && !plan.noData;
  if (model.showGrid) planGrid(model, client, plan.noData, plan.grid);
  // Two files' curves tick at the same places: each place has its line and label once, from the
  // first series that reaches it, as text drawn twice over itself looks bold.
  std::set<int> marked;
  for (const auto& [id, s] : model.series) {
    if (s.points.empty() || !s.shown) continue;
    SeriesPlan& series =
        plan.series.emplace_back(planSeries(model, id, s, client, labelSize, plan.timeLabels));
    for (PlotPoint& p : series.points) {
      if (!p.tick || marked.insert(p.pixel.x()).second) continue;
      p.tick = false;
      p.label.clear();
    }
  }
  if (model.markedX && *model.markedX >= model.viewStart &&
      int64_t(*model.markedX) <= int64_t(model.viewStart) + model.viewWidth) {
    const int px = mapToPixel(model, client, *model.markedX, 0).x();
    plan.marker = QLine(px, 0, px, client.height());
  }
  return plan;
}

}  // namespace mvgui
