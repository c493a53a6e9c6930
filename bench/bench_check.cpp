// The batch check over a tree of 2,000 small RealMedia files (4 s each, 25 video and 33 audio
// packets a second, every tenth file with a gap in its video), end to end, against loading the
// same files with the RealMedia load alone. Search, statistics and result writing should be a small
// share of the whole. Warm cache: the files were just written.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fixtures/load_fields.h"
#include "fixtures/loaders.h"
#include "fixtures/message_recorder.h"
#include "fixtures/rm_builder.h"
#include "platform/shell.h"
#include "rm/rm_reader.h"
#include "search/batch_check.h"

namespace {

constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 100;
constexpr uint32_t kSeconds = 4;

mvtest::RmBuilder smallFile(bool withGap) {
  mvtest::RmBuilder b;
  b.fileHeader(0, 5).properties({.duration = kSeconds * 1000, .numStreams = 2}).content("t", "a", "c", "");
  b.mediaProperties({.streamNumber = 0,
                     .mime = "video/x-pn-realvideo",
                     .typeSpecific = mvtest::realVideoBlock("RV40", 320, 240, 25u << 16)});
  b.mediaProperties({.streamNumber = 1,
                     .mime = "audio/x-pn-realaudio",
                     .typeSpecific = mvtest::realAudioBlock(4, 44100, 16, 2)});
  std::vector<mvtest::RmPacket> packets;
  uint32_t a = 0;
  for (uint32_t t = 0; t < kSeconds * 1000; t += 40) {
    for (; a * 30 <= t; ++a) packets.push_back({.stream = 1, .timestamp = a * 30, .length = 120});
    if (withGap && t >= 1000 && t < 2000) continue;
    packets.push_back({.stream = 0, .timestamp = t, .length = uint16_t(300 + t % 97)});
  }
  return b.data(packets);
}

struct Tree {
  mvtest::TempDir dir;
  std::filesystem::path root = dir.path() / "clips";
  std::string result = dir.file("result_chk.txt");
  std::vector<std::string> files;

  Tree() {
    const mvtest::RmBuilder clean = smallFile(false), gap = smallFile(true);
    for (int f = 0; f < kFolders; ++f) {
      const auto folder = root / ("folder" + std::to_string(f));
      std::filesystem::create_directories(folder);
      for (int i = 0; i < kFilesPerFolder; ++i) {
        const std::string path = (folder / ("clip" + std::to_string(i) + (i % 2 ? ".rmvb" : ".rm"))).string();
        (i % 10 == 3 ? gap : clean).write(path);
        files.push_back(path);
      }
    }
  }
};

Tree& tree() {
  static Tree t;
  return t;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The whole run, and in the same iteration the readers alone on the same files.
void BM_CheckTree(benchmark::State& state) {
  Tree& t = tree();
  mvtest::MessageRecorder quiet;
  mv::setShellSink([](const std::string&) {});
  mv::BatchCheck check;
  double total = 0, load = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    const mv::BatchOutcome outcome = check.OnStart(t.root.string(), t.result);
    total += secondsSince(start);
    if (outcome != mv::BatchOutcome::ProblemsFound || check.problemFiles() != int(t.files.size() / 10))
      state.SkipWithError("unexpected outcome");

    start = std::chrono::steady_clock::now();
    for (const std::string& path : t.files) {
      std::unique_ptr<mv::PerSecondSeries> video, audio;
      uint64_t length = 0;
      int32_t seconds = 0, rate = 0, width = 0, height = 0;
      benchmark::DoNotOptimize(mvtest::loadFields(mvtest::load<mv::walkRealMedia>, path, video, audio, length,
                                                  seconds, rate, width, height));
    }
    load += secondsSince(start);
  }
  mv::setShellSink(nullptr);
  const double files = double(t.files.size()) * double(state.iterations());
  state.counters["files_per_s"] = files / total;
  state.counters["load_us_per_file"] = load / files * 1e6;
  state.counters["run_us_per_file"] = total / files * 1e6;
  state.counters["outside_load_pct"] = 100.0 * (total - load) / total;
}
BENCHMARK(BM_CheckTree)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// Both passes of the search with nothing done per file.
void BM_WalkTreeTwice(benchmark::State& state) {
  Tree& t = tree();
  struct Count : mv::CSrchDir {
    int n = 0;
    void OnFileFound(const std::string&, const mv::FindData&) override { ++n; }
  };
  for (auto _ : state) {
    for (int pass = 0; pass < 2; ++pass) {
      Count c;
      c.SetSearch(mv::batchMask(), 1, "");
      c.Search(t.root.string());
      benchmark::DoNotOptimize(c.n);
    }
  }
  state.counters["per_file"] = benchmark::Counter(
      double(t.files.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WalkTreeTwice)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
