#pragma once
// A text file written for people: UTF-8 in, the system code page (GBK) out, "\n" written as
// CR LF, no byte-order mark. Output is buffered; a failed write is remembered and reported by
// close(), so a half-written file is never taken for a finished one. The file appears whole at
// close(), through the one writer (platform/output_file.h).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/output_file.h"

namespace mv {

class TextFile {
 public:
  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Starts the file that replaces `path` at close(); see OutputFile::open.
  bool open(const std::string& path, std::span<const FileIdentity> keep = {}) {
    return out_.open(path, keep);
  }
  // Writes to an already open descriptor (standard output); it is not closed by close().
  void attach(int fd) { out_.attach(fd); }
  bool isOpen() const { return out_.isOpen(); }

  // Text in UTF-8: converted to GBK (an unencodable character becomes "?"), "\n" → CR LF.
  void write(std::string_view text);
  // printf-style, then write(). The format is UTF-8.
  void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Bytes as they are: no conversion, no line-end translation.
  void writeBytes(const void* data, size_t n) { out_.append(static_cast<const char*>(data), n); }

  // Flushes and closes; false when any write failed since open.
  bool close() {
    if (!formatFailed_) return out_.close();
    out_.discard();
    return false;
  }
  bool failed() const { return out_.failed() || formatFailed_; }
  OutputError error() const { return out_.error(); }

 private:
  OutputFile out_;
  bool formatFailed_ = false;
};

// UTF-8 to GBK as the text files carry it: an unencodable character or a byte that is not
// UTF-8 becomes "?". ASCII passes through unchanged.
std::string utf8ToGbk(std::string_view text);
// The bytes a text file holds for `text`: GBK, "\n" as CR LF.
std::string toTextFileBytes(std::string_view text);
// GBK back to UTF-8 (for showing a written file); bytes that are not GBK become U+FFFD.
std::string gbkToUtf8(std::string_view text);

}  // namespace mv
