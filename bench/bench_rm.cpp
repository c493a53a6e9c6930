// Loading a two-hour RealMedia file (600,000 packets, about 700 MB) against reading the same file
// once from start to end. The loader touches every 12-byte packet header, so with a buffered
// reader it should cost about one sequential read. Warm cache: the file is read before timing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fixtures/byte_writer.h"
#include "fixtures/load_fields.h"
#include "fixtures/loaders.h"
#include "rm/rm_reader.h"
#include "two_hour_files.h"

namespace {

struct Fixture {
  mvtest::TempDir dir;
  std::string path = dir.file("two-hours.rmvb");
  mvbench::RmFileFacts facts = mvbench::writeTwoHourRm(path);
};

const Fixture& fixture() {
  static const Fixture f;
  return f;
}

// Reads the whole file front to back with plain read(2) calls.
uint64_t plainRead(const std::string& path, size_t bufferSize) {
  std::vector<char> buffer(bufferSize);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  uint64_t total = 0;
  ssize_t got;
  while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) total += uint64_t(got);
  ::close(fd);
  return total;
}

void setCounters(benchmark::State& state) {
  state.counters["packets"] = double(fixture().facts.packets);
  state.counters["file_MB"] = double(fixture().facts.fileBytes) / 1e6;
  state.SetBytesProcessed(int64_t(state.iterations() * fixture().facts.fileBytes));
}

void BM_PlainRead(benchmark::State& state) {
  const std::string& path = fixture().path;
  plainRead(path, 1 << 20);  // warm the cache
  for (auto _ : state) {
    if (plainRead(path, size_t(state.range(0))) != fixture().facts.fileBytes)
      state.SkipWithError("short read");
  }
  setCounters(state);
}
BENCHMARK(BM_PlainRead)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadRealMedia(benchmark::State& state) {
  const std::string& path = fixture().path;
  plainRead(path, 1 << 20);
  for (auto _ : state) {
    std::unique_ptr<mv::PerSecondSeries> video, audio;
    uint64_t length = 0;
    int32_t seconds = 0, rate = 0, width = 0, height = 0;
    if (!mvtest::loadFields(mvtest::load<mv::walkRealMedia>, path, video, audio, length, seconds, rate, width,
                            height) ||
        seconds != int32_t(mvbench::kRmSeconds)) {
      state.SkipWithError("load failed");
    }
    if (video) benchmark::DoNotOptimize(video->data());
  }
  setCounters(state);
}
BENCHMARK(BM_LoadRealMedia)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
