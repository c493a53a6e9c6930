// libFuzzer target over the codec layer: the first byte picks the codec, the rest is one picture
// probed in pieces as a container hands it on, then a stream fed to the unit cutter.
#include <algorithm>
#include <vector>

#include "codec/picture.h"

using mv::codec::Codec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const auto codec = Codec(data[0] % (uint8_t(Codec::IntraOnly) + 1));
  const uint8_t* body = data + 1;
  const size_t n = size - 1;

  // The input's second byte also sets the length-prefixed mode and the size of the codec record.
  mv::codec::TrackCoding coding{codec, {}, (body[0] & 1) != 0};
  const size_t configBytes = std::min<size_t>(body[0] >> 1, n);
  coding.config.assign(body, body + configBytes);
  mv::codec::PictureReader reader(coding);
  uint64_t at = 0;
  for (int looks = 0; looks < 64 && at < n; ++looks) {
    const size_t piece = std::min<size_t>(mv::codec::PictureReader::kHeadBytes, n - at);
    const auto p = reader.probe(body + at, piece, at, n);
    if (p.readAt == 0) break;
    if (p.readAt <= at || p.readAt >= n) __builtin_trap();
    at = p.readAt;
  }
  (void)reader.info();

  if (auto cutter = mv::codec::UnitCutter::make(codec)) {
    std::vector<mv::codec::AccessUnit> units;
    const size_t step = 1 + body[0] % 61;
    for (size_t i = 0; i < n; i += step) cutter->feed(body + i, std::min(step, n - i), units);
    cutter->finish(units);
    uint64_t last = 0;
    for (const auto& u : units) {
      if (u.start >= n || u.start < last) __builtin_trap();  // units lie within the stream, in order
      last = u.start;
    }
    if (cutter->fed() != n) __builtin_trap();
    (void)cutter->info();
  }
  return 0;
}
