#include "platform/output_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace mv {

bool OutputFile::open(const std::string& path) {
  close();
  // Non-blocking open: a named pipe without a reader fails at once instead of hanging.
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd_ >= 0) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  ownsFd_ = true;
  failed_ = fd_ < 0;
  buffer_.clear();
  return fd_ >= 0;
}

void OutputFile::attach(int fd) {
  close();
  fd_ = fd;
  ownsFd_ = false;
  failed_ = fd < 0;
}

void OutputFile::flush() {
  size_t done = 0;
  while (fd_ >= 0 && done < buffer_.size() && !failed_) {
    const ssize_t w = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (w < 0) {
      if (errno != EINTR) failed_ = true;
    } else {
      done += size_t(w);
    }
  }
  buffer_.clear();
}

bool OutputFile::close() {
  if (fd_ < 0) {
    buffer_.clear();
    return !failed_;
  }
  flush();
  if (ownsFd_ && ::close(fd_) != 0) failed_ = true;
  fd_ = -1;
  return !failed_;
}

}  // namespace mv
