#pragma once
// The batch zero-second check: counts the RealMedia files below a folder, loads each into a
// temporary slot, and appends the runs of seconds without video data of every file that has any
// to a result file. The batch dialog and the CLI drive it; it reports through callbacks.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/buffer_check.h"
#include "media/load.h"
#include "media/zero_runs.h"
#include "platform/file_identity.h"
#include "search/srch_dir.h"

namespace mv {

class PerSecondSeries;

namespace msg {
inline constexpr const char* kBatchNoSourceFolder = "请先选择RM文件所在文件夹。";
inline constexpr const char* kBatchNoResultFile = "请先指定结果文件。";
inline constexpr const char* kBatchResultCreateFailed = "结果文件创建失败，请重新选择。";
inline constexpr const char* kBatchStopped = "用户终止查找过程。。";
inline constexpr const char* kBatchNoRmFiles = "抱歉，在您选择的目录里没有任何RM文件。";
inline constexpr const char* kBatchNoProblems = "恭喜，没有找到有零码率的RM文件。";
// The same two outcomes when files of every format were checked.
inline constexpr const char* kBatchNoMediaFiles = "抱歉，在您选择的目录里没有任何可检查的媒体文件。";
inline constexpr const char* kBatchNoProblemsAnyFormat = "恭喜，没有找到有零码率的文件。";
// Under the name of a folder the run could not read, in the result file and the CLI's line.
inline constexpr const char* kBatchFolderUnreadable = "文件夹无法读取，其中的文件没有检查";
// Before the cause of a file the run could not read, in the result file.
inline constexpr const char* kBatchFileUnreadable = "无法读取：";
}  // namespace msg

// Why a folder's files are missing from a run: unreadable, or a link the walk did not follow
// because it leads out of the chosen folder. In Chinese or English.
std::string folderUnreadableCause(bool english);
std::string folderLinkSkippedCause(bool english);

// The files a run looks at: those of the containers whose seconds without video mean damage.
// With `allFormats`, files of every container the program reads.
std::string batchMask(bool allFormats = false);
// Whether a file of this name is one the run looks at (by its suffix, as batchMask).
bool batchChecksName(const std::string& path, bool allFormats = false);

// How OnStart ended; the dialog moves the focus and the CLI picks its exit code from it.
enum class BatchOutcome {
  StopRequested,       // a run was in progress: it has been asked to stop
  NoSourceFolder,      // focus to the source folder's browse button
  NoResultFile,        // focus to the result file's browse button
  ResultCreateFailed,  // focus to the result file's browse button
  Stopped,             // the user stopped the run
  NoRmFiles,
  NoProblems,
  ProblemsFound,
};

// What went wrong with the result file; the window shows one fixed message for each.
enum class BatchResultFailure {
  CreateFailed,  // it could not be created or put in place
  IsAnInput,     // it is one of the media files of the run and was left alone
};

// The result file proposed when none is set: the executable's name with "_chk.txt", beside it
// when that folder takes files and the program is not installed, else in the user's data folder
// (made here when missing).
std::string defaultBatchResultFile();

// The result-file block of one file: its path and one line per run of zeroRuns, then an empty
// line ("\n" line ends, UTF-8). Empty when there is no such run. Paths in blocks are shown with
// their control bytes escaped (platform/printable_name.h).
std::string zeroRunBlock(const std::string& path, const PerSecondSeries& video);
// The same block with the runs of a buffer check after the seconds without video, each line
// naming its kind and preset; empty when neither has a run. `video` is null for a file without
// a video track, which has no seconds without video.
// `unchecked`: the file's buffer could not be checked against the "stream" model, for this
// reason (a line of its own: the file is named, not counted a problem).
std::string problemBlock(const std::string& path, const PerSecondSeries* video, const BufferCheck* buffer,
                         std::optional<StreamModelGap> unchecked = std::nullopt);
// The result-file block of a folder the run could not read: its name and why its files are missing.
std::string unreadableFolderBlock(const std::string& folder);
// The block of a file the run could not read: its name and the cause.
std::string unreadableFileBlock(const std::string& path, const LoadResult& result);
// A folder as blocks and messages name it: without the trailing '/' the walk gives it.
std::string folderName(const std::string& walkedFolder);

class BatchCheck {
 public:
  struct Callbacks {
    // Dispatches pending user input; may call RequestStop (or OnStart, which then only stops).
    std::function<void()> pumpMessages;
    // A file is about to be checked: its path, the files handed over so far including it, and
    // the total of the counting pass.
    std::function<void(const std::string& path, int checked, int total)> progress;
    // The run begins (true) or has ended (false): Start/Stop text, buttons, progress labels.
    std::function<void(bool running)> runningChanged;
    // The counting pass met a folder it could not read (named as folderName gives it).
    std::function<void(const std::string& folder)> unreadableFolder;
    // The counting pass did not follow a link to a folder outside the run's (named so too).
    std::function<void(const std::string& link)> linkSkipped;
    // A file did not load, and why; the run goes on. Without it the window's one message for
    // the file is shown.
    std::function<void(const std::string& path, const LoadResult& result)> loadFailed;
    // The result file failed the run; without it the window's message is shown.
    std::function<void(BatchResultFailure failure)> resultFailed;
  };

