// Exports of two two-hour files (7,200 rows, all items): the text report and the spreadsheet.
#include <benchmark/benchmark.h>

#include "fixtures/byte_writer.h"
#include "fixtures/slot_builder.h"
#include "report/spreadsheet.h"
#include "report/text_report.h"

namespace {

struct TwoFiles {
  mv::FileSlot first, second;
  mvtest::TempDir dir;
  TwoFiles() {
    std::vector<uint32_t> video, audio;
    for (uint32_t s = 0; s < 7200; ++s) {
      video.push_back(60000 + (s * 7919) % 40000);
      audio.push_back(16000 + s % 3);
    }
    mvtest::fillSlot(first, {.path = "/media/first.avi", .video = video, .audio = audio});
    for (auto& v : video) v /= 2;
    mvtest::fillSlot(second, {.path = "/media/second.rmvb", .video = video, .audio = audio});
  }
};

TwoFiles& files() {
  static TwoFiles f;
  return f;
}

void BM_TextReport(benchmark::State& state) {
  auto& f = files();
  const std::string path = f.dir.file("report.txt");
  for (auto _ : state) {
    if (!mv::TextReport(f.first, f.second, {}).Export(path)) state.SkipWithError("export failed");
  }
}
BENCHMARK(BM_TextReport)->Unit(benchmark::kMillisecond);

void BM_Spreadsheet(benchmark::State& state) {
  auto& f = files();
  const std::string path = f.dir.file("sheet.xls");
  for (auto _ : state) {
    if (!mv::SpreadsheetExport(f.first, f.second, {}).Export(path)) state.SkipWithError("export failed");
  }
}
BENCHMARK(BM_Spreadsheet)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
