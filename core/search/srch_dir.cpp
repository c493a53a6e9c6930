#include "search/srch_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/ascii.h"

namespace mv {
namespace {

// Longest path text the system calls accept (PATH_MAX counts the terminator).
constexpr size_t kMaxPathLength = PATH_MAX - 1;

enum class EntryKind { Skip, File, Folder };

// Regular files and folders, directly or through a link, are files and folders; the walk keeps
// a link loop finite by walking each folder once. FIFOs, devices and sockets are neither, since
// opening one for reading could block for ever. A dangling link stays a file: the user learns
// from the failed read that it is there. Only what the listing does not tell costs a system call.
EntryKind classify(int dirFd, const dirent& e, bool& sized, uint64_t& size, bool* link = nullptr) {
  sized = false;
  size = 0;
  if (e.d_type == DT_DIR) {
    sized = true;
    return EntryKind::Folder;
  }
  if (e.d_type == DT_REG) return EntryKind::File;
  if (e.d_type != DT_LNK && e.d_type != DT_UNKNOWN) return EntryKind::Skip;

  struct stat own {};
  if (fstatat(dirFd, e.d_name, &own, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::Skip;
  sized = true;
  if (S_ISDIR(own.st_mode)) return EntryKind::Folder;
  if (S_ISREG(own.st_mode)) {
    size = uint64_t(own.st_size);
    return EntryKind::File;
  }
  if (!S_ISLNK(own.st_mode)) return EntryKind::Skip;
  if (link) *link = true;
  struct stat target {};
  if (fstatat(dirFd, e.d_name, &target, 0) != 0) return EntryKind::File;
  if (S_ISDIR(target.st_mode)) return EntryKind::Folder;
  if (!S_ISREG(target.st_mode)) return EntryKind::Skip;
  size = uint64_t(target.st_size);
  return EntryKind::File;
}

bool isDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// `path` with its links resolved, ending with '/'; empty when it cannot be resolved.
std::string resolvedFolder(const std::string& path) {
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) return {};
  std::string out = resolved;
  if (out.back() != '/') out += '/';
  return out;
}

}  // namespace

uint64_t FindData::size() const {
  if (!sized_) {
    struct stat st {};
    if (dirFd_ >= 0 && fstatat(dirFd_, name.c_str(), &st, 0) == 0 && S_ISREG(st.st_mode))
      size_ = uint64_t(st.st_size);
    sized_ = true;
  }
  return size_;
}

std::optional<FileIdentity> FindData::identity() const {
  return dirFd_ >= 0 ? fileIdentityAt(dirFd_, name.c_str()) : std::nullopt;
}

CSrchDir::~CSrchDir() = default;

void CSrchDir::SetSearch(const std::string& mask, int recursiveWalk, const std::string& excluded) {
  recursive = recursiveWalk;
  stopFlag = 0;
  extensions.clear();
  excludedFolder = excluded;
  if (!excludedFolder.empty() && excludedFolder.back() != '/') excludedFolder += '/';
  size_t i = 0;
  while (i < mask.size()) {
    const size_t end = mask.find_first_of(" ;*", i);
    const size_t stop = end == std::string::npos ? mask.size() : end;
    if (stop > i) extensions.push_back(mask.substr(i, stop - i));
    i = stop + 1;
  }
}

void CSrchDir::Search(const std::string& startFolder) {
  if (startFolder.empty()) return;
  std::string folder = startFolder;
  if (folder.back() != '/') folder += '/';
  if (folder.size() > kMaxPathLength) {
    OnFolderUnreadable(folder);
    return;
  }
  walked_.clear();
  root_ = resolvedFolder(folder);
  if (const auto id = fileIdentity(folder)) walked_.insert(*id);
  WalkFolder(folder);
  walked_.clear();
}

bool CSrchDir::MatchesExtension(const std::string& name) const {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return false;
  const char* suffix = name.c_str() + dot;
  const size_t n = name.size() - dot;
  for (const std::string& ext : extensions)
    if (equalsIgnoreAsciiCase(std::string_view(suffix, n), ext)) return true;
  return false;
}

void CSrchDir::WalkFolder(const std::string& folder) {
  if (stopFlag) return;
  if (!excludedFolder.empty() && equalsIgnoreAsciiCase(folder, excludedFolder)) return;

  // File pass. A folder that cannot be listed is told about: the files in it go unchecked.
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    if (errno != ENOENT && errno != ENOTDIR) OnFolderUnreadable(folder);
    return;
  }
  {
    FindData entry;
    entry.dirFd_ = dirfd(dir);
    while (const dirent* e = readdir(dir)) {
      const size_t nameLength = std::strlen(e->d_name);
      if (e->d_type != DT_DIR && folder.size() + nameLength <= kMaxPathLength) {
        entry.name.assign(e->d_name, nameLength);
        if (MatchesExtension(entry.name) &&
            classify(entry.dirFd_, *e, entry.sized_, entry.size_) == EntryKind::File)
          OnFileFound(folder + entry.name, entry);
      }
      if (stopFlag) break;
    }
    closedir(dir);
  }
  if (stopFlag || !recursive) return;

  // Folder pass. The subfolders are listed first and the listing closed before descending, so a
  // deep tree does not hold one open listing per level.
  std::vector<FindData> subfolders;
  if ((dir = opendir(folder.c_str()))) {
    FindData entry;
    entry.isDirectory = true;
    while (const dirent* e = readdir(dir)) {
      if (isDotOrDotDot(e->d_name)) continue;
      bool link = false;
      if (classify(dirfd(dir), *e, entry.sized_, entry.size_, &link) == EntryKind::Folder) {
        const std::string path = folder + e->d_name + '/';
        // Too deep for the system's paths: its files could not be opened by name.
        if (path.size() > kMaxPathLength) {
          OnFolderUnreadable(path);
          continue;
        }
        // A link out of the tree could lead anywhere, up to the whole system.
        if (link) {
          const std::string target = resolvedFolder(path);
          if (root_.empty() || target.compare(0, root_.size(), root_) != 0) {
            OnFolderLinkSkipped(path);
            continue;
          }
        }
        // A folder that cannot be told apart is not walked: it could be one already walked.
        const auto id = fileIdentityAt(dirfd(dir), e->d_name);
        if (!id) {
          if (errno != ENOENT && errno != ENOTDIR) OnFolderUnreadable(folder + e->d_name + '/');
          continue;
        }
        if (!walked_.insert(*id).second) continue;
        entry.name = e->d_name;
        entry.sized_ = true;
        entry.size_ = 0;
        subfolders.push_back(entry);
      }
    }
    closedir(dir);
  }
  for (const FindData& sub : subfolders) {
    const std::string path = folder + sub.name + '/';
    OnEnterFolder(path, sub);
    WalkFolder(path);
    OnLeaveFolder(path, sub);
    if (stopFlag) break;
  }
}

void CSrchDir::OnFileFound(const std::string&, const FindData&) {}
void CSrchDir::OnEnterFolder(const std::string&, const FindData&) {}
void CSrchDir::OnLeaveFolder(const std::string&, const FindData&) {}
void CSrchDir::OnFolderUnreadable(const std::string&) {}
void CSrchDir::OnFolderLinkSkipped(const std::string&) {}
int CSrchDir::IsStopRequested() { return 0; }

}  // namespace mv
