#include "platform/byte_cursor.h"

#include <algorithm>
#include <cstring>

namespace mv {

void ByteCursor::ownWindow(size_t window) {
  // Never more than the range needs: a cursor over a short range allocates little.
  window_ = size_t(std::min<uint64_t>(window, end_ - pos_));
  own_.reset(new uint8_t[std::max<size_t>(window_, 1)]);
}

bool ByteCursor::fail() {
  ok_ = false;
  return false;
}

bool ByteCursor::refill(size_t n) {
  if (n > remaining()) return fail();
  if (!file_) return fail();  // in memory the window is the whole block
  if (n > window_) return fail();
  size_t want = size_t(std::min<uint64_t>(window_, end_ - pos_));
  const uint8_t* got = nullptr;
  if (shared_) {
    size_t held = 0;
    got = file_->buffered(pos_, held);
    if (got && held >= n) {
      want = size_t(std::min<uint64_t>(held, end_ - pos_));  // already read: no fresh fetch
    } else {
      got = file_->peek(pos_, want);
    }
  } else if (file_->readAt(pos_, own_.get(), want)) {
    got = own_.get();
  }
  if (!got) return fail();
  generation_ = file_->bufferGeneration();
  base_ = p_ = got;
  basePos_ = pos_;
  fill_ = avail_ = want;
  return true;
}

const uint8_t* ByteCursor::windowAt(uint64_t pos, size_t n) {
  const uint64_t back = pos_;
  const uint8_t* q = seek(pos) ? look(n) : nullptr;
  seek(back);
  return q;
}

bool ByteCursor::copy(void* dst, size_t n) {
  if (n > remaining()) return fail();
  if (n <= avail_ && fresh()) {
    std::memcpy(dst, take(n), n);
    return true;
  }
  if (!file_->readAt(pos_, dst, n)) return fail();
  return seek(pos_ + n);
}

bool ByteCursor::skip(uint64_t n) {
  if (n > remaining()) return fail();
  return seek(pos_ + n);
}

bool ByteCursor::endAt(uint64_t end) {
  if (end < pos_ || end > end_) return false;
  end_ = end;
  if (avail_ > end - pos_) avail_ = size_t(end - pos_);
  if (fill_ > end - basePos_) fill_ = size_t(end - basePos_);
  return true;
}

bool ByteCursor::seek(uint64_t pos) {
  if (pos < start_ || pos > end_) return fail();
  pos_ = pos;
  // Inside the window the bytes stay where they are; elsewhere the next read refills.
  if (base_ && pos >= basePos_ && pos - basePos_ <= fill_) {
    p_ = base_ + (pos - basePos_);
    avail_ = fill_ - size_t(pos - basePos_);
  } else {
    p_ = nullptr;
    avail_ = 0;
  }
  return true;
}

}  // namespace mv
