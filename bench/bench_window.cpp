// The main window with a two-hour file: opening it into a slot and refreshing the panel (7,200
// rows, 7,200 chart points), and repainting the chart and the visible list rows.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/main_dialog.h"
#include "chart/curve_chart.h"
#include "fixtures/avi_builder.h"
#include "fixtures/slot_builder.h"
#include "qt_benchmark_main.h"
#include "widgets/stat_list_ctrl.h"

namespace {

const std::string& twoHourAvi() {
  static mvtest::TempDir dir;
  static const std::string path = [] {
    namespace avi = mvtest::avi;
    auto f = avi::simpleVideo(7200 * 25, 0);
    f.index.clear();
    for (uint32_t i = 0; i < 7200 * 25; ++i) f.add(0, "dc", i % 250 == 0 ? 60000 : 8000 + (i * 7919) % 4000);
    const std::string p = dir.file("two-hours.avi");
    mvtest::writeFile(p, f.build());
    return p;
  }();
  return path;
}

mvgui::MainDialog& window() {
  static mvgui::MainDialog* w = [] {
    auto* d = new mvgui::MainDialog;
    d->show();
    QApplication::processEvents();
    return d;
  }();
  return *w;
}

void BM_OpenAndRefresh(benchmark::State& state) {
  const std::string& path = twoHourAvi();
  auto& w = window();
  for (auto _ : state) {
    w.slot(0).clear();
    w.panel().RefreshSlot(0);  // start from an empty list each time
    if (!w.slot(0).open(path).ok()) state.SkipWithError("load failed");
    w.panel().RefreshSlot(0);
  }
  state.counters["rows"] = w.panel().list()->GetItemCount();
}
BENCHMARK(BM_OpenAndRefresh)->Unit(benchmark::kMillisecond);

// The same file's 180,000 frames: building the frame list and chart, then back per second.
void BM_FrameViewAndBack(benchmark::State& state) {
  auto& w = window();
  if (!w.slot(0).isLoaded()) {
    w.slot(0).open(twoHourAvi());
    w.panel().RefreshSlot(0);
  }
  for (auto _ : state) {
    w.panel().RefreshSlot(0);  // forgets the frames built last time
    w.panel().SetView(mvgui::CCurvePanel::PerFrame);
    w.panel().SetView(mvgui::CCurvePanel::PerSecond);
  }
}
BENCHMARK(BM_FrameViewAndBack)->Unit(benchmark::kMillisecond);

void BM_RepaintChartAndList(benchmark::State& state) {
  auto& w = window();
  if (!w.slot(0).isLoaded()) {
    w.slot(0).open(twoHourAvi());
    w.panel().RefreshSlot(0);
  }
  auto* chart = w.panel().chart();
  auto* list = w.panel().list();
  for (auto _ : state) {
    chart->repaint();
    list->viewport()->repaint();
  }
}
BENCHMARK(BM_RepaintChartAndList)->Unit(benchmark::kMillisecond);

// A maximised window on a 1280x1024 screen with a two-hour pair at "全部": every second of both
// files within the plot's width.
void BM_RepaintWholeFilePair(benchmark::State& state) {
  static mvgui::MainDialog* w = [] {
    auto* d = new mvgui::MainDialog;
    d->resize(1280, 990);
    d->show();
    mvtest::fillLongPair(d->slot(0), d->slot(1), 7200, true);
    d->panel().RefreshSlot(0);
    d->panel().RefreshSlot(1);
    d->panel().SetZoom(mvgui::CCurvePanel::kWholeFile);
    QApplication::processEvents();
    return d;
  }();
  auto* chart = w->panel().chart();
  for (auto _ : state) chart->repaint();
  state.counters["plot_width"] = chart->clientSize().width();
}
BENCHMARK(BM_RepaintWholeFilePair)->Unit(benchmark::kMillisecond);

}  // namespace

MORV_QT_BENCHMARK_MAIN()
