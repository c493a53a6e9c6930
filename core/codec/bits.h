#pragma once
// A bounded bit reader for headers: most significant bit first; reading past the end yields
// zeros and clears ok(), so a parser checks once at the end instead of after every field.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mv::codec {

class Bits {
 public:
  Bits(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  explicit Bits(const std::vector<uint8_t>& v) : Bits(v.data(), v.size()) {}

  // `count` bits (0 .. 32).
  uint32_t u(int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) {
      if (pos_ >= n_ * 8) {
        over_ = true;
        v <<= 1;
        continue;
      }
      v = (v << 1) | ((p_[pos_ / 8] >> (7 - pos_ % 8)) & 1u);
      ++pos_;
    }
    return v;
  }
  bool flag() { return u(1) != 0; }
  void skip(size_t count) {
    pos_ += count;
    if (pos_ > n_ * 8) over_ = true;
  }
  // Exp-Golomb; values above 2^31 are damage.
  uint32_t ue() {
    int zeros = 0;
    while (u(1) == 0) {
      if (++zeros > 31 || over_) {
        over_ = true;
        return 0;
      }
    }
    return (uint32_t(1) << zeros) - 1 + u(zeros);
  }
  int32_t se() {
    const uint32_t k = ue();
    return (k & 1) ? int32_t((k + 1) / 2) : -int32_t(k / 2);
  }
  void byteAlign() { pos_ = (pos_ + 7) / 8 * 8; }
  size_t bitPosition() const { return pos_; }
  size_t bitsLeft() const { return pos_ >= n_ * 8 ? 0 : n_ * 8 - pos_; }
  bool ok() const { return !over_; }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t pos_ = 0;
  bool over_ = false;
};

// A NAL unit's payload without its emulation prevention bytes (00 00 03 → 00 00), at most
// `limit` bytes of it: headers lie at the start.
std::vector<uint8_t> unescapeNal(const uint8_t* p, size_t n, size_t limit = 4096);

}  // namespace mv::codec
