#pragma once
// Start codes (00 00 01) of MPEG video and of H.264/HEVC byte streams, looked for many bytes at a
// time: the cutters of raw streams and of TS/PS pictures spend most of their time here.
#include <cstddef>
#include <cstdint>

namespace mv::codec {

// The first j from `from` on where d[j] is 01 and, from 2 on, d[j - 2] and d[j - 1] are zero
// (before 2, the zeros may lie in the piece before); n when none.
size_t nextStartCodeOne(const uint8_t* d, size_t n, size_t from);

// The start codes of a stream fed in pieces, whose zeros may end the piece before.
class StartCodeFinder {
 public:
  struct Hit {
    size_t one = 0;  // offset in the piece of the start code's 01; the piece's size when none
    int zeros = 0;   // zero bytes just before it: 2, or 3 with a leading zero byte
  };
  // The next start code whose 01 lies in d[from, n). `from` goes on where the finder stopped:
  // 0 for a new piece, or one past the last hit's 01.
  Hit next(const uint8_t* d, size_t n, size_t from);

 private:
  int zeros_ = 0;  // zero bytes just before the next byte to scan, at most 3
};

}  // namespace mv::codec
