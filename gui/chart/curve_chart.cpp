#include "chart/curve_chart.h"

#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <vector>

namespace mvgui {

namespace {

const QColor kGridColour(0, 128, 0);
const QColor kLabelColour(0, 255, 0);
const QColor kMarkerColour(255, 255, 255);

void drawKindMarker(QPainter& painter, const QRect& r, const QColor& colour, uint8_t kind) {
  painter.setPen(QPen(colour, 1));
  painter.setBrush(colour);
  if (kind == kKindI) {
    painter.drawRect(r.adjusted(0, 0, -1, -1));
  } else if (kind == kKindB) {
    const QPoint corners[3] = {{r.center().x(), r.top()}, {r.right(), r.bottom()}, {r.left(), r.bottom()}};
    painter.drawPolygon(corners, 3);
  } else {
    painter.drawEllipse(r);
  }
}

void drawSeries(QPainter& painter, const SeriesPlan& plan, const CurveSeries& s, const QPen& gridPen,
                int height) {
  QPen pen(s.colour, s.penWidth, qtPenStyle(s.penStyle), Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(pen);
  painter.setBrush(s.colour);
  // Typed points show their kind's marker instead of the plain one.
  const bool markers = !plan.markers.empty() && plan.kindMarkers.empty();
  QPoint previous = plan.start;
  for (size_t i = 0; i < plan.points.size(); ++i) {
    const PlotPoint& p = plan.points[i];
    if (p.tick) {
      painter.setPen(gridPen);
      painter.drawLine(p.pixel.x(), 0, p.pixel.x(), height);
      painter.setPen(pen);
    }
    painter.drawLine(previous, p.pixel);
    if (markers) painter.drawEllipse(plan.markers[i]);
    previous = p.pixel;
  }
  if (markers) painter.drawEllipse(plan.markers.back());
  for (const auto& [r, kind] : plan.kindMarkers) drawKindMarker(painter, r, s.kindColours[kind & 3], kind);
  if (!plan.accentMarkers.empty()) {
    // Over a typed marker a key frame is a ring, so that its type still shows.
    const bool rings = !s.pointKinds.empty();
    painter.setPen(QPen(s.accentColour, rings ? 2 : 1));
    painter.setBrush(rings ? QBrush(Qt::NoBrush) : QBrush(s.accentColour));
    for (const QRect& r : plan.accentMarkers) painter.drawEllipse(rings ? r.adjusted(-2, -2, 2, 2) : r);
  }
}

// Which series carry types, each as one legend line: its kinds in their colours and shapes.
void paintKindLegend(QPainter& painter, const CurveChartModel& model, const ChartPlan& plan) {
  painter.setFont(timeLabelFont());
  const QFontMetrics metrics = painter.fontMetrics();
  const int line = metrics.height() + 2;
  int y = 4;
  for (const SeriesPlan& planned : plan.series) {
    const CurveSeries& s = model.series.at(planned.id);
    if (s.pointKinds.empty()) continue;
    int x = 6;
    for (uint8_t kind : {kKindI, kKindP, kKindB}) {
      const QColor colour = s.kindColours[kind];
      drawKindMarker(painter, QRect(x, y + (line - 8) / 2, 8, 8), colour, kind);
      x += 12;
      const QString name = QStringLiteral(" IPB").mid(kind, 1);
      painter.setPen(colour);
      painter.drawText(x, y + metrics.ascent() + 1, name);
      x += metrics.horizontalAdvance(name) + 10;
    }
    y += line;
  }
}

// The areas between stacked series, under every curve and tick; the grid shows through.
void paintAreas(QPainter& painter, const CurveChartModel& model, const ChartPlan& plan, int height) {
  painter.setPen(Qt::NoPen);
  for (const SeriesPlan& s : plan.series) {
    const CurveSeries& series = model.series.at(s.id);
    if (series.fillTo < 0) continue;
    QPolygon area;
    area << s.start;
    for (const PlotPoint& p : s.points) area << p.pixel;
    const auto lower = std::find_if(plan.series.begin(), plan.series.end(),
                                    [&](const SeriesPlan& other) { return other.id == series.fillTo; });
    if (series.fillTo > 0 && lower != plan.series.end()) {
      for (auto p = lower->points.rbegin(); p != lower->points.rend(); ++p) area << p->pixel;
      area << lower->start;
    } else {
      area << QPoint(area.last().x(), height) << QPoint(s.start.x(), height);
    }
    QColor fill = series.colour;
    fill.setAlpha(200);
    painter.setBrush(fill);
    painter.drawPolygon(area);
  }
}

// The named series in a row along the top, wrapping as the width needs, on a dark band.
void paintAreaLegend(QPainter& painter, const CurveChartModel& model, const ChartPlan& plan, int width) {
  painter.setFont(timeLabelFont());
  const QFontMetrics metrics = painter.fontMetrics();
  const int line = metrics.height() + 2, box = metrics.ascent() - 2;
  struct Entry {
    QRect swatch;
    QPoint text;
    QString name;
    QColor colour;
  };
  std::vector<Entry> entries;
  int x = 6, y = 4, right = 0;
  for (const SeriesPlan& planned : plan.series) {
    const CurveSeries& s = model.series.at(planned.id);
    if (s.legend.isEmpty()) continue;
    const QString name = metrics.elidedText(s.legend, Qt::ElideRight, std::max(60, width / 2));
    const int w = box + 4 + metrics.horizontalAdvance(name);
    if (x > 6 && x + w > width - 6) x = 6, y += line;
    entries.push_back({QRect(x, y + (line - box) / 2, box, box),
                       QPoint(x + box + 4, y + metrics.ascent() + 1), name, s.colour});
    right = std::max(right, x + w);
    x += w + 12;
  }
  if (entries.empty()) return;
  painter.fillRect(QRect(2, 2, right + 2, y + line), QColor(0, 0, 0, 170));
  for (const Entry& e : entries) {
    painter.setPen(e.colour);
    painter.setBrush(e.colour);
    painter.drawRect(e.swatch.adjusted(0, 0, -1, -1));
    painter.drawText(e.text, e.name);
  }
}

}  // namespace

QFont timeLabelFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  return font;
}

QSize timeLabelSize() {
  const QFontMetrics metrics(timeLabelFont());
  return {metrics.horizontalAdvance(QStringLiteral("00:00:00")), metrics.height()};
}

ChartPlan paintChart(QPainter& painter, const CurveChartModel& model, QSize client) {
  painter.fillRect(QRect(QPoint(0, 0), client), model.backColour);
  ChartPlan plan = planChart(model, client, timeLabelSize());
  const QPen gridPen(kGridColour, 1);
  painter.setPen(gridPen);
  painter.drawLines(plan.grid.data(), int(plan.grid.size()));
  paintAreas(painter, model, plan, client.height());
  for (const SeriesPlan& s : plan.series)
    drawSeries(painter, s, model.series.at(s.id), gridPen, client.height());
  if (plan.marker) {
    painter.setPen(QPen(kMarkerColour, 1, Qt::DashLine));
    painter.drawLine(*plan.marker);
  }
  paintKindLegend(painter, model, plan);
  paintAreaLegend(painter, model, plan, client.width());
  return plan;
}

void paintTimeLabels(QPainter& painter, const ChartPlan& plan, QPoint shift, int left, int right,
                     const QColor& colour) {
  painter.setFont(timeLabelFont());
  painter.setPen(colour);
  const int ascent = painter.fontMetrics().ascent();
  const int width = timeLabelSize().width();
  for (const SeriesPlan& s : plan.series) {
    for (const PlotPoint& p : s.points) {
      if (p.label.isEmpty()) continue;
      QPoint at = p.labelTopLeft + shift;
      at.setX(std::clamp(at.x(), left, std::max(left, right - width)));
      painter.drawText(at + QPoint(0, ascent), p.label);
    }
  }
}

CCurveChart::CCurveChart(QWidget* parent) : QWidget(parent), bar_(new QScrollBar(Qt::Horizontal, this)) {
  // The paint covers the whole client area from the buffer, so nothing needs erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::WheelFocus);
  connect(bar_, &QScrollBar::actionTriggered, this, &CCurveChart::onScrollAction);
  connect(bar_, &QScrollBar::sliderReleased, this,
          [this] { OnHScroll(kThumbPosition, bar_->sliderPosition()); });
  applyScrollBar(scrollBarState());
}

int CCurveChart::scrollBarHeight() const { return bar_->sizeHint().height(); }

void CCurveChart::showAxes() {
  if (axes_) return;
  axes_ = true;
  for (auto& label : yLabels_) {
    label = new QLabel(this);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  fitAxes();
}

int CCurveChart::yLabelWidth() const {
  // Room for seven digits whatever the values, so that the plot keeps its place as they change.
  const QFontMetrics metrics(font());
  int widest = metrics.horizontalAdvance(QStringLiteral("8888888"));
  for (const QLabel* label : yLabels_)
    if (label) widest = std::max(widest, metrics.horizontalAdvance(label->text()));
  return widest;
}

QRect CCurveChart::clientRect() const {
  if (!axes_) return {0, 0, width(), std::max(0, height() - scrollBarHeight())};
  // The plot divides evenly into the grid: whole cells of ten pixels across, eight rows down.
  const int top = fontMetrics().height() / 2;
  const int w = std::max(0, width() - axisWidth_ - timeLabelSize().width() / 2);
  const int h = std::max(0, height() - top - timeBandHeight() - scrollBarHeight());
  return {axisWidth_, top, w - w % 10, h - h % 8};
}

int CCurveChart::timeBandHeight() const { return axes_ ? timeLabelSize().height() + 4 : 0; }

QSize CCurveChart::minimumSizeHint() const {
  if (!axes_) return QWidget::minimumSizeHint();
  return {yLabelWidth() + 6 + 200 + timeLabelSize().width() / 2,
          fontMetrics().height() / 2 + 80 + timeBandHeight() + scrollBarHeight()};
}

void CCurveChart::fitAxes() {
  if (!axes_) return;
  axisWidth_ = yLabelWidth() + 6;
  const QRect client = clientRect();
  bar_->setGeometry(client.left(), client.bottom() + 1 + timeBandHeight(), client.width(), scrollBarHeight());
  // Each rate label stands centred on its grid line: every second one, from the bottom edge up.
  const int lineHeight = fontMetrics().height();
  for (int k = 0; k < 5; ++k) {
    const int y = client.top() + client.height() - k * (client.height() / 8) * 2;
    yLabels_[size_t(k)]->setGeometry(0, y - lineHeight / 2, axisWidth_ - 6, lineHeight);
  }
  update();
  if (clientSize() != lastPlot_) {
    lastPlot_ = clientSize();
    emit plotResized();
  }
}

void CCurveChart::resizeEvent(QResizeEvent* event) {
  if (axes_) {
    fitAxes();
  } else {
    const QRect client = clientRect();
    bar_->setGeometry(0, client.height(), width(), height() - client.height());
  }
  QWidget::resizeEvent(event);
}

void CCurveChart::paintEvent(QPaintEvent*) {
  const QRect client = clientRect();
  QPainter widget(this);
  if (axes_) {
    // Outside the plot the window shows through; the time labels stand under their lines.
    const QRegion around = QRegion(rect()) - QRegion(client);
    for (const QRect& r : around) widget.fillRect(r, palette().window());
  }
  if (client.isEmpty()) return;
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(client.size()) * ratio).toSize();
  if (buffer_.size() != pixels) {
    buffer_ = QPixmap(pixels);
    buffer_.setDevicePixelRatio(ratio);
  }
  ChartPlan plan;
  {
    QPainter painter(&buffer_);
    plan = paintChart(painter, *this, client.size());
    if (!axes_) paintTimeLabels(painter, plan, {}, 0, client.width(), kLabelColour);
  }
  widget.drawPixmap(client.topLeft(), buffer_);
  if (axes_)
    paintTimeLabels(widget, plan, client.topLeft() + QPoint(0, timeLabelSize().height() + 2), 0, width(),
                    palette().color(QPalette::WindowText));
}

void CCurveChart::wheelEvent(QWheelEvent* event) {
  const QPoint angle = event->angleDelta();
  const int delta = std::abs(angle.x()) > std::abs(angle.y()) ? angle.x() : angle.y();
  wheelRest_ += delta;
  const int steps = wheelRest_ / 120;
  wheelRest_ %= 120;
  event->accept();
  if (steps == 0) return;
  if (event->modifiers() & Qt::ControlModifier) {
    emit zoomRequested(steps, int(event->position().x()) - clientRect().left());
    return;
  }
  // Wheel down or right moves on in time, a tenth of the view per notch.
  if (hasPoints()) ScrollTo(int64_t(viewStart) - int64_t(steps) * std::max(1, viewWidth / 10));
}

void CCurveChart::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Home:
      if (hasPoints()) ScrollTo(xMin);
      break;
    case Qt::Key_End:
      if (hasPoints()) ScrollTo(xMax);
      break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      emit zoomRequested(1, clientRect().width() / 2);
      break;
    case Qt::Key_Minus:
      emit zoomRequested(-1, clientRect().width() / 2);
      break;
    case Qt::Key_Left:
      OnHScroll(kLineLeft);
      break;
    case Qt::Key_Right:
      OnHScroll(kLineRight);
      break;
    case Qt::Key_PageUp:
      OnHScroll(kPageLeft);
      break;
    case Qt::Key_PageDown:
      OnHScroll(kPageRight);
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

void CCurveChart::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  const QPoint at = event->position().toPoint();
  const QRect client = clientRect();
  if (event->button() == Qt::LeftButton && client.contains(at) && hasPoints())
    emit clickedAt(xAtPixel(at.x() - client.left()));
  QWidget::mousePressEvent(event);
}

