// The commands' outputs: exactly the file named by -o, written whole, or standard output for "-".
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "commands.h"
#include "platform/printable_name.h"
#include "platform/text_file.h"

namespace mvcli {
namespace {

void printWritten(const std::string& path) {
  std::cout << mv::printableName(path) << '\n';
  std::cout.flush();
}

}  // namespace

CLI::Option* addOutputOption(CLI::App* cmd, std::string& target, const std::string& description) {
  return cmd->add_option("-o,--output", target, description)
      ->check(CLI::Validator([](const std::string& name) { return name.empty() ? "an empty file name" : ""; },
                             "FILE"));
}

bool writeTextOutput(const std::string& target, std::span<const mv::FileIdentity> keep,
                     const std::function<void(mv::TextFile&)>& write) {
  mv::TextFile out;
  if (target == "-") {
    out.attach(STDOUT_FILENO);
  } else if (!out.open(target, keep)) {
    // The text writer keeps the errno of its failed call to itself; nothing after that call
    // touches errno, so it still holds it. A target that is no file failed on no call at all.
    struct stat st {};
    const int err = out.error() != mv::OutputError::NotAFile                  ? errno
                    : ::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? EISDIR
                                                                              : 0;
    printDiagnostic(outputName(target), writeFailureCause(out.error(), err));
    return false;
  }
  write(out);
  if (!out.close()) {
    const int err = errno;
    printDiagnostic(outputName(target),
                    writeFailureCause(out.error(), out.error() == mv::OutputError::None ? 0 : err));
    return false;
  }
  if (target != "-") printWritten(target);
  return true;
}

bool writeBytesOutput(const std::string& target, std::span<const mv::FileIdentity> keep,
                      const std::string& bytes) {
  return writeStreamOutput(target, keep,
                           [&bytes](mv::OutputFile& out) { out.append(bytes.data(), bytes.size()); });
}

bool writeStreamOutput(const std::string& target, std::span<const mv::FileIdentity> keep,
                       const std::function<void(mv::OutputFile&)>& write) {
  mv::OutputFile out;
  if (target == "-") {
    out.attach(STDOUT_FILENO);
  } else if (!out.open(target, keep)) {
    printDiagnostic(outputName(target), writeFailureCause(out.error(), out.systemError()));
    return false;
  }
  write(out);
  if (!out.close()) {
    printDiagnostic(outputName(target), writeFailureCause(out.error(), out.systemError()));
    return false;
  }
  if (target != "-") printWritten(target);
  return true;
}

}  // namespace mvcli
