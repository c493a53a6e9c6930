#include "platform/shell.h"

#include <mutex>
#include <utility>

namespace mv {
namespace {

std::mutex shellMutex;
ShellSink currentShell;

}  // namespace

ShellSink setShellSink(ShellSink sink) {
  std::lock_guard lock(shellMutex);
  return std::exchange(currentShell, std::move(sink));
}

void openWithShell(const std::string& path) {
  ShellSink sink;
  {
    std::lock_guard lock(shellMutex);
    sink = currentShell;
  }
  if (sink) sink(path);
}

}  // namespace mv
