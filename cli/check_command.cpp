// check: the batch zero-second check over a folder tree, as the batch dialog runs it.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "search/batch_check.h"

namespace mvcli {
namespace {

// Some problem files were found (and listed in the result file).
constexpr int kExitProblemsFound = 3;

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void onInterrupt(int) { interrupted.store(true, std::memory_order_relaxed); }

// Ctrl+C asks the run to stop, as the Stop button does; the file being loaded is finished
// first. A second Ctrl+C ends the program at once, should one file take long.
void installInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = onInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &sa, nullptr);
}

int exitCode(mv::BatchOutcome outcome, const mv::BatchCheck& check) {
  // A finding missing from the result file makes the result file wrong.
  if (check.unwrittenFiles() != 0) return kExitFailed;
  switch (outcome) {
    case mv::BatchOutcome::NoRmFiles:
    case mv::BatchOutcome::NoProblems:
      return kExitOk;
    case mv::BatchOutcome::ProblemsFound:
      return kExitProblemsFound;
    case mv::BatchOutcome::Stopped:
      // Stopping is the user's choice, not an error: the code tells what was found so far, and
      // the stop message on stderr tells that the tree was not checked to the end.
      return check.problemFiles() != 0 ? kExitProblemsFound : kExitOk;
    default:
      return kExitFailed;
  }
}

}  // namespace

void addCheckCommand(CLI::App& app, int* result) {
  auto* cmd = app.add_subcommand(
      "check", "List the RealMedia files below a folder that have seconds without video data");
  struct Options {
    std::string folder;
    std::string output;
  };
  auto opts = std::make_shared<Options>();
  cmd->add_option("FOLDER", opts->folder, "Folder to search, subfolders included")
      ->required()
      ->check(CLI::ExistingDirectory);
  cmd->add_option("-o,--output", opts->output,
                  "Result file (GBK, CR LF; default: the executable's name with _chk.txt, beside it)");
  cmd->callback([opts, result] {
    // The result file gets ".txt" as the dialog's file chooser gives it, which also keeps a
    // mistyped name from truncating a media file.
    const std::string resultFile =
        opts->output.empty() ? mv::defaultBatchResultFile() : mv::ensureExtension(opts->output, ".txt");
    mv::setShellSink([](const std::string& path) { std::cout << path << '\n'; });
    interrupted.store(false);
    installInterruptHandler();

    mv::BatchCheck check;
    check.SetCallbacks({
        .pumpMessages =
            [&check] {
              if (interrupted.load(std::memory_order_relaxed)) check.RequestStop();
            },
        .progress = [](const std::string& path, int checked,
                       int total) { std::fprintf(stderr, "%d/%d %s\n", checked, total, path.c_str()); },
        .runningChanged = nullptr,
    });
    const mv::BatchOutcome outcome = check.OnStart(opts->folder, resultFile);
    std::signal(SIGINT, SIG_DFL);
    *result = exitCode(outcome, check);
  });
}

}  // namespace mvcli
