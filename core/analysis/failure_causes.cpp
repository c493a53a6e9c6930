// The causes are chosen here rather than taken from strerror: they name what the user can act
// on, in the program's language, and read the same from the CLI and the window.
#include "analysis/failure_causes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "analysis/containers.h"
#include "es/signatures.h"
#include "platform/messages.h"

namespace mv {
namespace {

struct Language {
  bool english;
  const char* operator()(const char* chinese, const char* englishText) const {
    return english ? englishText : chinese;
  }
};

std::string notThisFormat(const std::string& path, Language tr) {
  // A format this program does not read is named, whatever the file is called.
  uint8_t head[64];
  ssize_t got = -1;
  if (const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); fd >= 0) {
    got = ::read(fd, head, sizeof head);
    ::close(fd);
  }
  if (const std::string_view unread = got > 0 ? es::unreadFormatName(head, size_t(got)) : std::string_view();
      !unread.empty()) {
    if (tr.english) return std::string(unread) + ": not a file this program reads";
    return std::string(unread) + "：本程序不读取此类文件";
  }
  if (const Container* c = containerOfPath(path)) {
    if (tr.english)
      return std::string(c->nameTakesAn ? "not an " : "not a ") + std::string(c->displayName) + " file";
    return "不是有效的 " + std::string(c->displayName) + " 文件";
  }
  if (tr.english) return "not a supported media file (" + containerNames(", ") + ")";
  return "不是支持的媒体文件（" + containerNames("、") + "）";
}

// strerror in the program's language for the errors a read or a write meets in practice.
std::string systemError(int err, Language tr) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return tr("文件或文件夹不存在", "no such file or folder");
    case EACCES:
    case EPERM:
      return tr("没有权限", "permission denied");
    case EISDIR:
      return tr("是一个文件夹", "is a folder");
    case EROFS:
      return tr("只读文件系统", "read-only file system");
    case ENOSPC:
      return tr("磁盘空间不足", "no space left on device");
    case EDQUOT:
      return tr("超出磁盘配额", "disk quota exceeded");
    case EFBIG:
      return tr("文件过大", "file too large");
    case EIO:
      return tr("输入/输出错误", "input/output error");
    case ENAMETOOLONG:
      return tr("文件名过长", "file name too long");
    case ELOOP:
      return tr("符号链接层数过多", "too many levels of symbolic links");
    case EMFILE:
    case ENFILE:
      return tr("打开的文件过多", "too many open files");
    case ENOMEM:
      return tr("内存不足", "out of memory");
    case 0:
      return tr("无法写入", "could not be written");
    default:
      return std::string(tr("系统错误：", "")) + std::strerror(err);
  }
}

}  // namespace

const char* loadFailureMessage(const std::string& path, const LoadResult& result) {
  if (result.ok() || result.failure == LoadFailure::Cancelled) return nullptr;
  if (result.failure == LoadFailure::NotThisFormat && !containerOfPath(path)) return msg::kInvalidFile;
  if (result.failure == LoadFailure::OutOfMemory) return msg::kOutOfMemory;
  return msg::kReadFailed;
}

void showLoadFailure(const std::string& path, const LoadResult& result) {
  if (const char* text = loadFailureMessage(path, result)) showMessage(text);
}

std::string loadFailureCause(const std::string& path, const LoadResult& result, bool english) {
  const Language tr{english};
  if (result.failure == LoadFailure::Cancelled) return tr("已取消", "cancelled");
  if (result.failure == LoadFailure::OutOfMemory) return tr("内存不足", "out of memory");
  // The readers tell a file they could not open from one that broke while read; which of the
  // everyday reasons kept it closed only the file system knows.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return tr("文件不存在", "not found");
    if (err == EACCES) return tr("没有权限读取", "permission denied");
    return systemError(err, tr);
  }
  if (S_ISDIR(st.st_mode)) return tr("是一个文件夹，不是文件", "is a folder, not a file");
  if (const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); fd >= 0) {
    ::close(fd);
  } else if (errno == EACCES || errno == EPERM) {
    return tr("没有权限读取", "permission denied");
  }
  switch (result.failure) {
    case LoadFailure::NotThisFormat:
      return notThisFormat(path, tr);
    case LoadFailure::Damaged:
      if (result.position == LoadResult::kNoPosition) return tr("文件已损坏", "damaged");
      if (english) return "damaged at byte " + std::to_string(result.position);
      return "文件在第 " + std::to_string(result.position) + " 字节处损坏";
    default:
      return tr("无法读取（输入/输出错误，或文件在读取时被改动）",
                "could not be read (an input/output error, or the file changed while it was read)");
  }
}

std::string writeFailureCause(OutputError error, int err, bool english) {
  const Language tr{english};
  switch (error) {
    case OutputError::NotAFile:
      if (err == EISDIR) return systemError(EISDIR, tr);
      return tr("不是普通文件（设备、管道或套接字），不能用作输出",
                "not a regular file (a device, pipe or socket); it cannot be an output");
    case OutputError::SameAsInput:
      return tr("是输入的媒体文件之一，不会被覆盖", "is one of the input media files; it is not overwritten");
    case OutputError::CannotCreate:
      if (err == ENOENT || err == ENOTDIR) return tr("所在的文件夹不存在", "its folder does not exist");
      return systemError(err, tr);
    default:
      return systemError(err, tr);
  }
}

}  // namespace mv
