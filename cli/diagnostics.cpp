// What the CLI tells on stderr: the core's messages, and for a file that did not load or an
// output that was not written one line that names it and says why, as Linux tools do.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "analysis/failure_causes.h"
#include "commands.h"
#include "platform/messages.h"
#include "platform/printable_name.h"

namespace mvcli {
namespace {

const char* tr(const char* chinese, const char* english) { return englishMessages() ? english : chinese; }

}  // namespace

void captureMessages() {
  mv::setMessageSink([](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
}

bool englishMessages() {
  static const bool english = [] {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = std::getenv(name);
      std::string_view v = value ? value : "";
      // LANGUAGE is a list of preferences; the first one decides.
      if (std::string_view(name) == "LANGUAGE") v = v.substr(0, v.find(':'));
      if (!v.empty()) return v.starts_with("en");
    }
    return false;
  }();
  return english;
}

void printDiagnostic(const std::string& what, const std::string& cause) {
  std::fflush(stdout);
  std::fprintf(stderr, "morvatelline-cli: %s: %s\n", mv::printableName(what).c_str(), cause.c_str());
}

std::string loadFailureCause(const std::string& path, const mv::LoadResult& result) {
  return mv::loadFailureCause(path, result, englishMessages());
}

std::string writeFailureCause(mv::OutputError error, int err) {
  return mv::writeFailureCause(error, err, englishMessages());
}

std::string outputName(const std::string& target) {
  return target == "-" ? tr("标准输出", "standard output") : target;
}

}  // namespace mvcli
