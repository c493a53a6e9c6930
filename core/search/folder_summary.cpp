#include "search/folder_summary.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "search/batch_check.h"
#include "search/srch_dir.h"

namespace mv {
namespace {

class PathWalk : public CSrchDir {
 public:
  PathWalk(FolderSummary& owner, const FolderSummary::Callbacks& callbacks)
      : owner_(owner), callbacks_(callbacks) {}
  std::vector<std::string> paths;

 protected:
  void OnFileFound(const std::string& path, const FindData& entry) override {
    if (callbacks_.stopAsked && callbacks_.stopAsked()) owner_.RequestStop();
    if (owner_.stopRequested()) {
      stopFlag = 1;
      return;
    }
    paths.push_back(path);
    if (const auto id = entry.identity()) owner_.treeFiles.push_back(*id);
  }
  // A tree of many folders and few files is stopped between folders too.
  void OnEnterFolder(const std::string&, const FindData&) override {
    if (owner_.stopRequested()) stopFlag = 1;
  }
  void OnFolderUnreadable(const std::string& path) override {
    owner_.unreadableFolders.push_back(folderName(path));
    if (callbacks_.unreadableFolder) callbacks_.unreadableFolder(owner_.unreadableFolders.back());
  }
  void OnFolderLinkSkipped(const std::string& path) override {
    if (callbacks_.linkSkipped) callbacks_.linkSkipped(folderName(path));
  }

 private:
  FolderSummary& owner_;
  const FolderSummary::Callbacks& callbacks_;
};

// A file being read stops as soon as the run is asked to.
class StopControl : public LoadControl {
 public:
  explicit StopControl(const FolderSummary& run) : run_(run) {}
  bool Continue(uint64_t, uint64_t) override { return !run_.stopRequested(); }

 private:
  const FolderSummary& run_;
};

}  // namespace

bool FolderSummary::Run(const std::string& folder, bool allFormats, const SummaryOptions& options,
                        const Callbacks& callbacks) {
  // A stop asked before the run began (a window closed at once) holds: the flag is not reset.
  rows.clear();
  unreadableFolders.clear();
  treeFiles.clear();
  PathWalk walk(*this, callbacks);
  walk.SetSearch(batchMask(allFormats), 1, std::string());
  walk.Search(folder);
  if (stopRequested()) return false;
  std::sort(walk.paths.begin(), walk.paths.end());
  const int total = int(walk.paths.size());
  rows.resize(walk.paths.size());
  if (callbacks.found) callbacks.found(total);

  std::mutex mutex;
  std::condition_variable finished;
  std::deque<size_t> done;  // rows finished and not yet reported
  size_t next = 0;
  int working = 0;
  const auto work = [&] {
    StopControl control(*this);
    std::unique_lock lock(mutex);
    while (next < walk.paths.size() && !stopRequested()) {
      const size_t index = next++;
      lock.unlock();
      SummaryRow row = summarizeFile(walk.paths[index], options, &control);
      lock.lock();
      // A file the stop cut off has no row: its cause would be the stop, not the file.
      if (row.load.failure == LoadFailure::Cancelled && stopRequested()) break;
      rows[index] = std::move(row);
      done.push_back(index);
      finished.notify_one();
    }
    --working;
    finished.notify_one();
  };
  std::vector<std::thread> threads;
  const int count = std::min<int>(kThreads, std::max(total, 1));
  working = count;
  for (int i = 0; i < count; ++i) threads.emplace_back(work);

  int reported = 0;
  {
    std::unique_lock lock(mutex);
    while (working > 0 || !done.empty()) {
      finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return !done.empty() || working == 0; });
      while (!done.empty()) {
        const size_t index = done.front();
        done.pop_front();
        ++reported;
        lock.unlock();
        if (callbacks.rowDone) callbacks.rowDone(index, reported, total);
        lock.lock();
      }
      if (callbacks.stopAsked) {
        lock.unlock();
        if (callbacks.stopAsked()) RequestStop();
        lock.lock();
      }
    }
  }
  for (std::thread& t : threads) t.join();
  if (!stopRequested()) return true;
  // Rows of files never reached, or cut off, are dropped.
  std::erase_if(rows, [](const SummaryRow& r) { return r.path.empty(); });
  return false;
}

}  // namespace mv
