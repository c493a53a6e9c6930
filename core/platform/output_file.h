#pragma once
// The one writer of every file the program creates. A file is written into a temporary file in
// the target's folder and renamed over the target only when all of it reached the disk, so no
// reader, crash or second writer ever sees a mixed or partial file, and a link at the target
// is replaced instead of written through: a media file can never be overwritten by an output.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_identity.h"

namespace mv {

enum class OutputError {
  None,
  NotAFile,      // the target is a folder, device, pipe or socket (or a link to one)
  SameAsInput,   // the target is one of the files the output must keep
  CannotCreate,  // the target's folder does not take a new file
  WriteFailed,   // a write, the flush to disk or the final rename failed
};

class OutputFile {
 public:
  OutputFile() = default;
  // Without close() nothing is written: the temporary file is removed, the target untouched.
  ~OutputFile() { discard(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Starts a file that replaces `path` at close(). Fails, with nothing written, when `path`
  // names something other than a regular file or a link, is the same file as one of `keep`
  // (the input media files), or its folder cannot hold the temporary file.
  bool open(const std::string& path, std::span<const FileIdentity> keep = {});
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

  // Flushes, syncs and renames the file into place; false (target untouched) when anything
  // failed since open.
  bool close();
  // Drops what was written; the target stays as it was.
  void discard();

  bool failed() const { return error_ != OutputError::None; }
  OutputError error() const { return error_; }
  // errno of the failure, when a system call failed.
  int systemError() const { return errno_; }
  // The file that close() put in place.
  std::optional<FileIdentity> writtenIdentity() const { return written_; }

 private:
  static constexpr size_t kFlushAt = 64 * 1024;
  void flush();
  void fail(OutputError e, int err);

  int fd_ = -1;
  bool ownsFd_ = false;
  OutputError error_ = OutputError::None;
  int errno_ = 0;
  std::string target_;
  std::string temp_;
  int tempSlot_ = -1;  // where the signal handlers find temp_
  std::optional<FileIdentity> written_;
  std::string buffer_;
};

// Writes all of `data` to `fd`, going on after interruptions; false on any failure, errno set.
bool writeAll(int fd, std::string_view data);

// A new file with a unique name in `folder` ("" for the working folder, else ending in '/'),
// created exclusively with mode 0666 less the umask; -1 with errno set when none can be made.
int createUniqueFile(const std::string& folder, std::string& pathOut);
// The folder part of `path` including its last '/', or "" for a bare name.
std::string folderOf(const std::string& path);
// Flushes a folder's entries, so that a rename in it survives a crash.
void syncFolder(const std::string& folder);

// Makes SIGINT, SIGTERM and SIGHUP, where they would end the process anyway, first remove the
// temporary files of outputs being written, so that an interrupted export leaves nothing behind.
// Signals that are ignored or already handled keep their handling. Call once at start.
void removeTemporaryFilesOnSignals();
// Removes the temporary files of the outputs being written. Safe to call from a signal handler,
// for handlers of one's own that end the process.
void removeTemporaryFiles();

}  // namespace mv
