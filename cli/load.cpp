// Loading a file for a command: the marked-seconds counts passed down, a one-line progress on a
// terminal when a load takes more than a second, and the cause when the file does not load.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "analysis/picture_types.h"
#include "commands.h"
#include "platform/printable_name.h"

namespace mvcli {
namespace {

class TerminalProgress : public mv::LoadControl {
 public:
  explicit TerminalProgress(const std::string& path) : path_(mv::printableName(path)), start_(Clock::now()) {}
  ~TerminalProgress() override {
    if (shown_) std::fputs("\r\033[K", stderr);
  }
  bool Continue(uint64_t done, uint64_t total) override {
    if (!shown_ && Clock::now() - start_ < std::chrono::seconds(1)) return true;
    shown_ = true;
    const unsigned percent = total ? unsigned(done * 100 / total) : 0;
    std::fprintf(stderr, "\r\033[K%3u%% %s", percent, path_.c_str());
    std::fflush(stderr);
    return true;
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::string path_;
  Clock::time_point start_;
  bool shown_ = false;
};

std::string current;

}  // namespace

const std::string& currentFile() { return current; }

namespace {

// Runs a read of `path` with the terminal's progress line when there is a terminal.
template <typename Read>
mv::LoadResult withProgress(const std::string& path, Read read) {
  if (!::isatty(STDERR_FILENO)) return read(nullptr);
  TerminalProgress progress(path);
  return read(&progress);
}

}  // namespace

mv::LoadResult loadFile(mv::FileSlot& slot, const std::string& path, int top, int bottom,
                        const TrackChoice& tracks) {
  current = path;
  slot.setMarkedSeconds(top, bottom);
  const mv::LoadResult loaded = withProgress(path, [&](mv::LoadControl* c) { return slot.open(path, c); });
  if (!loaded.ok()) {
    printDiagnostic(path, loadFailureCause(path, loaded));
    return loaded;
  }
  const auto& notes = slot.analysis.notes;
  if (std::find(notes.begin(), notes.end(), mv::kNoteCutShort) != notes.end())
    printDiagnostic(path, englishMessages() ? "note: the file ends early; what it holds was read"
                                            : "提示：文件不完整，已读取其中现有的部分");
  if (!chooseTracks(slot, tracks)) return mv::LoadResult::fail(mv::LoadFailure::OutOfMemory);
  return loaded;
}

int loadFailed(const std::string& path, const mv::LoadResult& why, bool json) {
  if (json) writeBytesOutput("-", {}, loadFailureJson(path, why) + "\n");
  return kExitFailed;
}

mv::LoadResult readFrameTypes(const mv::FileSlot& slot, std::vector<mv::VideoFrame>& frames) {
  const std::string& path = slot.analysis.path;
  const mv::LoadResult typed =
      withProgress(path, [&](mv::LoadControl* c) { return mv::readPictureTypes(slot, frames, c); });
  if (!typed.ok()) printDiagnostic(path, loadFailureCause(path, typed));
  return typed;
}

mv::LoadResult readBufferCheck(const mv::FileSlot& slot, const mv::BufferModel& model,
                               mv::BufferCheck& check) {
  const std::string& path = slot.analysis.path;
  const mv::LoadResult read =
      withProgress(path, [&](mv::LoadControl* c) { return mv::checkSlotBuffer(slot, model, check, c); });
  if (!read.ok()) printDiagnostic(path, loadFailureCause(path, read));
  return read;
}

}  // namespace mvcli