void CCurveChart::invalidate() {
  // With axes the time labels under the plot move with the view as well.
  axes_ ? update() : update(clientRect());
}

void CCurveChart::applyScrollBar(const ScrollBarState& state) {
  bar_->setRange(state.minimum, std::max(state.minimum, state.lastPosition()));
  bar_->setPageStep(state.page);
  bar_->setValue(state.position);
}

void CCurveChart::postRangeNotice(const RangeNotice& notice) {
  // Sent like posted window messages: after the current operation, with today's values.
  QMetaObject::invokeMethod(
      this,
      [this, notice] {
        emit viewRangeNotified(notice.viewStart, notice.viewEnd);
        emit valueRangeNotified(notice.yMin, notice.yMax);
      },
      Qt::QueuedConnection);
}

void CCurveChart::onScrollAction(int action) {
  int code;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      code = kLineLeft;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      code = kLineRight;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = kPageLeft;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = kPageRight;
      break;
    case QAbstractSlider::SliderMove:
      code = kThumbTrack;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = kScrollLeft;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = kScrollRight;
      break;
    default:
      return;
  }
  // The bar has already moved itself; it must show what the chart decides, including "nothing".
  if (!OnHScroll(code, bar_->sliderPosition())) applyScrollBar(scrollBarState());
}

}  // namespace mvgui
