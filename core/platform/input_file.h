#pragma once
// The one bounded reader every parser reads a media file through. A read that would pass the end
// of the file fails and delivers nothing; positions and lengths are 64-bit. Small reads are
// served from a buffer, so walking many small headers costs about one pass over the file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace mv {

class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens for reading only; media files are never written.
  bool open(const std::string& path);
  void close();
  bool isOpen() const { return fd_ >= 0; }

  // Length taken when the file was opened.
  uint64_t length() const { return length_; }

  // Reads exactly n bytes at pos; false (and nothing copied) when they are not all in the file.
  bool readAt(uint64_t pos, void* dst, size_t n);

  // The n bytes at pos, n at most kBufferSize, in the file's own buffer (read there unless they
  // already are); null when they are not all in the file or cannot be read. Valid until the next
  // read. Walking a large table block by block this way keeps no copy of it in memory.
  // `readAhead`: how much to read when the buffer does not hold them (at least n); glances at
  // scattered places (a picture's first bytes) read little, walks read whole blocks.
  const uint8_t* peek(uint64_t pos, size_t n, size_t readAhead = kBufferSize);

  // The bytes from pos on that the buffer already holds (avail of them), without reading; null
  // when pos is not in it.
  const uint8_t* buffered(uint64_t pos, size_t& avail) const {
    if (pos < bufferPos_ || pos - bufferPos_ >= bufferFill_) return nullptr;
    avail = bufferFill_ - size_t(pos - bufferPos_);
    return buffer_.get() + (pos - bufferPos_);
  }

  // Where data resumes at or after pos: a hole of a sparse file reads as zeros, which no
  // container's sync pattern matches, so a search may jump it. pos itself inside data, or where
  // the file system cannot tell; length() when only a hole remains.
  uint64_t dataFrom(uint64_t pos);

  // Where the run of data that holds pos ends: the next hole, else length() (also where the
  // file system cannot tell); pos itself when pos lies in a hole. A read up to there meets no
  // hole's zeros.
  uint64_t dataUntil(uint64_t pos);

  // True when pos lies in a hole, or only zeros lie between pos and the next one (the rest of
  // the file system block a sparse file's data ends in); false at the end of the file.
  bool zerosUpToHole(uint64_t pos);

  // Records of `stride` bytes that start at pos, pos + stride, ... below `limit` and whose first
  // `head` bytes all lie in a hole: a walk that reads a zero header as a record of that stride
  // steps over them at once.
  uint64_t recordsInHole(uint64_t pos, uint64_t head, uint64_t stride, uint64_t limit);

  // True when [pos, pos + n) lies inside the file; never overflows.
  bool contains(uint64_t pos, uint64_t n) const { return pos <= length_ && n <= length_ - pos; }

  // A read failed although the file claimed the bytes: an I/O error, or the file shrank.
  bool readFailed() const { return readFailed_; }

  // Changes whenever the buffer peek() hands out is filled anew: a pointer into it taken under
  // another generation is stale.
  uint64_t bufferGeneration() const { return generation_; }

  // Bytes actually fetched from the operating system, for measuring what a parse touches.
  uint64_t bytesFetched() const { return fetched_; }

  // Buffer size for small reads; reads of at least this size bypass the buffer. Walking a
  // table in blocks of this size costs fewer fresh pages than larger blocks save in system calls.
  static constexpr size_t kBufferSize = 64 * 1024;

 private:
  bool fetch(uint64_t pos, void* dst, size_t n);

  int fd_ = -1;
  uint64_t length_ = 0;
  uint64_t fetched_ = 0;
  bool readFailed_ = false;
  std::unique_ptr<uint8_t[]> buffer_;  // left uninitialised: every byte used is read first
  uint64_t bufferPos_ = 0;             // file position of buffer_[0]
  size_t bufferFill_ = 0;              // valid bytes in buffer_
  uint64_t generation_ = 0;
  uint64_t dataStart_ = 0;  // the last run of data dataFrom() found: [dataStart_, dataEnd_)
  uint64_t dataEnd_ = 0;
};

}  // namespace mv
