// Loading a two-hour AVI: headers and the 450,000-entry index, then the statistics.
#include <benchmark/benchmark.h>

#include "analysis/file_slot.h"
#include "avi/avi_reader.h"
#include "fixtures/byte_writer.h"
#include "two_hour_files.h"

namespace {

const std::string& twoHourFile() {
  static mvtest::TempDir dir;
  static const std::string path = [] {
    const std::string p = dir.file("two-hours.avi");
    mvbench::writeTwoHourAvi(p);
    return p;
  }();
  return path;
}

void BM_OpenTwoHourAvi(benchmark::State& state) {
  const std::string& path = twoHourFile();
  for (auto _ : state) {
    mv::FileSlot slot;
    if (!slot.open(path).ok()) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(slot.elementCount());
  }
  mv::InputFile file;
  file.open(path);
  mv::AviReader reader(&file);
  state.counters["index_entries"] = double(reader.indexEntryCount());
  state.counters["bytes_read"] = double(file.bytesFetched());
  state.counters["file_bytes"] = double(file.length());
}
BENCHMARK(BM_OpenTwoHourAvi)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
