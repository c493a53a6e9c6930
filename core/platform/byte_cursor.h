#pragma once
// The one bounded cursor every reader reads bytes through: forward over a block in memory or over
// a range of a file. Nothing is read at or past the end: a read that would pass it, or that the
// file cannot serve, delivers zeros (or null), moves nothing and clears ok() for good.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/byte_order.h"
#include "platform/input_file.h"

namespace mv {

class ByteCursor {
 public:
  // The `size` bytes at `data`; positions count from 0.
  ByteCursor(const uint8_t* data, size_t size)
      : base_(data), fill_(size), end_(size), p_(data), avail_(size) {}
  // Bytes [pos, end) of the file, clamped to the file; positions are file positions. Read
  // through the file's own buffer, or, given a `window` size, through a window of the cursor's
  // own (several cursors read in turn; windows of InputFile::kBufferSize or more are filled
  // straight from the file).
  ByteCursor(InputFile& file, uint64_t pos, uint64_t end, size_t window = 0) : file_(&file) {
    end_ = end < file.length() ? end : file.length();
    start_ = pos_ = basePos_ = pos < end_ ? pos : end_;
    if (window > 0) {
      ownWindow(window);
    } else {
      window_ = InputFile::kBufferSize;
      shared_ = true;
      // Bytes the file's buffer already holds serve the first reads without a refill.
      size_t held = 0;
      if (const uint8_t* q = file.buffered(pos_, held)) {
        base_ = p_ = q;
        fill_ = avail_ = size_t(held < end_ - pos_ ? held : end_ - pos_);
        generation_ = file.bufferGeneration();
      }
    }
  }

  bool ok() const { return ok_; }
  uint64_t position() const { return pos_; }
  uint64_t start() const { return start_; }
  uint64_t end() const { return end_; }
  uint64_t remaining() const { return end_ - pos_; }

  // The next n bytes, lying together, and the cursor past them; n at most the window (any n in
  // memory). Valid until the next read through the cursor or the file.
  const uint8_t* take(size_t n) {
    if (n <= avail_ && fresh()) {
      const uint8_t* q = p_;
      p_ += n;
      avail_ -= n;
      pos_ += n;
      return q;
    }
    return refill(n) ? take(n) : nullptr;
  }
  // The same without moving.
  const uint8_t* look(size_t n) {
    if (n <= avail_ && fresh()) return p_;
    return refill(n) ? p_ : nullptr;
  }
  // The n bytes at `pos`, from start() on, without moving the cursor: random access that stays in
  // the window while it can.
  const uint8_t* at(uint64_t pos, size_t n) {
    if (pos >= basePos_ && pos - basePos_ <= fill_ && n <= fill_ - size_t(pos - basePos_) && fresh())
      return base_ + (pos - basePos_);
    return windowAt(pos, n);
  }
  // The next byte, -1 at the end or when it cannot be read.
  int next() {
    const uint8_t* q = take(1);
    return q ? *q : -1;
  }
  uint8_t u8() {
    const uint8_t* q = take(1);
    return q ? *q : 0;
  }
  uint16_t u16be() {
    const uint8_t* q = take(2);
    return q ? readU16be(q) : 0;
  }
  uint16_t u16le() {
    const uint8_t* q = take(2);
    return q ? readU16le(q) : 0;
  }
  uint32_t u32be() {
    const uint8_t* q = take(4);
    return q ? readU32be(q) : 0;
  }
  uint32_t u32le() {
    const uint8_t* q = take(4);
    return q ? readU32le(q) : 0;
  }
  uint64_t u64le() {
    const uint8_t* q = take(8);
    return q ? readU64le(q) : 0;
  }
  // A little-endian field of 0, 1, 2 or 4 bytes.
  uint32_t uintLe(size_t width) {
    return width == 0 ? 0 : width == 1 ? u8() : width == 2 ? u16le() : u32le();
  }

  // Copies the next n bytes (any n); false and nothing copied when they are not all there.
  bool copy(void* dst, size_t n);
  // Moves n bytes forward; false when fewer remain.
  bool skip(uint64_t n);
  // Moves the end back to `end`; false (and nothing changed) when that lies before the position
  // or after the end.
  bool endAt(uint64_t end);
  // Moves to `pos`, a position from the cursor's start up to its end; false beyond the end.
  bool seek(uint64_t pos);

 private:
  // A window in the file's buffer is gone once another read refilled that buffer.
  bool fresh() const { return !shared_ || generation_ == file_->bufferGeneration(); }
  bool refill(size_t n);
  void ownWindow(size_t window);
  const uint8_t* windowAt(uint64_t pos, size_t n);
  bool fail();

  InputFile* file_ = nullptr;
  std::unique_ptr<uint8_t[]> own_;  // the cursor's own window, when it has one
  bool shared_ = false;             // the window lies in the file's buffer
  size_t window_ = 0;               // bytes one refill asks for
  uint64_t generation_ = 0;         // the file buffer's generation the window lies in
  const uint8_t* base_ = nullptr;   // the window: `fill_` bytes from position basePos_
  uint64_t basePos_ = 0;
  size_t fill_ = 0;
  uint64_t start_ = 0;
  uint64_t pos_ = 0;
  uint64_t end_ = 0;
  const uint8_t* p_ = nullptr;  // at pos_ inside the window
  size_t avail_ = 0;            // window bytes from p_ on
  bool ok_ = true;
};

// The whole of an open file; nothing for a missing or closed one.
inline ByteCursor cursorOver(InputFile* file) {
  return file && file->isOpen() ? ByteCursor(*file, 0, file->length()) : ByteCursor(nullptr, 0);
}

}  // namespace mv