  BatchCheck() = default;
  explicit BatchCheck(Callbacks callbacks) : callbacks_(std::move(callbacks)) {}
  BatchCheck(const BatchCheck&) = delete;
  BatchCheck& operator=(const BatchCheck&) = delete;

  void SetCallbacks(Callbacks callbacks) { callbacks_ = std::move(callbacks); }
  // Check files of every format, not only those whose silent seconds the original checked.
  void SetAllFormats(bool on) { allFormats_ = on; }
  // Also check each file's decoder buffer against `preset` (not custom); a file with violations
  // is a problem file. A file whose stream declares no model for "stream" is checked for gaps
  // only, and named in the result with the reason.
  void SetBufferPreset(std::optional<BufferPreset> preset) { bufferPreset_ = preset; }

  // The Start button. While a run is in progress it only asks that run to stop. Otherwise it
  // checks the two names, counts and checks the files below `sourceFolder`, writes the result
  // file, shows the outcome and opens the result file when anything was found. The run keeps the
  // folder and result file it started with. The result is written whole when the run ends (also
  // when stopped: with what it found so far), in the order of the paths, after the folders it
  // could not read; until then the old result file stays as it was. A result file that is one
  // of the media files of the run is refused: the counting pass looks for it.
  BatchOutcome OnStart(const std::string& sourceFolder, const std::string& resultFile);

  // Asks a running run to end after the file being loaded.
  void RequestStop();

  // Checks one file and keeps its block for the result file when it has zero seconds, a buffer
  // that was not checked, or did not load.
  void CheckFile(const std::string& path);
  // Counting pass: a folder whose files the run cannot check. Its block opens the result file.
  void NoteUnreadableFolder(const std::string& walkedFolder);
  void NoteSkippedLink(const std::string& walkedLink);
  // Counting pass: the file `entry` is the result file the run is about to replace.
  bool IsResultFile(const FindData& entry) const;
  void RefuseResultFile() { resultRefused_ = true; }

  // Dispatches pending input, then tells whether a stop was asked for.
  bool PollStop();

  bool running() const { return running_; }
  bool stopRequested() const { return stopRequested_; }
  int totalFiles() const { return totalFiles_; }
  int checkedFiles() const { return checkedFiles_; }
  int problemFiles() const { return problemFiles_; }
  // Files named because their buffer could not be checked ("stream" without a declared model).
  int uncheckedFiles() const { return uncheckedFiles_; }
  // Files that did not load: named in the result file, not counted as problem files.
  int unreadableFiles() const { return unreadableFiles_; }
  // The folders of this run that could not be read: the run did not check everything.
  const std::vector<std::string>& unreadableFolders() const { return unreadableFolders_; }

 private:
  void ReportLoadFailure(const std::string& path, const LoadResult& result);
  void ReportResultFailure(BatchResultFailure failure);

  Callbacks callbacks_;
  bool running_ = false;
  bool allFormats_ = false;
  std::optional<BufferPreset> bufferPreset_;
  bool stopRequested_ = false;
  int totalFiles_ = 0;
  int checkedFiles_ = 0;
  int problemFiles_ = 0;
  int uncheckedFiles_ = 0;
  int unreadableFiles_ = 0;
  std::vector<std::string> unreadableFolders_;
  std::vector<std::pair<std::string, std::string>> blocks_;  // path, block: of this run's files
  std::string resultFile_;                                   // of the run in progress
  // What the result path named before the run.
  std::optional<FileIdentity> previousResult_;
  bool resultRefused_ = false;
};

// Counting pass: counts the matching files, polling the owner before counting each.
class CountSearch : public CSrchDir {
 public:
  int Run(const std::string& startFolder, const std::string& mask, int recursiveWalk,
          const std::string& excluded, BatchCheck& owner);

 protected:
  void OnFileFound(const std::string& path, const FindData& entry) override;
  void OnFolderUnreadable(const std::string& path) override;
  void OnFolderLinkSkipped(const std::string& path) override;
  int IsStopRequested() override;

 private:
  BatchCheck* owner_ = nullptr;
  int count_ = 0;
};

// Checking pass: hands every matching file to the owner, polling before and after each.
class CheckSearch : public CSrchDir {
 public:
  void Run(const std::string& startFolder, const std::string& mask, int recursiveWalk,
           const std::string& excluded, BatchCheck& owner);

 protected:
  void OnFileFound(const std::string& path, const FindData& entry) override;
  int IsStopRequested() override;

 private:
  BatchCheck* owner_ = nullptr;
};

}  // namespace mv
