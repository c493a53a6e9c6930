#pragma once
// Buffered output to a file descriptor that remembers any failed write, so that the caller
// learns at close() whether the whole file reached the disk.
#include <cstddef>
#include <string>

namespace mv {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates or truncates the file.
  bool open(const std::string& path);
  // Writes to a descriptor owned by someone else (standard output); close() leaves it open.
  void attach(int fd);
  bool isOpen() const { return fd_ >= 0; }

  void put(char c) {
    buffer_.push_back(c);
    if (buffer_.size() >= kFlushAt) flush();
  }
  void append(const char* data, size_t n) {
    buffer_.append(data, n);
    if (buffer_.size() >= kFlushAt) flush();
  }

  // Flushes and closes; false when any write failed since open.
  bool close();
  bool failed() const { return failed_; }

 private:
  static constexpr size_t kFlushAt = 64 * 1024;
  void flush();

  int fd_ = -1;
  bool ownsFd_ = false;
  bool failed_ = false;
  std::string buffer_;
};

}  // namespace mv
