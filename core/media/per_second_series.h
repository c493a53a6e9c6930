#pragma once
// Per-second byte counts of one stream kind. Element 0 is the element count N (seconds + 8),
// elements 1-7 hold statistics and thresholds, element 8 + s the bytes of second s. N may be
// lowered after the fill; readers of the series go by element 0, never by the allocation.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mv {

// Header element indices.
inline constexpr size_t kElementCount = 0;
inline constexpr size_t kMaxRate = 1;            // hundredths of kbit/s
inline constexpr size_t kMinRate = 2;            // hundredths of kbit/s
inline constexpr size_t kAvgRate = 3;            // hundredths of kbit/s
inline constexpr size_t kStdDev = 4;             // hundredths of kbit/s
inline constexpr size_t kVariationPermille = 5;  // thousandths
inline constexpr size_t kHighThreshold = 6;      // bytes; video series only
inline constexpr size_t kLowThreshold = 7;       // bytes; video series only
inline constexpr size_t kFirstSecond = 8;

// The longest play time a file may have (the largest RealMedia duration); anything longer is
// damage, not a reason to allocate gigabytes.
inline constexpr uint32_t kMaxDurationSeconds = 4294967;

class PerSecondSeries {
 public:
  // n elements, zero-filled, element 0 = n. Throws std::bad_alloc like any allocation.
  explicit PerSecondSeries(uint32_t n) : v_(n < kFirstSecond ? kFirstSecond : n, 0) { v_[0] = n; }

  uint32_t& operator[](size_t i) { return v_[i]; }
  uint32_t operator[](size_t i) const { return v_[i]; }

  // N as stored in element 0 (may be below the allocation).
  uint32_t elementCount() const { return v_[0]; }
  // Number of elements allocated; element indices below it are valid.
  size_t capacity() const { return v_.size(); }

  const uint32_t* data() const { return v_.data(); }

 private:
  std::vector<uint32_t> v_;
};

}  // namespace mv
