#include "platform/messages.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace mv {
namespace {

std::mutex sinkMutex;
MessageSink currentSink;
MessageSink currentWarningSink;

}  // namespace

MessageSink setMessageSink(MessageSink sink) {
  std::lock_guard lock(sinkMutex);
  return std::exchange(currentSink, std::move(sink));
}

void showMessage(const std::string& text) {
  MessageSink sink;
  {
    std::lock_guard lock(sinkMutex);
    sink = currentSink;
  }
  if (sink) {
    sink(text);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

MessageSink setWarningSink(MessageSink sink) {
  std::lock_guard lock(sinkMutex);
  return std::exchange(currentWarningSink, std::move(sink));
}

void showWarning(const std::string& text) {
  MessageSink sink;
  {
    std::lock_guard lock(sinkMutex);
    sink = currentWarningSink;
  }
  if (sink) {
    sink(text);
  } else {
    showMessage(text);
  }
}

std::string fillText(const char* text, const std::string& arg) {
  std::string out = text;
  if (const size_t at = out.find("%1"); at != std::string::npos) out.replace(at, 2, arg);
  return out;
}

}  // namespace mv
