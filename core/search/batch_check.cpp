#include "search/batch_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "analysis/containers.h"
#include "analysis/failure_causes.h"
#include "analysis/file_slot.h"
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

std::string problemBlock(const std::string& path, const PerSecondSeries& video, const BufferCheck* buffer,
                         std::optional<StreamModelGap> unchecked) {
  std::string out = zeroRunBlock(path, video);
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
  // The empty result file is prepared now, so that a folder that takes no file is reported
  // before the run, and put in place after the counting pass has made sure that it replaces no
  // media file of the run.
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
  resultIdentity_.reset();
  resultRefused_ = false;
  problemFiles_ = 0;
  uncheckedFiles_ = 0;
  checkedFiles_ = 0;
  totalFiles_ = 0;
  unwrittenFiles_ = 0;
  unreadableFolders_.clear();
  if (callbacks_.runningChanged) callbacks_.runningChanged(true);

  bool resultReady = false;
  {
    CountSearch count;
    totalFiles_ = count.Run(sourceFolder, batchMask(allFormats_), 1, std::string(), *this);
  }
  // A stop cut the counting pass short: a result path named like the files it looks for may be
  // one it did not reach, and is not replaced.
  if (stopRequested_ && previous && batchChecksName(resultFile, allFormats_)) resultRefused_ = true;
  if (resultRefused_) {
    created.discard();
  } else {
    // What the run could not look at comes first: the findings below are not the whole tree's.
    for (const std::string& folder : unreadableFolders_) {
      const std::string bytes = toTextFileBytes(unreadableFolderBlock(folder));
      created.append(bytes.data(), bytes.size());
    }
    resultReady = created.close();
    resultIdentity_ = created.writtenIdentity();
  }
  if (resultReady && !PollStop() && totalFiles_ != 0) {
    CheckSearch check;
    check.Run(sourceFolder, batchMask(allFormats_), 1, std::string(), *this);
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
  // A result file that lacks findings is not handed out as if it were complete.
  if (unwrittenFiles_ != 0) {
    ReportResultFailure(BatchResultFailure::FindingsUnwritten);
  } else if (problemFiles_ != 0 || uncheckedFiles_ != 0) {
    // Files whose buffer could not be checked are named there too.
    openWithShell(resultFile_);
  }
  return outcome;
}

void BatchCheck::NoteUnreadableFolder(const std::string& walkedFolder) {
  unreadableFolders_.push_back(folderName(walkedFolder));
  if (callbacks_.unreadableFolder) callbacks_.unreadableFolder(unreadableFolders_.back());
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

  // The result file itself, reached through a link in the tree, is ours and not a media file.
  if (resultIdentity_ && fileIdentity(path) == resultIdentity_) return;

  std::string block;
  bool problem = false;
  try {
    FileSlot slot;
    if (const LoadResult loaded = slot.open(path); !loaded.ok()) {
      ReportLoadFailure(path, loaded);
      return;
    }
    std::optional<BufferCheck> buffer;
    std::optional<StreamModelGap> unchecked;
    StreamModelGap gap{};
    if (const auto model = bufferPreset_ ? slotModel(slot, *bufferPreset_, gap) : std::nullopt) {
      buffer.emplace();
      if (const LoadResult read = checkSlotBuffer(slot, *model, *buffer); !read.ok()) {
        ReportLoadFailure(path, read);
        return;
      }
    } else if (bufferPreset_) {
      unchecked = gap;
    }
    problem = !zeroRunBlock(path, *slot.analysis.videoSeries).empty() || (buffer && !buffer->ok());
    block = problemBlock(path, *slot.analysis.videoSeries, buffer ? &*buffer : nullptr, unchecked);
  } catch (const std::bad_alloc&) {
    // One file too large for memory must not end the run over all the others.
    ReportLoadFailure(path, LoadResult::fail(LoadFailure::OutOfMemory));
    return;
  }
  if (block.empty()) return;
  ++(problem ? problemFiles_ : uncheckedFiles_);
  // A finding that cannot be written is counted and reported once the run is over, rather than
  // halting the run with a box in the middle of it.
  if (!AppendBlock(block)) ++unwrittenFiles_;
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

bool BatchCheck::AppendBlock(const std::string& block) {
  if (resultFile_.empty()) return false;
  // Appended, never created: a result file removed during the run stays removed. Only the file
  // the run created is appended to; a link or another file put in its place is left alone.
  const int fd =
      ::open(resultFile_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat before {};
  const bool sized = fstat(fd, &before) == 0;
  if (!sized || !resultIdentity_ ||
      FileIdentity{uint64_t(before.st_dev), uint64_t(before.st_ino)} != *resultIdentity_) {
    ::close(fd);
    return false;
  }
  bool ok = writeAll(fd, toTextFileBytes(block));
  // Half a block would read as a finished one: cut the file back to where it was.
  if (!ok && sized && S_ISREG(before.st_mode)) {
    if (ftruncate(fd, before.st_size) != 0) ok = false;
  }
  if (::close(fd) != 0) ok = false;
  return ok;
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
