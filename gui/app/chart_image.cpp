#include "app/chart_image.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/failure_causes.h"
#include "app/main_app.h"
#include "chart/curve_chart.h"
#include "platform/output_file.h"
#include "report/text_report.h"
#include "widgets/file_colours.h"

namespace mvgui {
namespace {

int lastPointX(const CurveChartModel& chart) {
  int last = chart.xMin;
  for (const auto& [id, s] : chart.series)
    if (!s.points.empty()) last = std::max(last, s.points.rbegin()->first);
  return last;
}

}  // namespace

QString itemName(int item) {
  static const char* const names[] = {QT_TRANSLATE_NOOP("mvgui::ChartImage", "视频码率"),
                                      QT_TRANSLATE_NOOP("mvgui::ChartImage", "音频码率"),
                                      QT_TRANSLATE_NOOP("mvgui::ChartImage", "总码率")};
  return QCoreApplication::translate("mvgui::ChartImage", names[std::clamp(item, 0, 2)]);
}

double addSecondsToChart(CurveChartModel& chart, const std::array<mv::FileSlot, 2>& fileSlots, int item) {
  double top = 0.0;
  for (int slot = 0; slot < 2; ++slot) {
    const mv::FileSlot& s = fileSlots[size_t(slot)];
    if (!s.isLoaded()) continue;
    const int id = slot + 1;
    CurveSeries* series = chart.findSeries(id);
    const uint32_t n = s.elementCount();
    if (series && series->enabled) series->points.reserve(series->points.size() + n);
    for (uint32_t i = mv::kFirstSecond; i < n; ++i) {
      const int v = int(mv::cellValue(s, i, item));
      if (series && series->enabled) {
        const int x = series->points.empty() ? 0 : series->points.rbegin()->first + series->xStep;
        chart.AddPoint(id, x, v, false);
      }
      top = std::max(top, double(v));
    }
  }
  return top;
}

CurveChartModel wholeFileChart(const std::array<mv::FileSlot, 2>& fileSlots, int item) {
  CurveChartModel chart;
  chart.showGrid = 1;
  chart.vGridCount = 8;
  chart.hGridCount = 8;
  for (int id : {1, 2}) {
    CurveSeries s;
    s.colour = kFileColour[id - 1];
    chart.AddSeries(id, s);
  }
  addSecondsToChart(chart, fileSlots, item);
  return chart;
}

void fitTicks(CurveChartModel& chart, int plotWidth, bool keepOriginal) {
  const CurveSeries* first = chart.findSeries(1);
  const int step = first ? std::max(1, first->xStep) : 10;
  const double pixelsPerPoint = chart.viewWidth > 0 ? double(plotWidth) * step / chart.viewWidth : 0.0;
  TickSteps steps;
  if (!keepOriginal) steps = tickStepsFor(pixelsPerPoint, timeLabelSize().width());
  chart.tickEvery = steps.tickEvery;
  chart.labelEvery = steps.labelEvery;
  chart.columnMaxima = pixelsPerPoint < 1.0;
}

void fitWholeRange(CurveChartModel& chart, int plotWidth) {
  const CurveSeries* first = chart.findSeries(1);
  const int step = first ? std::max(1, first->xStep) : 10;
  chart.viewStart = chart.xMin;
  chart.viewWidth = std::max(step, lastPointX(chart) - chart.xMin);
  chart.xMax = chart.xMin + chart.viewWidth;
  fitTicks(chart, plotWidth, false);
}

namespace {

// The largest number on the rate axis, as the window's axis labels give it.
int axisTop(const CurveChartModel& chart) {
  return chart.yMax > 1 ? int(std::min(std::trunc(chart.yMax * 1.05 + 0.5), double(INT32_MAX))) : 1000;
}

}  // namespace

QRect chartPlotRect(const CurveChartModel& chart, QSize size) {
  const QFontMetrics metrics(timeLabelFont());
  const int legendHeight = metrics.height() + 12;
  const int axisWidth = metrics.horizontalAdvance(QString::number(axisTop(chart))) + 14;
  // Under the plot a band for the time labels; right of it room for half of one.
  const QSize label = timeLabelSize();
  return {axisWidth, legendHeight, size.width() - axisWidth - label.width() / 2 - 2,
          size.height() - legendHeight - label.height() - 8};
}

QImage renderChartImage(const CurveChartModel& source, const std::array<QString, 2>& names,
                        const QString& item, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(timeLabelFont());
  const QFontMetrics metrics = painter.fontMetrics();
  const QRect plot = chartPlotRect(source, size);
  const int axisWidth = plot.left();

  // Legend: the item, then a swatch and the name of each file.
  painter.setPen(Qt::black);
  int x = axisWidth;
  const int baseline = 6 + metrics.ascent();
  painter.drawText(x, baseline, item);
  x += metrics.horizontalAdvance(item) + 16;
  for (int k = 0; k < 2; ++k) {
    if (names[size_t(k)].isEmpty()) continue;
    painter.fillRect(QRect(x, 6 + (metrics.height() - 10) / 2, 20, 10), kFileColour[k]);
    painter.drawRect(QRect(x, 6 + (metrics.height() - 10) / 2, 20, 10));
    x += 26;
    const QString name =
        metrics.elidedText(names[size_t(k)], Qt::ElideMiddle, std::max(40, (image.width() - x) / 2 - 10));
    painter.drawText(x, baseline, name);
    x += metrics.horizontalAdvance(name) + 16;
  }

  // The rate axis: five values from 0 to 105 % of the largest, where the plot puts them.
  const int high = axisTop(source);
  for (int k = 0; k <= 4; ++k) {
    const int value = high / 4 * k;
    const double fraction = source.yMax > 0 ? value * 0.95 / source.yMax : k / 4.0;
    const int y = plot.bottom() - int(std::lround(fraction * plot.height()));
    if (y < plot.top() - metrics.height() / 2) continue;
    painter.drawLine(plot.left() - 4, y, plot.left() - 1, y);
    const QString text = QString::number(value);
    painter.drawText(plot.left() - 6 - metrics.horizontalAdvance(text), y + metrics.ascent() / 2, text);
  }

  // Drawn from the chart as it stands: the plan takes the plot's size, so a copy of a long
  // series' points is not needed.
  painter.translate(plot.topLeft());
  painter.setClipRect(QRect(QPoint(0, 0), plot.size()));
  const ChartPlan plan = paintChart(painter, source, plot.size());
  painter.setClipping(false);
  paintTimeLabels(painter, plan, QPoint(0, timeLabelSize().height() + 2), -plot.left(),
                  image.width() - plot.left(), Qt::black);
  return image;
}

bool savePng(const QImage& image, const QString& path, std::span<const mv::FileIdentity> keep,
             WriteFailure* failure) {
  const auto failed = [failure](mv::OutputError error, int err) {
    if (failure) *failure = {error, err};
    return false;
  };
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return failed(mv::OutputError::WriteFailed, 0);
  mv::OutputFile out;
  if (!out.open(path.toStdString(), keep)) return failed(out.error(), out.systemError());
  out.append(bytes.constData(), size_t(bytes.size()));
  if (!out.close()) return failed(out.error(), out.systemError());
  return true;
}

int runChartCommand(const QStringList& arguments) {
  QString out;
  QStringList files;
  int item = 0, width = 1000, height = 500;
  const auto fail = [](const QString& text) {
    std::fprintf(stderr, "morvatelline: %s\n", text.toLocal8Bit().constData());
    return 2;
  };
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (a == "--chart" && hasValue) {
      out = arguments[++i];
    } else if (a == "--item" && hasValue) {
      const QString v = arguments[++i];
      item = v == "video" ? 0 : v == "audio" ? 1 : v == "total" ? 2 : -1;
      if (item < 0) return fail("--item takes video, audio or total");
    } else if ((a == "--width" || a == "--height") && hasValue) {
      bool ok = false;
      const int v = arguments[++i].toInt(&ok);
      if (!ok || v < 200 || v > 20000) return fail(a + " takes a number of pixels from 200 to 20000");
      (a == "--width" ? width : height) = v;
    } else if (a.startsWith("--")) {
      return fail("unknown option " + a);
    } else {
      files << a;
    }
  }
  if (out.isEmpty() || files.isEmpty() || files.size() > 2)
    return fail(
        "usage: morvatelline --chart OUT.png FILE [FILE2] [--item video|audio|total] [--width W --height H]");
  // A file that did not load or an image that was not written is named with its cause, in the
  // words and the language of morvatelline-cli.
  const bool english = localeAsksForEnglish();
  const auto tell = [](const QString& what, const std::string& cause) {
    std::fprintf(stderr, "morvatelline: %s: %s\n", what.toLocal8Bit().constData(), cause.c_str());
    return 1;
  };
  std::array<mv::FileSlot, 2> fileSlots;
  std::array<QString, 2> names;
  for (int k = 0; k < int(files.size()); ++k) {
    const std::string path = files[k].toStdString();
    if (const mv::LoadResult loaded = fileSlots[size_t(k)].open(path); !loaded.ok())
      return tell(files[k], mv::loadFailureCause(path, loaded, english));
    names[size_t(k)] = QFileInfo(files[k]).fileName();
  }
  CurveChartModel chart = wholeFileChart(fileSlots, item);
  fitWholeRange(chart, chartPlotRect(chart, QSize(width, height)).width());
  const QImage image = renderChartImage(chart, names, itemName(item), QSize(width, height));
  WriteFailure failure;
  if (!savePng(image, out, mv::mediaIdentities({&fileSlots[0], &fileSlots[1]}), &failure))
    return tell(out, mv::writeFailureCause(failure.error, failure.systemError, english));
  return 0;
}

}  // namespace mvgui
