#pragma once
// Which file a path names, as the file system tells files apart: device and inode. Two names
// (a hard link, a symbolic link) of one file have the same identity.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace mv {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

// The file `path` names now, symbolic links followed; nullopt when there is none.
std::optional<FileIdentity> fileIdentity(const std::string& path);
// The same for an open descriptor, or for `name` within the folder open as `dirFd`.
std::optional<FileIdentity> fileIdentity(int fd);
std::optional<FileIdentity> fileIdentityAt(int dirFd, const char* name);

}  // namespace mv
