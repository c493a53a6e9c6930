// Loading a two-hour RealMedia file (600,000 packets, about 700 MB) against reading the same file
// once from start to end. The loader touches every 12-byte packet header, so with a buffered
// reader it should cost about one sequential read. Warm cache: the file is read before timing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "rm/rm_reader.h"
#include "fixtures/load_fields.h"
#include "fixtures/rm_builder.h"

namespace {

constexpr uint32_t kSeconds = 2 * 3600;
constexpr uint32_t kFrames = kSeconds * 25;             // two packets each: 360,000
constexpr uint32_t kAudioPackets = kSeconds * 100 / 3;  // one every 30 ms: 240,000

struct Layout {
  std::vector<mvtest::RmPacket> packets;
  uint64_t bytes = 0;
};

// Video frames in two slices sharing a timestamp, a larger key frame every ten seconds, audio
// interleaved by time.
Layout layout() {
  Layout l;
  l.packets.reserve(kFrames * 2 + kAudioPackets);
  uint32_t a = 0;
  for (uint32_t f = 0; f < kFrames; ++f) {
    const uint32_t t = f * 40;
    for (; a < kAudioPackets && a * 30 <= t; ++a) {
      l.packets.push_back({.stream = 1, .timestamp = a * 30, .length = uint16_t(420 + a % 160)});
    }
    const uint16_t slice = f % 250 == 0 ? 24000 : uint16_t(1200 + (f * 7919u) % 800);
    l.packets.push_back({.stream = 0, .timestamp = t, .length = slice});
    l.packets.push_back({.stream = 0, .timestamp = t, .length = uint16_t(slice - 100)});
  }
  for (const auto& p : l.packets) l.bytes += p.length;
  return l;
}

struct Fixture {
  mvtest::TempDir dir;
  std::string path = dir.file("two-hours.rmvb");
  uint64_t packets = 0;
  uint64_t fileBytes = 0;

  Fixture() {
    const Layout l = layout();
    packets = l.packets.size();
    mvtest::RmBuilder b;
    b.fileHeader(0, 5).properties({.maxPacketSize = 24000,
                                   .numPackets = uint32_t(packets),
                                   .duration = kSeconds * 1000,
                                   .numStreams = 2});
    b.content("bench", "", "", "");
    b.mediaProperties({.streamNumber = 0,
                       .name = "Video",
                       .mime = "video/x-pn-realvideo",
                       .typeSpecific = mvtest::realVideoBlock("RV40", 640, 352, 25u << 16)});
    b.mediaProperties({.streamNumber = 1,
                       .name = "Audio",
                       .mime = "audio/x-pn-realaudio",
                       .typeSpecific = mvtest::realAudioBlock(5, 44100, 16, 2, "cook")});
    b.dataHeader(uint32_t(packets), uint32_t(18 + l.bytes));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.bytes().data()), std::streamsize(b.bytes().size()));
    mvtest::ByteWriter chunk;
    for (size_t i = 0; i < l.packets.size(); ++i) {
      mvtest::RmBuilder::appendPacket(chunk, l.packets[i]);
      if (chunk.size() >= (8u << 20) || i + 1 == l.packets.size()) {
        const mvtest::Bytes bytes = chunk.take();
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        chunk = mvtest::ByteWriter();
      }
    }
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
    fileBytes = b.bytes().size() + l.bytes;
  }
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
  state.counters["packets"] = double(fixture().packets);
  state.counters["file_MB"] = double(fixture().fileBytes) / 1e6;
  state.SetBytesProcessed(int64_t(state.iterations() * fixture().fileBytes));
}

void BM_PlainRead(benchmark::State& state) {
  const std::string& path = fixture().path;
  plainRead(path, 1 << 20);  // warm the cache
  for (auto _ : state) {
    if (plainRead(path, size_t(state.range(0))) != fixture().fileBytes) state.SkipWithError("short read");
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
    if (!mvtest::loadFields(mv::loadRealMedia, path, video, audio, length, seconds, rate, width, height) ||
        seconds != int32_t(kSeconds)) {
      state.SkipWithError("load failed");
    }
    if (video) benchmark::DoNotOptimize(video->data());
  }
  setCounters(state);
}
BENCHMARK(BM_LoadRealMedia)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
