#include "search/batch_check.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "analysis/containers.h"
#include "analysis/failure_causes.h"
#include "analysis/file_slot.h"
#include "analysis/file_summary.h"
#include "media/per_second_series.h"
#include "media/time_format.h"
#include "platform/messages.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/printable_name.h"
#include "platform/shell.h"
#include "platform/text_file.h"

namespace mv {

std::string batchMask(bool allFormats) {
  std::string mask;
  for (const Container& c : containers()) {
    if (!c.marksZeroSeconds && !allFormats) continue;
    if (!mask.empty()) mask += ';';
    mask += searchMask(c);
  }
  return mask;
}

bool batchChecksName(const std::string& path, bool allFormats) {
  const Container* c = containerOfPath(path);
  return c && (allFormats || c->marksZeroSeconds);
}

std::string defaultBatchResultFile() {
  const std::string beside = replaceFileExtension(executablePath(), "_chk.txt");
  // An installed program's folder is not the user's: the result goes to the user's data folder.
  if ((installedShareFolder().empty() && folderTakesFiles(folderOfPath(beside))) || userDataFolder().empty())
    return beside;
  const std::string folder = userDataFolder();
  makeFolders(folder);
  return folder + beside.substr(beside.find_last_of('/'));
}

std::string zeroRunBlock(const std::string& path, const PerSecondSeries& video) {
  const std::vector<ZeroRun> runs = zeroRuns(video);
  if (runs.empty()) return {};
  std::string out = printableName(path) + '\n';
  for (const ZeroRun& run : runs) out += zeroRunText(run) + '\n';
  out += '\n';
  return out;
}

std::string folderUnreadableCause(bool english) {
  return english ? "folder could not be read; its files were not checked" : msg::kBatchFolderUnreadable;
}

std::string folderLinkSkippedCause(bool english) {
  return english ? "link to a folder outside the chosen one; not followed"
                 : "指向所选文件夹之外的文件夹链接，未进入";
}

std::string problemBlock(const std::string& path, const PerSecondSeries* video, const BufferCheck* buffer,
                         std::optional<StreamModelGap> unchecked) {
  std::string out = video ? zeroRunBlock(path, *video) : std::string();
  std::string more = buffer && !buffer->ok() ? bufferRunLines(*buffer) : std::string();
  if (unchecked) more += "缓冲区未检查（stream）：" + std::string(streamModelWhy(*unchecked)) + '\n';
  if (more.empty()) return out;
  if (out.empty()) return printableName(path) + '\n' + more + '\n';
  out.pop_back();  // the empty line that ends the block
  return out + more + '\n';
}

std::string unreadableFolderBlock(const std::string& folder) {
  return printableName(folder) + '\n' + msg::kBatchFolderUnreadable + "\n\n";
}

std::string unreadableFileBlock(const std::string& path, const LoadResult& result) {
  return printableName(path) + '\n' + msg::kBatchFileUnreadable + loadFailureCause(path, result, false) +
         "\n\n";
}

std::string folderName(const std::string& walkedFolder) {
  if (walkedFolder.size() > 1 && walkedFolder.back() == '/')
    return walkedFolder.substr(0, walkedFolder.size() - 1);
  return walkedFolder;
}

BatchOutcome BatchCheck::OnStart(const std::string& sourceFolder, const std::string& resultFile) {
  if (running_) {
    stopRequested_ = true;
    return BatchOutcome::StopRequested;
  }
  if (sourceFolder.empty()) {
    showMessage(msg::kBatchNoSourceFolder);
    return BatchOutcome::NoSourceFolder;
  }
  if (resultFile.empty()) {
    showMessage(msg::kBatchNoResultFile);
    return BatchOutcome::NoResultFile;
  }
  // The result file is begun now, so that a folder that takes no file is reported before the
  // run, and put in place once the run is over: a run cut off by a crash or a kill leaves the
  // old one as it was.
  const std::optional<FileIdentity> previous = fileIdentity(resultFile);
  OutputFile created;
  if (!created.open(resultFile)) {
    ReportResultFailure(BatchResultFailure::CreateFailed);
    return BatchOutcome::ResultCreateFailed;
  }

  // Whatever ends the run, the engine is idle again afterwards.
  struct IdleOnExit {
    BatchCheck& self;
    ~IdleOnExit() {
      self.running_ = false;
      self.stopRequested_ = false;
    }
  };
  IdleOnExit idle{*this};
  running_ = true;
  stopRequested_ = false;
  resultFile_ = resultFile;
  previousResult_ = previous;
  resultRefused_ = false;
  problemFiles_ = 0;
  uncheckedFiles_ = 0;
  checkedFiles_ = 0;
  totalFiles_ = 0;
  unreadableFiles_ = 0;
  unreadableFolders_.clear();
  blocks_.clear();
  if (callbacks_.runningChanged) callbacks_.runningChanged(true);

  {
    CountSearch count;
    totalFiles_ = count.Run(sourceFolder, batchMask(allFormats_), 1, std::string(), *this);
  }
  // A stop cut the counting pass short: a result path named like the files it looks for may be
  // one it did not reach, and is not replaced.
  if (stopRequested_ && previous && batchChecksName(resultFile, allFormats_)) resultRefused_ = true;
  if (!resultRefused_ && !PollStop() && totalFiles_ != 0) {
    CheckSearch check;
    check.Run(sourceFolder, batchMask(allFormats_), 1, std::string(), *this);
  }
  bool resultReady = false;
  if (resultRefused_) {
    created.discard();
  } else {
    // What the run could not look at comes first: the findings below are not the whole tree's.
    std::string text;
    for (const std::string& folder : unreadableFolders_) text += unreadableFolderBlock(folder);
    std::sort(blocks_.begin(), blocks_.end());
    for (const auto& [path, block] : blocks_) text += block;
    const std::string bytes = toTextFileBytes(text);
    created.append(bytes.data(), bytes.size());
    resultReady = created.close();
  }

  BatchOutcome outcome = BatchOutcome::ProblemsFound;
  if (!resultReady) {
    ReportResultFailure(resultRefused_ ? BatchResultFailure::IsAnInput : BatchResultFailure::CreateFailed);
    outcome = BatchOutcome::ResultCreateFailed;
  } else if (PollStop()) {
    showMessage(msg::kBatchStopped);
    outcome = BatchOutcome::Stopped;
  } else if (totalFiles_ == 0) {
    showMessage(allFormats_ ? msg::kBatchNoMediaFiles : msg::kBatchNoRmFiles);
    outcome = BatchOutcome::NoRmFiles;
  } else if (problemFiles_ == 0) {
    showMessage(allFormats_ ? msg::kBatchNoProblemsAnyFormat : msg::kBatchNoProblems);
    outcome = BatchOutcome::NoProblems;
  }

  running_ = false;
  stopRequested_ = false;
  if (callbacks_.runningChanged) callbacks_.runningChanged(false);
  // Files whose buffer could not be checked, and those that did not load, are named there too.
  if (resultReady && (problemFiles_ != 0 || uncheckedFiles_ != 0 || unreadableFiles_ != 0))
    openWithShell(resultFile_);
  return outcome;
}

void BatchCheck::NoteUnreadableFolder(const std::string& walkedFolder) {
  unreadableFolders_.push_back(folderName(walkedFolder));
  if (callbacks_.unreadableFolder) callbacks_.unreadableFolder(unreadableFolders_.back());
}

void BatchCheck::NoteSkippedLink(const std::string& walkedLink) {
  if (callbacks_.linkSkipped) callbacks_.linkSkipped(folderName(walkedLink));
}

bool BatchCheck::IsResultFile(const FindData& entry) const {
  return previousResult_ && entry.identity() == previousResult_;
}

void BatchCheck::RequestStop() {
  if (running_) stopRequested_ = true;
}

bool BatchCheck::PollStop() {
  if (callbacks_.pumpMessages) callbacks_.pumpMessages();
  return stopRequested_;
}

void BatchCheck::CheckFile(const std::string& path) {
  if (path.empty()) return;
  ++checkedFiles_;
  if (callbacks_.progress) callbacks_.progress(path, checkedFiles_, totalFiles_);

  std::string block;
  bool problem = false;
  // A file that did not load is named with its cause: the result must not read as if it passed.
  const auto unreadable = [&](const LoadResult& result) {
    ReportLoadFailure(path, result);
    ++unreadableFiles_;
    blocks_.emplace_back(path, unreadableFileBlock(path, result));
  };
  try {
    FileSlot slot;
    if (const LoadResult loaded = slot.open(path); !loaded.ok()) return unreadable(loaded);
    std::optional<BufferCheck> buffer;
    std::optional<StreamModelGap> unchecked;
    StreamModelGap gap{};
    if (const auto model = bufferPreset_ ? slotModel(slot, *bufferPreset_, gap) : std::nullopt) {
      buffer.emplace();
      if (const LoadResult read = checkSlotBuffer(slot, *model, *buffer); !read.ok()) return unreadable(read);
    } else if (bufferPreset_) {
      unchecked = gap;
    }
    // A file without video has no seconds without it.
    const PerSecondSeries* video = hasVideoTrack(slot.analysis) ? slot.analysis.videoSeries.get() : nullptr;
    problem = (video && !zeroRunBlock(path, *video).empty()) || (buffer && !buffer->ok());
    block = problemBlock(path, video, buffer ? &*buffer : nullptr, unchecked);
  } catch (const std::bad_alloc&) {
    // One file too large for memory must not end the run over all the others.
    return unreadable(LoadResult::fail(LoadFailure::OutOfMemory));
  }
  if (block.empty()) return;
  ++(problem ? problemFiles_ : uncheckedFiles_);
  blocks_.emplace_back(path, std::move(block));
}

void BatchCheck::ReportLoadFailure(const std::string& path, const LoadResult& result) {
  if (callbacks_.loadFailed) {
    callbacks_.loadFailed(path, result);
  } else {
    showLoadFailure(path, result);
  }
}

void BatchCheck::ReportResultFailure(BatchResultFailure failure) {
  if (callbacks_.resultFailed) {
    callbacks_.resultFailed(failure);
  } else {
    showMessage(failure == BatchResultFailure::CreateFailed ? msg::kBatchResultCreateFailed
                                                            : msg::kWriteFailed);
  }
}

int CountSearch::Run(const std::string& startFolder, const std::string& mask, int recursiveWalk,
                     const std::string& excluded, BatchCheck& owner) {
  owner_ = &owner;
  count_ = 0;
  SetSearch(mask, recursiveWalk, excluded);
  Search(startFolder);
  return count_;
}

void CountSearch::OnFileFound(const std::string&, const FindData& entry) {
  if (IsStopRequested()) stopFlag = 1;
  if (owner_ && owner_->IsResultFile(entry)) {
    owner_->RefuseResultFile();
    stopFlag = 1;
    return;
  }
  ++count_;
}

void CountSearch::OnFolderUnreadable(const std::string& path) {
  if (owner_) owner_->NoteUnreadableFolder(path);
}

void CountSearch::OnFolderLinkSkipped(const std::string& path) {
  if (owner_) owner_->NoteSkippedLink(path);
}

int CountSearch::IsStopRequested() { return owner_ && owner_->PollStop() ? 1 : 0; }

void CheckSearch::Run(const std::string& startFolder, const std::string& mask, int recursiveWalk,
                      const std::string& excluded, BatchCheck& owner) {
  owner_ = &owner;
  SetSearch(mask, recursiveWalk, excluded);
  Search(startFolder);
}

void CheckSearch::OnFileFound(const std::string& path, const FindData&) {
  if (!owner_) return;
  if (IsStopRequested()) {
    stopFlag = 1;
    return;
  }
  owner_->CheckFile(path);
  if (IsStopRequested()) stopFlag = 1;
}

int CheckSearch::IsStopRequested() { return owner_ && owner_->PollStop() ? 1 : 0; }

}  // namespace mv
