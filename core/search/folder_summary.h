#pragma once
// The summary of a folder tree: one row a file (analysis/file_summary.h), the files read two at a
// time. The calling thread walks the tree, then hands out the files and reports each finished row.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "analysis/file_summary.h"
#include "platform/file_identity.h"

namespace mv {

class FolderSummary {
 public:
  struct Callbacks {
    // Asked on the calling thread while the run waits; true asks the run to stop.
    std::function<bool()> stopAsked;
    // The walk is over: the table will have `total` rows.
    std::function<void(int total)> found;
    // rows[index] is done: `done` rows of `total`.
    std::function<void(size_t index, int done, int total)> rowDone;
    // A folder of the tree could not be read: its files are missing from the table.
    std::function<void(const std::string& folder)> unreadableFolder;
    // A link to a folder outside the summed-up one was not followed.
    std::function<void(const std::string& link)> linkSkipped;
  };

  // Readers at work at once: the machine's cores, each file read whole by one of them.
  static constexpr int kThreads = 2;

  // Walks `folder` (the batch check's files: of every container with `allFormats`) and sums up
  // every file; the rows are in the order of their paths. False when a stop cut it short: the
  // rows of files not reached are left out.
  bool Run(const std::string& folder, bool allFormats, const SummaryOptions& options,
           const Callbacks& callbacks = {});
  // From any thread, also before Run: the files being read stop where they are, no new one
  // begins. A FolderSummary makes one run.
  void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
  bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }

  // After Run: one row a file, filled as the files are done (rows of files cut off stay empty
  // until then and are dropped at the end).
  std::vector<SummaryRow> rows;
  std::vector<std::string> unreadableFolders;
  // Every file of the tree, for outputs that must not replace one of them.
  std::vector<FileIdentity> treeFiles;

 private:
  std::atomic<bool> stop_{false};
};

}  // namespace mv
