// Recursive file search on real temporary folder trees.
#include "search/srch_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fixtures/byte_writer.h"
#include "fixtures/unprivileged.h"

namespace fs = std::filesystem;

namespace {

// Remembers every hook call as "file:", "enter:" or "leave:" followed by the path.
class Recorder : public mv::CSrchDir {
 public:
  std::vector<std::string> events;
  std::vector<std::string> files;
  std::vector<std::string> unreadable;
  std::vector<std::string> skippedLinks;
  std::function<void(Recorder&, const std::string&)> onFile;
  void stop() { stopFlag = 1; }

 protected:
  void OnFileFound(const std::string& path, const mv::FindData& entry) override {
    EXPECT_FALSE(entry.isDirectory);
    EXPECT_EQ(path.substr(path.size() - entry.name.size()), entry.name);
    events.push_back("file:" + path);
    files.push_back(path);
    if (onFile) onFile(*this, path);
  }
  void OnEnterFolder(const std::string& path, const mv::FindData& entry) override {
    EXPECT_TRUE(entry.isDirectory);
    EXPECT_EQ(entry.size(), 0u);
    EXPECT_EQ(path.back(), '/');
    events.push_back("enter:" + path);
  }
  void OnLeaveFolder(const std::string& path, const mv::FindData&) override {
    events.push_back("leave:" + path);
  }
  void OnFolderUnreadable(const std::string& path) override { unreadable.push_back(path); }
  void OnFolderLinkSkipped(const std::string& path) override { skippedLinks.push_back(path); }
};

void touch(const fs::path& p, size_t size = 3) { mvtest::writeFile(p, mvtest::Bytes(size, 'x')); }

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

class SrchDirTest : public ::testing::Test {
 protected:
  std::string root() const { return dir.path().string(); }
  std::string at(const std::string& rel) const { return root() + "/" + rel; }

  std::vector<std::string> run(const std::string& start, int recursive, const std::string& excluded = "",
                               const std::string& mask = "*.rm;*.rmvb") {
    Recorder r;
    r.SetSearch(mask, recursive, excluded);
    r.Search(start);
    return sorted(r.files);
  }

