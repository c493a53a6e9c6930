// Repainting the bitrate chart with two two-hour files (7,200 points each), offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <cmath>
#include <memory>

#include "chart/curve_chart.h"
#include "qt_benchmark_main.h"

namespace {

using mvgui::CCurveChart;

constexpr int kSeconds = 7200;

// Two series filled the way the panel fills them, view back at the start.
void fill(CCurveChart& chart) {
  chart.ClearPoints();
  chart.ResetRange();
  chart.UpdateScrollBar();
  for (int id : {1, 2}) {
    for (int i = 0; i < kSeconds; ++i) {
      const auto& s = chart.series.at(id);
      const int x = s.points.empty() ? 0 : s.points.rbegin()->first + s.xStep;
      chart.AddPoint(id, x, int(400 + 250 * std::sin(i * 0.07 * id) + i * 37 % 97), 0);
    }
  }
  chart.viewStart = chart.xMin;
  chart.UpdateScrollBar();
}

std::unique_ptr<CCurveChart> makeChart() {
  auto chart = std::make_unique<CCurveChart>();
  chart->notifyParent = 0;
  chart->showGrid = 1;
  chart->vGridCount = 8;
  chart->hGridCount = 8;
  for (int id : {1, 2}) {
    mvgui::CurveSeries s;
    s.colour = id == 1 ? QColor(255, 208, 255) : QColor(128, 255, 255);
    chart->AddSeries(id, s);
  }
  chart->resize(600, 320 + chart->horizontalScrollBar()->sizeHint().height());
  fill(*chart);
  return chart;
}

// Where the view stands: 0 start, 1 middle, 2 end (the ordered lookups and the position count
// walk furthest there).
void placeView(CCurveChart& chart, int where) {
  chart.viewStart = where == 0   ? chart.xMin
                    : where == 1 ? (chart.xMin + chart.xMax) / 2
                                 : chart.xMax - chart.viewWidth;
  chart.UpdateScrollBar();
}

// A whole frame through the widget: paint into the buffer and copy it to the window's backing store.
void BM_ChartRepaint(benchmark::State& state) {
  auto chart = makeChart();
  chart->SetShowPoints(1, int(state.range(1)));
  chart->SetShowPoints(2, int(state.range(1)));
  chart->show();
  placeView(*chart, int(state.range(0)));
  QCoreApplication::processEvents();
  for (auto _ : state) chart->repaint();
}
BENCHMARK(BM_ChartRepaint)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"view", "markers"})
    ->Unit(benchmark::kMillisecond);

// Drawing alone, into an image.
void BM_ChartPaint(benchmark::State& state) {
  auto chart = makeChart();
  placeView(*chart, 1);
  QImage image(chart->clientSize(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&image);
    mvgui::paintChart(painter, *chart, chart->clientSize());
  }
}
BENCHMARK(BM_ChartPaint)->Unit(benchmark::kMillisecond);

// Working out what to draw, without drawing.
void BM_ChartPlan(benchmark::State& state) {
  auto chart = makeChart();
  placeView(*chart, 2);
  for (auto _ : state) benchmark::DoNotOptimize(mvgui::planChart(*chart, chart->clientSize(), {48, 14}));
}
BENCHMARK(BM_ChartPlan)->Unit(benchmark::kMicrosecond);

// The chart's part of a refresh: clear, reset and append 2 x 7,200 points.
void BM_ChartRebuild(benchmark::State& state) {
  auto chart = makeChart();
  for (auto _ : state) fill(*chart);
}
BENCHMARK(BM_ChartRebuild)->Unit(benchmark::kMillisecond);

}  // namespace

MORV_QT_BENCHMARK_MAIN()
