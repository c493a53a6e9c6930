// Loading a file for a command: the marked-seconds counts passed down, and a one-line progress
// on a terminal when a load takes more than a second.
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "commands.h"

namespace mvcli {
namespace {

class TerminalProgress : public mv::LoadControl {
 public:
  explicit TerminalProgress(const std::string& path) : path_(path), start_(Clock::now()) {}
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

}  // namespace

bool loadFile(mv::FileSlot& slot, const std::string& path, int top, int bottom) {
  slot.setMarkedSeconds(top, bottom);
  if (!::isatty(STDERR_FILENO)) return slot.open(path) != 0;
  TerminalProgress progress(path);
  return slot.open(path, &progress) != 0;
}

}  // namespace mvcli
