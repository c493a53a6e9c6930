#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mv {

InputFile::~InputFile() { close(); }

bool InputFile::open(const std::string& path) {
  close();
  // Non-blocking, so that a named pipe with a media name cannot hold the program at open().
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  // Only regular files have a length worth trusting; a folder or a pipe is not a media file.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  length_ = uint64_t(st.st_size);
  fetched_ = 0;
  readFailed_ = false;
  bufferFill_ = 0;
  bufferPos_ = 0;
  dataStart_ = dataEnd_ = 0;
  return true;
}

void InputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  length_ = 0;
  bufferFill_ = 0;
  buffer_.reset();
}

bool InputFile::fetch(uint64_t pos, void* dst, size_t n) {
  auto* out = static_cast<uint8_t*>(dst);
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd_, out + done, n - done, off_t(pos + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {  // an I/O error, or the file shrank under us
      readFailed_ = true;
      return false;
    }
    done += size_t(got);
  }
  fetched_ += n;
  return true;
}

const uint8_t* InputFile::peek(uint64_t pos, size_t n, size_t readAhead) {
  if (fd_ < 0 || n > kBufferSize || !contains(pos, n)) return nullptr;
  if (pos >= bufferPos_ && pos - bufferPos_ <= bufferFill_ && n <= bufferFill_ - (pos - bufferPos_)) {
    return buffer_.get() + (pos - bufferPos_);
  }
  if (!buffer_) buffer_.reset(new uint8_t[kBufferSize]);
  const size_t want = size_t(std::min<uint64_t>(std::clamp(readAhead, n, kBufferSize), length_ - pos));
  bufferFill_ = 0;
  ++generation_;
  if (!fetch(pos, buffer_.get(), want)) return nullptr;
  bufferPos_ = pos;
  bufferFill_ = want;
  return buffer_.get();
}

uint64_t InputFile::dataFrom(uint64_t pos) {
  if (fd_ < 0 || pos >= length_) return pos;
  if (pos >= dataStart_ && pos < dataEnd_) return pos;  // one pair of calls per run of data
  const off_t data = ::lseek(fd_, off_t(pos), SEEK_DATA);
  if (data < 0) return errno == ENXIO ? length_ : pos;  // ENXIO: nothing but hole to the end
  const uint64_t start = std::min(std::max(uint64_t(data), pos), length_);
  const off_t hole = ::lseek(fd_, off_t(start), SEEK_HOLE);
  dataStart_ = start;
  dataEnd_ = hole > off_t(start) ? std::min(uint64_t(hole), length_) : length_;
  return start;
}

uint64_t InputFile::dataUntil(uint64_t pos) {
  if (pos >= length_ || dataFrom(pos) != pos) return std::min(pos, length_);
  return pos >= dataStart_ && pos < dataEnd_ ? dataEnd_ : length_;
}

bool InputFile::zerosUpToHole(uint64_t pos) {
  const uint64_t until = dataUntil(pos);
  if (until >= length_ || until - pos > kBufferSize) return false;
  if (until == pos) return true;
  const uint8_t* p = peek(pos, size_t(until - pos));
  return p && std::all_of(p, p + (until - pos), [](uint8_t b) { return b == 0; });
}

uint64_t InputFile::recordsInHole(uint64_t pos, uint64_t head, uint64_t stride, uint64_t limit) {
  if (stride == 0 || pos >= limit || !contains(pos, head)) return 0;
  const uint64_t data = dataFrom(pos);
  if (data - pos < head) return 0;
  return std::min((data - pos - head) / stride + 1, (limit - pos - 1) / stride + 1);
}

bool InputFile::readAt(uint64_t pos, void* dst, size_t n) {
  if (fd_ < 0 || !contains(pos, n)) return false;
  if (n == 0) return true;
  if (n >= kBufferSize) return fetch(pos, dst, n);
  const uint8_t* p = peek(pos, n);
  if (!p) return false;
  std::memcpy(dst, p, n);
  return true;
}

}  // namespace mv
