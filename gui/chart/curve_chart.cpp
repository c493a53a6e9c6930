#include "chart/curve_chart.h"

#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>
#include <QWheelEvent>

namespace mvgui {

namespace {

const QColor kGridColour(0, 128, 0);
const QColor kLabelColour(0, 255, 0);
const QColor kMarkerColour(255, 255, 255);

void drawSeries(QPainter& painter, const SeriesPlan& plan, const CurveSeries& s, const QPen& gridPen,
                int height, int labelAscent) {
  QPen pen(s.colour, s.penWidth, qtPenStyle(s.penStyle), Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(pen);
  painter.setBrush(s.colour);
  const bool markers = !plan.markers.empty();
  QPoint previous = plan.start;
  for (size_t i = 0; i < plan.points.size(); ++i) {
    const PlotPoint& p = plan.points[i];
    if (p.tick) {
      painter.setPen(gridPen);
      painter.drawLine(p.pixel.x(), 0, p.pixel.x(), height);
      if (!p.label.isEmpty()) {
        painter.setPen(kLabelColour);
        painter.drawText(p.labelTopLeft + QPoint(0, labelAscent), p.label);
      }
      painter.setPen(pen);
    }
    painter.drawLine(previous, p.pixel);
    if (markers) painter.drawEllipse(plan.markers[i]);
    previous = p.pixel;
  }
  if (markers) painter.drawEllipse(plan.markers.back());
  if (!plan.accentMarkers.empty()) {
    painter.setPen(QPen(s.accentColour, 1));
    painter.setBrush(s.accentColour);
    for (const QRect& r : plan.accentMarkers) painter.drawEllipse(r);
  }
}

}  // namespace

void paintChart(QPainter& painter, const CurveChartModel& model, QSize client) {
  painter.fillRect(QRect(QPoint(0, 0), client), model.backColour);

  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  painter.setFont(font);
  const QFontMetrics metrics = painter.fontMetrics();
  const QSize labelSize(metrics.horizontalAdvance(QStringLiteral("00:00:00")), metrics.height());

  const ChartPlan plan = planChart(model, client, labelSize);
  const QPen gridPen(kGridColour, 1);
  painter.setPen(gridPen);
  painter.drawLines(plan.grid.data(), int(plan.grid.size()));
  for (const SeriesPlan& s : plan.series)
    drawSeries(painter, s, model.series.at(s.id), gridPen, client.height(), metrics.ascent());
  if (plan.marker) {
    painter.setPen(QPen(kMarkerColour, 1, Qt::DashLine));
    painter.drawLine(*plan.marker);
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

QRect CCurveChart::clientRect() const { return {0, 0, width(), std::max(0, height() - scrollBarHeight())}; }

void CCurveChart::resizeEvent(QResizeEvent* event) {
  const QRect client = clientRect();
  bar_->setGeometry(0, client.height(), width(), height() - client.height());
  QWidget::resizeEvent(event);
}

void CCurveChart::paintEvent(QPaintEvent*) {
  const QRect client = clientRect();
  if (client.isEmpty()) return;
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(client.size()) * ratio).toSize();
  if (buffer_.size() != pixels) {
    buffer_ = QPixmap(pixels);
    buffer_.setDevicePixelRatio(ratio);
  }
  {
    QPainter painter(&buffer_);
    paintChart(painter, *this, client.size());
  }
  QPainter(this).drawPixmap(0, 0, buffer_);
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
    emit zoomRequested(steps);
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
      emit zoomRequested(1);
      break;
    case Qt::Key_Minus:
      emit zoomRequested(-1);
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
  if (event->button() == Qt::LeftButton && clientRect().contains(at) && hasPoints())
    emit clickedAt(xAtPixel(at.x()));
  QWidget::mousePressEvent(event);
}

void CCurveChart::invalidate() { update(clientRect()); }

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
