// What the CLI tells on stderr: the core's messages, and for a file that did not load or an
// output that was not written one line that names it and says why, as Linux tools do.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "analysis/containers.h"
#include "commands.h"
#include "platform/messages.h"
#include "platform/printable_name.h"

namespace mvcli {
namespace {

std::string lastShown;
int quietDepth = 0;

const char* tr(const char* chinese, const char* english) { return englishMessages() ? english : chinese; }

// The container's name as users know it, and whether English writes "an" before it.
struct FormatName {
  mv::MediaType type;
  const char* name;
  bool an;
};
constexpr FormatName kFormatNames[] = {
    {mv::MEDIA_AVI, "AVI", true},      {mv::MEDIA_RM, "RealMedia", false}, {mv::MEDIA_MP4, "MP4", true},
    {mv::MEDIA_MKV, "Matroska", false}, {mv::MEDIA_FLV, "FLV", true},       {mv::MEDIA_TS, "MPEG-TS", true},
    {mv::MEDIA_PS, "MPEG-PS", true},   {mv::MEDIA_ASF, "ASF", true},
};

std::string notThisFormat(const std::string& path) {
  const mv::Container* c = mv::containerOfPath(path);
  for (const FormatName& f : kFormatNames) {
    if (!c || c->type != f.type) continue;
    if (englishMessages()) return std::string(f.an ? "not an " : "not a ") + f.name + " file";
    return std::string("不是有效的 ") + f.name + " 文件";
  }
  return tr("不是支持的媒体文件（AVI、RealMedia、MP4、Matroska、FLV、MPEG-TS、MPEG-PS、ASF）",
            "not a supported media file (AVI, RealMedia, MP4, Matroska, FLV, MPEG-TS, MPEG-PS, ASF)");
}

// strerror in the program's language for the errors a read or a write meets in practice.
std::string systemError(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR: return tr("文件或文件夹不存在", "no such file or folder");
    case EACCES:
    case EPERM: return tr("没有权限", "permission denied");
    case EISDIR: return tr("是一个文件夹", "is a folder");
    case EROFS: return tr("只读文件系统", "read-only file system");
    case ENOSPC: return tr("磁盘空间不足", "no space left on device");
    case EDQUOT: return tr("超出磁盘配额", "disk quota exceeded");
    case EFBIG: return tr("文件过大", "file too large");
    case EIO: return tr("输入/输出错误", "input/output error");
    case ENAMETOOLONG: return tr("文件名过长", "file name too long");
    case ELOOP: return tr("符号链接层数过多", "too many levels of symbolic links");
    case EMFILE:
    case ENFILE: return tr("打开的文件过多", "too many open files");
    case ENOMEM: return tr("内存不足", "out of memory");
    case 0: return tr("无法写入", "could not be written");
    default: return std::string(tr("系统错误：", "")) + std::strerror(err);
  }
}

}  // namespace

void captureMessages() {
  mv::setMessageSink([](const std::string& text) {
    lastShown = text;
    if (quietDepth == 0) std::fprintf(stderr, "%s\n", text.c_str());
  });
}

const std::string& lastMessage() { return lastShown; }

QuietMessages::QuietMessages() { ++quietDepth; }
QuietMessages::~QuietMessages() { --quietDepth; }

bool englishMessages() {
  static const bool english = [] {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = std::getenv(name);
      std::string_view v = value ? value : "";
      // LANGUAGE is a list of preferences; the first one decides.
      if (std::string_view(name) == "LANGUAGE") v = v.substr(0, v.find(':'));
      if (!v.empty()) return v.starts_with("en");
    }
    return false;
  }();
  return english;
}

void printDiagnostic(const std::string& what, const std::string& cause) {
  std::fflush(stdout);
  std::fprintf(stderr, "morvatelline-cli: %s: %s\n", mv::printableName(what).c_str(), cause.c_str());
}

std::string loadFailureCause(const std::string& path, const mv::LoadResult& result) {
  if (result.failure == mv::LoadFailure::Cancelled) return tr("已取消", "cancelled");
  if (result.failure == mv::LoadFailure::OutOfMemory) return tr("内存不足", "out of memory");
  // The readers tell a file they could not open from one that broke while read; which of the
  // everyday reasons kept it closed only the file system knows.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return tr("文件不存在", "not found");
    if (err == EACCES) return tr("没有权限读取", "permission denied");
    return systemError(err);
  }
  if (S_ISDIR(st.st_mode)) return tr("是一个文件夹，不是文件", "is a folder, not a file");
  if (const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); fd >= 0) {
    ::close(fd);
  } else if (errno == EACCES || errno == EPERM) {
    return tr("没有权限读取", "permission denied");
  }
  switch (result.failure) {
    case mv::LoadFailure::NotThisFormat: return notThisFormat(path);
    case mv::LoadFailure::Damaged:
      if (result.position == mv::LoadResult::kNoPosition) return tr("文件已损坏", "damaged");
      if (englishMessages()) return "damaged at byte " + std::to_string(result.position);
      return "文件在第 " + std::to_string(result.position) + " 字节处损坏";
    default:
      return tr("无法读取（输入/输出错误，或文件在读取时被改动）",
                "could not be read (an input/output error, or the file changed while it was read)");
  }
}

std::string writeFailureCause(mv::OutputError error, int err) {
  switch (error) {
    case mv::OutputError::NotAFile:
      if (err == EISDIR) return systemError(EISDIR);
      return tr("不是普通文件（设备、管道或套接字），不能用作输出",
                "not a regular file (a device, pipe or socket); it cannot be an output");
    case mv::OutputError::SameAsInput:
      return tr("是输入的媒体文件之一，不会被覆盖", "is one of the input media files; it is not overwritten");
    case mv::OutputError::CannotCreate:
      if (err == ENOENT || err == ENOTDIR) return tr("所在的文件夹不存在", "its folder does not exist");
      return systemError(err);
    default:
      return systemError(err);
  }
}

std::string outputName(const std::string& target) {
  return target == "-" ? tr("标准输出", "standard output") : target;
}

}  // namespace mvcli
