// The many-bytes-at-a-time start-code search against a plain byte loop, with start codes at every
// position around its 64-byte blocks and the stream cut into pieces at every place.
#include "codec/start_codes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fixtures/byte_writer.h"

namespace {

using mv::codec::StartCodeFinder;
using mvtest::Bytes;

// (offset of the 01, zero bytes before it) of every start code, one byte at a time.
std::vector<std::pair<size_t, int>> plainHits(const Bytes& d) {
  std::vector<std::pair<size_t, int>> hits;
  for (size_t j = 2; j < d.size(); ++j)
    if (d[j] == 1 && d[j - 1] == 0 && d[j - 2] == 0) hits.emplace_back(j, j >= 3 && d[j - 3] == 0 ? 3 : 2);
  return hits;
}

// The same through the finder, fed the pieces that end at `cuts` (ascending) and at the end.
std::vector<std::pair<size_t, int>> foundHits(const Bytes& d, const std::vector<size_t>& cuts) {
  std::vector<std::pair<size_t, int>> hits;
  StartCodeFinder finder;
  size_t begin = 0;
  auto feed = [&](size_t end) {
    // Each piece is a copy of its own, so that a read past its end is one past an allocation.
    const Bytes piece(d.begin() + long(begin), d.begin() + long(end));
    for (size_t i = 0; i < piece.size();) {
      const StartCodeFinder::Hit hit = finder.next(piece.data(), piece.size(), i);
      if (hit.one == piece.size()) break;
      hits.emplace_back(begin + hit.one, hit.zeros);
      i = hit.one + 1;
    }
    begin = end;
  };
  for (size_t cut : cuts) feed(cut);
  feed(d.size());
  return hits;
}

std::vector<size_t> every(size_t step, size_t size) {
  std::vector<size_t> cuts;
  for (size_t at = step; at < size; at += step) cuts.push_back(at);
  return cuts;
}

TEST(StartCodes, FastSearchFindsWhatAByteLoopFinds) {
  // Coded data: bytes other than 00 and 01.
  std::mt19937 random(7);
  Bytes coded(200);
  for (uint8_t& b : coded) b = uint8_t(2 + random() % 254);
  const struct {
    const char* what;
    Bytes pattern;
  } patterns[] = {
      {"start code", {0, 0, 1, 0xB3}},
      {"start code with a leading zero", {0, 0, 0, 1, 0x00}},
      {"start codes back to back, the code byte a zero", {0, 0, 1, 0, 0, 1, 0xB5}},
      {"a lone 01 after one zero", {0, 1, 0, 1}},
      {"zeros then 02", {0, 0, 2, 0, 0, 0, 3}},
      {"zeros at the end", {0, 0}},
  };
  for (const auto& p : patterns) {
    for (size_t at = 0; at + p.pattern.size() <= coded.size(); ++at) {
      Bytes d = coded;
      std::copy(p.pattern.begin(), p.pattern.end(), d.begin() + long(at));
      const auto expected = plainHits(d);
      const std::string where = std::string(p.what) + " at " + std::to_string(at);
      for (size_t step : {1, 2, 13, 64, 65})
        ASSERT_EQ(foundHits(d, every(step, d.size())), expected) << where << ", pieces of " << step;
      for (size_t cut = 1; cut < d.size(); ++cut)
        ASSERT_EQ(foundHits(d, {cut}), expected) << where << ", cut at " << cut;
    }
  }
  // Streams full of zeros and ones, where every kind of run meets the blocks' edges.
  for (unsigned seed = 0; seed < 20; ++seed) {
    random.seed(seed);
    static constexpr uint8_t kKinds[] = {0, 0, 0, 1, 0x47};
    Bytes d(300);
    for (uint8_t& b : d) b = kKinds[random() % 5];
    const auto expected = plainHits(d);
    for (size_t step : {1, 7, 64, 300})
      EXPECT_EQ(foundHits(d, every(step, d.size())), expected) << "seed " << seed << ", pieces of " << step;
  }
}

}  // namespace