  mvtest::TempDir dir;
};

TEST_F(SrchDirTest, MaskIsSplitAtBlanksSemicolonsAndStars) {
  Recorder r;
  r.SetSearch("*.rm;*.rmvb", 1, "");
  EXPECT_EQ(r.Extensions(), (std::vector<std::string>{".rm", ".rmvb"}));
  r.SetSearch(" *.avi ;; **.RM  ", 0, "");
  EXPECT_EQ(r.Extensions(), (std::vector<std::string>{".avi", ".RM"}));
  r.SetSearch("", 0, "");
  EXPECT_TRUE(r.Extensions().empty());
}

TEST_F(SrchDirTest, ExtensionTestIsCaseInsensitiveOnTheWholeSuffix) {
  for (const char* name : {"a.rm", "B.RMVB", "c.d.rm", "e.rmx", "f.ram", "rm", "x.rm.bak", ".rm", "h.Rm"})
    touch(at(name));
  fs::create_directory(at("g.rm"));
  EXPECT_EQ(run(root(), 0), sorted({at("B.RMVB"), at("c.d.rm"), at("a.rm"), at(".rm"), at("h.Rm")}));
  // Nothing matches an empty mask.
  EXPECT_TRUE(run(root(), 1, "", "").empty());
}

TEST_F(SrchDirTest, RecursionReportsFilesOfAFolderBeforeItsSubfolders) {
  fs::create_directories(at("sub/deep"));
  fs::create_directories(at("other"));
  touch(at("a.rm"));
  touch(at("z.rm"));
  touch(at("sub/b.rm"));
  touch(at("sub/deep/c.rmvb"));
  touch(at("other/d.rm"));
  touch(at("other/skip.avi"));

  EXPECT_EQ(run(root(), 0), sorted({at("a.rm"), at("z.rm")}));
  EXPECT_EQ(run(root(), 1),
            sorted({at("a.rm"), at("z.rm"), at("sub/b.rm"), at("sub/deep/c.rmvb"), at("other/d.rm")}));

  Recorder r;
  r.SetSearch("*.rm;*.rmvb", 1, "");
  r.Search(root());
  // Both files of the start folder come first; then each subfolder is walked whole, depth first,
  // between its enter and leave.
  ASSERT_EQ(r.events.size(), 11u);
  EXPECT_EQ(sorted({r.events[0], r.events[1]}), sorted({"file:" + at("a.rm"), "file:" + at("z.rm")}));
  std::vector<std::string> open;
  for (size_t i = 2; i < r.events.size(); ++i) {
    const std::string& e = r.events[i];
    if (e.rfind("enter:", 0) == 0) {
      const std::string folder = e.substr(6);
      const std::string parent = open.empty() ? root() + "/" : open.back();
      EXPECT_EQ(folder.rfind(parent, 0), 0u) << e;
      open.push_back(folder);
    } else if (e.rfind("leave:", 0) == 0) {
      ASSERT_FALSE(open.empty());
      EXPECT_EQ(e.substr(6), open.back());
      open.pop_back();
    } else {
      ASSERT_FALSE(open.empty()) << e;
      const std::string path = e.substr(5);
      EXPECT_EQ(path.substr(0, path.find_last_of('/') + 1), open.back()) << "file reported in its own folder";
    }
  }
  EXPECT_TRUE(open.empty());
}

TEST_F(SrchDirTest, StartFolderWithOrWithoutSlashGivesTheSamePaths) {
  fs::create_directory(at("sub"));
  touch(at("x.rm"));
  touch(at("sub/y.rm"));
  const auto expected = sorted({at("x.rm"), at("sub/y.rm")});
  EXPECT_EQ(run(root(), 1), expected);
  EXPECT_EQ(run(root() + "/", 1), expected);
  EXPECT_TRUE(run("", 1).empty());
  EXPECT_TRUE(run(at("missing"), 1).empty());
}

// Root enters every folder, so the walk runs in a child process that has given root up.
TEST_F(SrchDirTest, FoldersThatCannotBeReadAreReportedAndTheWalkGoesOn) {
  ASSERT_EQ(::chmod(root().c_str(), 0755), 0);
  fs::create_directories(at("locked/inner"));
  fs::create_directories(at("shut/sub"));
  fs::create_directories(at("open"));
  for (const char* f : {"locked/a.rm", "locked/inner/b.rm", "shut/sub/c.rm", "open/d.rm"}) touch(at(f));
  ASSERT_EQ(::chmod(at("locked").c_str(), 0), 0);
  ASSERT_EQ(::chmod(at("shut").c_str(), 0644), 0);  // listed, not entered
  const bool passed = mvtest::inUnprivilegedChild([&] {
    Recorder r;
    r.SetSearch("*.rm", 1, "");
    r.Search(root());
    EXPECT_EQ(r.files, std::vector<std::string>{at("open/d.rm")});
    EXPECT_EQ(sorted(r.unreadable), sorted({at("locked/"), at("shut/sub/")}));
    // The start folder itself; a folder that is not there is no folder that could not be read.
    Recorder start;
    start.SetSearch("*.rm", 0, "");
    start.Search(at("locked"));
    start.Search(at("missing"));
    EXPECT_EQ(start.unreadable, std::vector<std::string>{at("locked/")});
    return !::testing::Test::HasFailure();
  });
  ASSERT_EQ(::chmod(at("locked").c_str(), 0755), 0);
  ASSERT_EQ(::chmod(at("shut").c_str(), 0755), 0);
  EXPECT_TRUE(passed);
}

TEST_F(SrchDirTest, ExcludedFolderIsNeverWalked) {
  fs::create_directories(at("sub/deep"));
  fs::create_directory(at("keep"));
  touch(at("a.rm"));
  touch(at("sub/b.rm"));
  touch(at("sub/deep/c.rm"));
  touch(at("keep/d.rm"));
  const auto kept = sorted({at("a.rm"), at("keep/d.rm")});
  EXPECT_EQ(run(root(), 1, at("sub")), kept);
  EXPECT_EQ(run(root(), 1, at("sub/")), kept);
  // The text is compared without regard to case.
  std::string upper = at("SUB");
  EXPECT_EQ(run(root(), 1, upper), kept);
  // The start folder itself can be the excluded one.
  EXPECT_TRUE(run(root(), 1, root()).empty());
  EXPECT_TRUE(run(root() + "/", 1, root()).empty());

  Recorder r;
  r.SetSearch("*.rm", 1, at("sub"));
  EXPECT_EQ(r.ExcludedFolder(), at("sub/"));
  r.Search(root());
  // The excluded folder is still entered and left; only its walk is skipped.
  EXPECT_NE(std::find(r.events.begin(), r.events.end(), "enter:" + at("sub/")), r.events.end());
  EXPECT_NE(std::find(r.events.begin(), r.events.end(), "leave:" + at("sub/")), r.events.end());
  EXPECT_EQ(std::find(r.events.begin(), r.events.end(), "enter:" + at("sub/deep/")), r.events.end());
}

TEST_F(SrchDirTest, StopInOnFileFoundEndsTheWholeWalk) {
  fs::create_directory(at("sub"));
  for (const char* name : {"a.rm", "b.rm", "c.rm", "sub/d.rm"}) touch(at(name));
  Recorder r;
  r.onFile = [](Recorder& self, const std::string&) { self.stop(); };
  r.SetSearch("*.rm", 1, "");
  r.Search(root());
  EXPECT_EQ(r.events.size(), 1u) << "no further file and no subfolder";

  // A new SetSearch clears the flag.
  r.onFile = nullptr;
  r.SetSearch("*.rm", 1, "");
  r.events.clear();
  r.Search(root());
  EXPECT_EQ(r.files.size(), 5u);
}

TEST_F(SrchDirTest, StopDeepDownUnwindsThroughEveryEnteredFolder) {
  fs::create_directories(at("a/b/c"));
  fs::create_directories(at("a/b2"));
  fs::create_directories(at("z"));
  touch(at("a/b/c/hit.rm"));
  touch(at("a/b/c/other.rm"));
  touch(at("a/b2/never.rm"));
  touch(at("z/never.rm"));
  Recorder r;
  r.onFile = [](Recorder& self, const std::string& path) {
    if (path.find("/a/b/c/") != std::string::npos) self.stop();
  };
  r.SetSearch("*.rm", 1, "");
  r.Search(root());
  // Whatever the listing order, the walk ends with the stop file followed only by leaves, one for
  // each folder still open, innermost first.
  auto stopAt = std::find_if(r.events.begin(), r.events.end(), [](const std::string& e) {
    return e.find("/a/b/c/") != std::string::npos && e[0] == 'f';
  });
  ASSERT_NE(stopAt, r.events.end());
  std::vector<std::string> after(stopAt + 1, r.events.end());
  EXPECT_EQ(after,
            (std::vector<std::string>{"leave:" + at("a/b/c/"), "leave:" + at("a/b/"), "leave:" + at("a/")}));
}

// Links inside the tree are walked (each folder once); links out of it, up to "/", are not.
TEST_F(SrchDirTest, LinkedFoldersAreWalkedOnceAndLinkLoopsEndAndTheWalkStaysInside) {
  mvtest::TempDir outside;
  touch(outside.file("out.rm"));
  fs::create_directories(at("sub"));
  touch(at("sub/real.rm"), 42);
  fs::create_directory_symlink(root(), at("sub/loop"));     // a cycle back to the start
  fs::create_directory_symlink(at("sub"), at("alias.rm"));  // a second name of sub, named like a file
  fs::create_directory_symlink(outside.path(), at("linked"));
  fs::create_directory_symlink(outside.path(), at("linked2"));
  fs::create_directory_symlink("/", at("system"));
  fs::create_symlink(at("sub/real.rm"), at("link.rm"));
  fs::create_symlink(at("nowhere.rm"), at("dangling.rm"));
  ASSERT_EQ(mkfifo(at("pipe.rm").c_str(), 0600), 0);  // opening it would wait for a writer

  Recorder r;
  r.SetSearch("*.rm", 1, "");
  r.Search(root());
  // Which name of a folder is walked follows the listing order; each is walked under one.
  const auto count = [&](std::initializer_list<std::string> names) {
    return std::count_if(r.files.begin(), r.files.end(), [&](const std::string& f) {
      return std::find(names.begin(), names.end(), f) != names.end();
    });
  };
  EXPECT_EQ(r.files.size(), 3u) << ::testing::PrintToString(r.files);
  EXPECT_EQ(count({at("sub/real.rm"), at("alias.rm/real.rm")}), 1);
  EXPECT_EQ(sorted(r.skippedLinks), (std::vector<std::string>{at("linked/"), at("linked2/"), at("system/")}));
  EXPECT_EQ(count({at("link.rm"), at("dangling.rm")}), 2);
  for (const std::string& e : r.events) EXPECT_EQ(e.find("loop"), std::string::npos) << e;
}

TEST_F(SrchDirTest, FileSizeComesWithTheEntry) {
  touch(at("big.rm"), 1234);
  touch(at("small.rm"), 7);
  fs::create_symlink(at("big.rm"), at("link.rm"));
  fs::create_symlink(at("gone.rm"), at("dangling.rm"));
  struct Sizes : mv::CSrchDir {
    std::vector<uint64_t> sizes;
    void OnFileFound(const std::string&, const mv::FindData& e) override { sizes.push_back(e.size()); }
  } s;
  s.SetSearch("*.rm", 0, "");
  s.Search(root());
  std::sort(s.sizes.begin(), s.sizes.end());
  EXPECT_EQ(s.sizes, (std::vector<uint64_t>{0, 7, 1234, 1234}));
}

// Builds a chain of folders below `base` until the path passes the system's limit, working from
// open folder descriptors so that no call needs the long path itself. Returns the depth.
int buildTooDeepTree(const std::string& base, const std::string& segment) {
  int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY);
  size_t length = base.size() + 1;
  int depth = 0;
  while (length + segment.size() + 1 < PATH_MAX + 200) {
    if (mkdirat(fd, segment.c_str(), 0700) != 0) break;
    const int next = openat(fd, segment.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    length += segment.size() + 1;
    ++depth;
    const int file = openat(fd, "f.rm", O_WRONLY | O_CREAT, 0600);
    close(file);
  }
  close(fd);
  return depth;
}

// remove_all works with whole paths and gives up past the limit.
void removeTree(int parentFd, const char* name) {
  const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (fd >= 0) {
    DIR* d = fdopendir(fd);
    std::vector<std::string> names;
    while (const dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    for (const std::string& n : names)
      if (unlinkat(dirfd(d), n.c_str(), 0) != 0) removeTree(dirfd(d), n.c_str());
    closedir(d);
  }
  unlinkat(parentFd, name, AT_REMOVEDIR);
}

TEST_F(SrchDirTest, PathsPastTheSystemLimitAreSkippedAndTheFolderNamed) {
  const std::string segment(100, 'd');
  const int depth = buildTooDeepTree(root(), segment);
  ASSERT_GT(depth, 35);
  Recorder r;
  r.SetSearch("*.rm", 1, "");
  r.Search(root());
  const auto files = r.files;
  // The first folder too deep is named: none of its files could be opened by their paths.
  ASSERT_EQ(r.unreadable.size(), 1u);
  EXPECT_GT(r.unreadable[0].size(), size_t(PATH_MAX - 1));
  EXPECT_LE(r.unreadable[0].size(), size_t(PATH_MAX + segment.size()));
  EXPECT_FALSE(files.empty());
  for (const std::string& f : files) EXPECT_LT(f.size(), size_t(PATH_MAX));
  // Every folder whose file path fits is reported, the ones below are not.
  const size_t perLevel = segment.size() + 1;
  const size_t fitting = (PATH_MAX - 1 - (root().size() + 1) - 4) / perLevel;
  EXPECT_EQ(files.size(), fitting);
  EXPECT_LT(files.size(), size_t(depth));
  const int base = open(root().c_str(), O_RDONLY | O_DIRECTORY);
  removeTree(base, segment.c_str());
  close(base);
}

TEST_F(SrchDirTest, DeepTreeWithinTheLimitIsWalkedToTheBottom) {
  // About 2000 levels: the deepest the limit allows with one-letter names.
  std::string path = root();
  int levels = 0;
  while (path.size() + 2 + 5 < PATH_MAX - 1) {
    path += "/d";
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << levels;
    ++levels;
  }
  touch(path + "/x.rm");
  Recorder r;
  r.SetSearch("*.rm", 1, "");
  r.Search(root());
  EXPECT_EQ(r.files, std::vector<std::string>{path + "/x.rm"});
  EXPECT_EQ(r.events.size(), size_t(2 * levels + 1));
  const int base = open(root().c_str(), O_RDONLY | O_DIRECTORY);
  removeTree(base, "d");
  close(base);
}

}  // namespace
