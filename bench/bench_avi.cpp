// Loading a two-hour AVI: headers and the 450,000-entry index, then the statistics.
#include <benchmark/benchmark.h>

#include "avi/avi_reader.h"
#include "analysis/file_slot.h"
#include "fixtures/avi_builder.h"

namespace {

namespace avi = mvtest::avi;

const std::string& twoHourFile() {
  static mvtest::TempDir dir;
  static const std::string path = [] {
    const uint32_t frames = 2 * 3600 * 25;  // 180,000 video entries
    auto f = avi::simpleVideo(frames, 0);
    f.index.clear();
    f.index.reserve(frames * 5 / 2);
    avi::Stream a;
    a.header.fccType = "auds";
    a.header.scale = 2;
    a.header.rate = 75;  // 37.5 entries per second: 270,000 entries
    a.format = avi::waveFormat(0x55, 2, 48000, 24000, 1, 0);
    f.streams.push_back(a);
    for (uint32_t i = 0; i < frames; ++i) {
      f.add(0, "dc", i % 250 == 0 ? 60000 : 8000 + i % 997);
      f.add(1, "wb", 640);
      if (i % 2 == 0) f.add(1, "wb", 640);
    }
    // Payloads are not written: the loader skips movi by its size and never reads them.
    const std::string p = dir.file("two-hours.avi");
    mvtest::writeFile(p, f.build());
    return p;
  }();
  return path;
}

void BM_OpenTwoHourAvi(benchmark::State& state) {
  const std::string& path = twoHourFile();
  for (auto _ : state) {
    mv::FileSlot slot;
    if (!slot.open(path)) state.SkipWithError("load failed");
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
