// The statistics list with two two-hour files (7,200 rows x 7 columns), offscreen: filling it as
// the panel does, repainting the visible rows, and scrolling through it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>

#include "fixtures/slot_builder.h"
#include "qt_benchmark_main.h"
#include "widgets/stat_list_ctrl.h"

namespace {

constexpr int kSeconds = 7200;
const QString kSpec =
    "时间, 1, 80; 视频, 2, 95; 音频, 2, 95; 总码率, 2, 95; 视频, 2, 95; 音频, 2, 95; 总码率, 2, 95";

struct TwoFiles {
  mv::FileSlot first, second;
  TwoFiles() { mvtest::fillLongPair(first, second, kSeconds, true); }
};

TwoFiles& files() {
  static TwoFiles f;
  return f;
}

QString timeText(int r) {
  const int t = r + 1;
  return QString::asprintf("%02d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
}

// Rows and cells as the panel writes them for both slots, with drawing suspended.
void fill(mvgui::StatListCtrl& list) {
  list.setUpdatesEnabled(false);
  list.ClearSelection();
  for (int r = list.GetItemCount(); r < kSeconds; ++r) list.InsertRow(0, timeText(r));
  for (int slot = 0; slot < 2; ++slot)
    for (int r = 0; r < kSeconds; ++r)
      for (int j = 0; j < 3; ++j)
        list.SetCellText(r, 3 * slot + 1 + j, QString::asprintf("%.2f", (r * 37 + j * 1000 + slot) / 1.28));
  list.setUpdatesEnabled(true);
}

struct ShownList {
  mvgui::StatListCtrl list;
  ShownList() {
    list.SetSlots(&files().first, &files().second);
    list.SetColumns(kSpec);
    list.SetGridLines(true);
    list.resize(700, 330);  // about the main window's list: some 20 rows visible
    list.show();
    QApplication::processEvents();
    fill(list);
    list.SetHighlightedItem(0);
  }
};

void BM_FillList(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto shown = std::make_unique<mvgui::StatListCtrl>();
    shown->SetSlots(&files().first, &files().second);
    shown->SetColumns(kSpec);
    shown->resize(700, 330);
    shown->show();
    QApplication::processEvents();
    state.ResumeTiming();
    fill(*shown);
    shown->viewport()->repaint();
    state.PauseTiming();
    shown.reset();
    state.ResumeTiming();
  }
  state.counters["rows"] = kSeconds;
}
BENCHMARK(BM_FillList)->Unit(benchmark::kMillisecond);

void BM_RepaintVisibleRows(benchmark::State& state) {
  ShownList s;
  s.list.verticalScrollBar()->setValue(kSeconds / 2);
  QApplication::processEvents();
  for (auto _ : state) s.list.viewport()->repaint();
}
BENCHMARK(BM_RepaintVisibleRows)->Unit(benchmark::kMicrosecond);

// One step of scrolling and the repaint it causes, through the whole list and back.
void BM_ScrollLineAndRepaint(benchmark::State& state) {
  ShownList s;
  QScrollBar* bar = s.list.verticalScrollBar();
  int direction = 1;
  for (auto _ : state) {
    if (bar->value() == bar->maximum()) direction = -1;
    if (bar->value() == bar->minimum()) direction = 1;
    bar->triggerAction(direction > 0 ? QAbstractSlider::SliderSingleStepAdd
                                     : QAbstractSlider::SliderSingleStepSub);
    s.list.viewport()->repaint();
  }
}
BENCHMARK(BM_ScrollLineAndRepaint)->Unit(benchmark::kMicrosecond);

void BM_ScrollPageAndRepaint(benchmark::State& state) {
  ShownList s;
  QScrollBar* bar = s.list.verticalScrollBar();
  for (auto _ : state) {
    if (bar->value() == bar->maximum()) bar->setValue(0);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    s.list.viewport()->repaint();
  }
}
BENCHMARK(BM_ScrollPageAndRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

MORV_QT_BENCHMARK_MAIN()
