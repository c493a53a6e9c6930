#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

namespace mv {
namespace {

// The temporary files being written, where a signal handler can read them without locks or
// allocation. A writer beyond the slots, or with a longer path, keeps its file on a signal.
struct TempSlot {
  std::atomic<bool> claimed{false};
  std::atomic<bool> live{false};
  char path[4096];
};
constexpr int kTempSlots = 16;
TempSlot tempSlots[kTempSlots];
static_assert(std::atomic<bool>::is_always_lock_free, "read from a signal handler");

int rememberTemporary(const std::string& path) {
  if (path.size() >= sizeof(TempSlot::path)) return -1;
  for (int i = 0; i < kTempSlots; ++i) {
    bool expected = false;
    if (!tempSlots[i].claimed.compare_exchange_strong(expected, true)) continue;
    std::memcpy(tempSlots[i].path, path.c_str(), path.size() + 1);
    tempSlots[i].live.store(true, std::memory_order_release);
    return i;
  }
  return -1;
}

// Called once the file is renamed or removed: a signal in between unlinks a name that is gone.
void forgetTemporary(int& slot) {
  if (slot < 0) return;
  tempSlots[slot].live.store(false, std::memory_order_release);
  tempSlots[slot].claimed.store(false, std::memory_order_release);
  slot = -1;
}

extern "C" void removeTemporariesAndEnd(int sig) {
  removeTemporaryFiles();
  // SA_RESETHAND restored the default action; the signal is delivered once this returns.
  ::raise(sig);
}

}  // namespace

void removeTemporaryFiles() {
  for (TempSlot& slot : tempSlots)
    if (slot.live.load(std::memory_order_acquire)) ::unlink(slot.path);
}

void removeTemporaryFilesOnSignals() {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL)
      continue;
    struct sigaction action {};
    action.sa_handler = removeTemporariesAndEnd;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(sig, &action, nullptr);
  }
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(size_t(n));
  }
  return true;
}

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int createUniqueFile(const std::string& folder, std::string& pathOut) {
  static std::atomic<uint64_t> counter{0};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  // O_EXCL makes any clash harmless; the mix only keeps clashes (and retries) rare.
  uint64_t seed =
      uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^ (uint64_t(::getpid()) << 40);
  for (int attempt = 0; attempt < 100; ++attempt) {
    uint64_t x = seed + 0x9E3779B97F4A7C15ull * ++counter;
    x ^= x >> 31;
    std::string name = ".morvatelline-";
    for (int i = 0; i < 10; ++i, x /= 36) name += kDigits[x % 36];
    pathOut = folder + name;
    const int fd = ::open(pathOut.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

void OutputFile::fail(OutputError e, int err) {
  if (error_ == OutputError::None) {
    error_ = e;
    errno_ = err;
  }
}

bool OutputFile::open(const std::string& path, std::span<const FileIdentity> keep) {
  discard();
  error_ = OutputError::None;
  errno_ = 0;
  written_.reset();
  ownsFd_ = true;
  if (path.empty()) {
    fail(OutputError::CannotCreate, ENOENT);
    return false;
  }

  struct stat own {};
  const bool exists = ::lstat(path.c_str(), &own) == 0;
  struct stat target {};
  const bool resolves = exists && ::stat(path.c_str(), &target) == 0;
  // Renaming over a device or a pipe would take its name away (as root, even /dev/null's).
  if ((exists && !S_ISREG(own.st_mode) && !S_ISLNK(own.st_mode)) || (resolves && !S_ISREG(target.st_mode))) {
    fail(OutputError::NotAFile, S_ISDIR(target.st_mode) ? EISDIR : EINVAL);
    return false;
  }
  if (resolves) {
    const FileIdentity id{uint64_t(target.st_dev), uint64_t(target.st_ino)};
    if (std::find(keep.begin(), keep.end(), id) != keep.end()) {
      fail(OutputError::SameAsInput, EEXIST);
      return false;
    }
  }

  fd_ = createUniqueFile(folderOf(path), temp_);
  if (fd_ < 0) {
    fail(OutputError::CannotCreate, errno);
    temp_.clear();
    return false;
  }
  tempSlot_ = rememberTemporary(temp_);
  // A file that is replaced keeps who may read it; only root may also keep its owner.
  if (exists && S_ISREG(own.st_mode)) {
    if (::fchown(fd_, own.st_uid, own.st_gid) != 0) {
    }
    if (::fchmod(fd_, own.st_mode & 07777) != 0) {
    }
  }
  target_ = path;
  buffer_.clear();
  return true;
}

void OutputFile::attach(int fd) {
  discard();
  fd_ = fd;
  ownsFd_ = false;
  error_ = fd < 0 ? OutputError::WriteFailed : OutputError::None;
  errno_ = fd < 0 ? EBADF : 0;
  written_.reset();
}

void OutputFile::flush() {
  if (fd_ >= 0 && !failed() && !writeAll(fd_, buffer_)) fail(OutputError::WriteFailed, errno);
  buffer_.clear();
}

bool OutputFile::close() {
  if (fd_ < 0) {
    buffer_.clear();
    return !failed();
  }
  flush();
  if (!ownsFd_) {
    fd_ = -1;
    return !failed();
  }
  if (!failed() && ::fsync(fd_) != 0) fail(OutputError::WriteFailed, errno);
  const auto identity = fileIdentity(fd_);
  if (::close(fd_) != 0) fail(OutputError::WriteFailed, errno);
  fd_ = -1;
  if (!failed() && ::rename(temp_.c_str(), target_.c_str()) != 0) fail(OutputError::WriteFailed, errno);
  if (failed()) {
    ::unlink(temp_.c_str());
  } else {
    syncFolder(folderOf(target_));
    written_ = identity;
  }
  forgetTemporary(tempSlot_);
  temp_.clear();
  target_.clear();
  return !failed();
}

void OutputFile::discard() {
  buffer_.clear();
  if (fd_ >= 0 && ownsFd_) {
    ::close(fd_);
    ::unlink(temp_.c_str());
    forgetTemporary(tempSlot_);
  }
  fd_ = -1;
  temp_.clear();
  target_.clear();
}

}  // namespace mv
