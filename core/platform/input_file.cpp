#include "platform/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

const uint8_t* InputFile::peek(uint64_t pos, size_t n) {
  if (fd_ < 0 || n > kBufferSize || !contains(pos, n)) return nullptr;
  if (pos >= bufferPos_ && pos - bufferPos_ <= bufferFill_ && n <= bufferFill_ - (pos - bufferPos_)) {
    return buffer_.get() + (pos - bufferPos_);
  }
  if (!buffer_) buffer_.reset(new uint8_t[kBufferSize]);
  const size_t want = size_t(std::min<uint64_t>(kBufferSize, length_ - pos));
  bufferFill_ = 0;
  if (!fetch(pos, buffer_.get(), want)) return nullptr;
  bufferPos_ = pos;
  bufferFill_ = want;
  return buffer_.get();
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
