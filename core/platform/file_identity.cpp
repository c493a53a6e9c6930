#include "platform/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace mv {
namespace {

FileIdentity identityOf(const struct stat& st) { return {uint64_t(st.st_dev), uint64_t(st.st_ino)}; }

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return identityOf(st);
}

std::optional<FileIdentity> fileIdentity(int fd) {
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) return std::nullopt;
  return identityOf(st);
}

std::optional<FileIdentity> fileIdentityAt(int dirFd, const char* name) {
  struct stat st {};
  if (::fstatat(dirFd, name, &st, 0) != 0) return std::nullopt;
  return identityOf(st);
}

}  // namespace mv
