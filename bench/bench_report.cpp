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
  TwoFiles() { mvtest::fillLongPair(first, second, 7200); }
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
