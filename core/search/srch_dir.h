#pragma once
// Walks a folder, and optionally the folders below it, and reports every file whose extension
// is in a list. What is done with the files, and when to stop, is up to subclasses.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_identity.h"

namespace mv {

// The directory entry handed to the hooks; valid only during the call.
class FindData {
 public:
  std::string name;  // entry name within its folder
  bool isDirectory = false;

  // Bytes; 0 for folders, the target's size for a link to a file. Looked up on first use, so
  // a search that never asks saves a system call per file.
  uint64_t size() const;
  // The file the entry names, links followed (one system call; not remembered).
  std::optional<FileIdentity> identity() const;

 private:
  friend class CSrchDir;
  int dirFd_ = -1;  // the listing the entry comes from, while it is open
  mutable bool sized_ = false;
  mutable uint64_t size_ = 0;
};

class CSrchDir {
 public:
  CSrchDir() = default;
  virtual ~CSrchDir();
  CSrchDir(const CSrchDir&) = delete;
  CSrchDir& operator=(const CSrchDir&) = delete;

  // Prepares a walk. `mask` is split at blanks, ';' and '*' into extensions (".rm;*.rmvb" or
  // "*.rm;*.rmvb" give ".rm" and ".rmvb"); an empty mask matches nothing. `excludedFolder`,
  // when not empty, is never walked.
  virtual void SetSearch(const std::string& mask, int recursive, const std::string& excludedFolder);

  // Walks `startFolder` (with or without its trailing '/'); does nothing when it is empty.
  // Links to folders inside it are walked like folders, each folder once; a link to a folder
  // outside it is not followed (OnFolderLinkSkipped), so that the walk stays in the chosen tree.
  void Search(const std::string& startFolder);

  const std::vector<std::string>& Extensions() const { return extensions; }
  const std::string& ExcludedFolder() const { return excludedFolder; }

 protected:
  // `path` is the full path; for a folder it ends with '/'.
  virtual void OnFileFound(const std::string& path, const FindData& entry);
  virtual void OnEnterFolder(const std::string& path, const FindData& entry);
  virtual void OnLeaveFolder(const std::string& path, const FindData& entry);
  // A folder of the walk that could not be listed, or whose identity could not be read: nothing
  // below it is reported. A folder that went away meanwhile is not reported.
  // A folder too deep for a path the system takes is one of them.
  virtual void OnFolderUnreadable(const std::string& path);
  // A link to a folder outside the walked one (the path of the link, ending with '/').
  virtual void OnFolderLinkSkipped(const std::string& path);
  // Asked by subclasses inside their hooks; the walk itself only tests `stopFlag`.
  virtual int IsStopRequested();

  void WalkFolder(const std::string& folder);
  bool MatchesExtension(const std::string& name) const;

  std::string excludedFolder;  // ends with '/' when set
  int stopFlag = 0;
  int recursive = 0;
  std::vector<std::string> extensions;  // each with its leading dot

 private:
  // Folders walked or about to be walked in this search: a folder reached twice, through a
  // link or a loop of links, is walked only the first time.
  std::set<FileIdentity> walked_;
  std::string root_;  // the walked folder with its links resolved, ending with '/'; empty: unknown
};

}  // namespace mv
