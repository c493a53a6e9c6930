// check: the batch zero-second check over a folder tree, as the batch dialog runs it; or its
// findings on standard output, as text or as one JSON document.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/containers.h"
#include "analysis/file_summary.h"
#include "commands.h"
#include "media/time_format.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/printable_name.h"
#include "platform/shell.h"
#include "platform/text_file.h"
#include "search/batch_check.h"

namespace mvcli {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void onInterrupt(int sig) {
  if (!interrupted.exchange(true, std::memory_order_relaxed)) return;
  mv::removeTemporaryFiles();
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

void installInterruptHandler() {
  interrupted.store(false);
  struct sigaction sa {};
  sa.sa_handler = onInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
}

bool interruptRequested() { return interrupted.load(std::memory_order_relaxed); }

void printProgress(const std::string& path, int checked, int total) {
  std::fprintf(stderr, "%d/%d %s\n", checked, total, mv::printableName(path).c_str());
}

void printUnreadableFolder(const std::string& folder) {
  printDiagnostic(folder, mv::folderUnreadableCause(englishMessages()));
}

void printSkippedLink(const std::string& link) {
  printDiagnostic(link, mv::folderLinkSkippedCause(englishMessages()));
}

namespace {

// Stopping is the user's choice, not an error: the code tells what was found so far, and the
// stop message on stderr tells that the tree was not checked to the end. A folder that could not
// be read is no choice of the user's: a script must not take the tree for checked.
int findingsExitCode(int problemFiles, size_t unreadableFolders) {
  if (unreadableFolders != 0) return kExitFailed;
  return problemFiles != 0 ? kExitProblemsFound : kExitOk;
}

int exitCode(mv::BatchOutcome outcome, const mv::BatchCheck& check) {
  switch (outcome) {
    case mv::BatchOutcome::NoRmFiles:
    case mv::BatchOutcome::NoProblems:
    case mv::BatchOutcome::ProblemsFound:
    case mv::BatchOutcome::Stopped:
      return findingsExitCode(check.problemFiles(), check.unreadableFolders().size());
    default:
      return kExitFailed;
  }
}

// The run of the batch dialog, into a result file. The engine tells each file that does not load
// and each failure of the result file; the line printed names it with its cause.
int checkIntoResultFile(const std::string& folder, const std::string& resultFile, bool allFormats,
                        std::optional<mv::BufferPreset> buffer) {
  mv::setShellSink([](const std::string& path) {
    std::cout << mv::printableName(path) << '\n' << std::flush;
  });

  mv::BatchCheck check;
  check.SetAllFormats(allFormats);
  check.SetBufferPreset(buffer);
  check.SetCallbacks({
      .pumpMessages =
          [&check] {
            if (interrupted.load(std::memory_order_relaxed)) check.RequestStop();
          },
      .progress = printProgress,
      .runningChanged = nullptr,
      .unreadableFolder = printUnreadableFolder,
      .linkSkipped = printSkippedLink,
      .loadFailed =
          [](const std::string& path, const mv::LoadResult& result) {
            printDiagnostic(path, loadFailureCause(path, result));
          },
      .resultFailed =
          [&resultFile](mv::BatchResultFailure failure) {
            if (failure == mv::BatchResultFailure::IsAnInput) {
              // Refused after the counting pass: the result file is one of the files to check.
              printDiagnostic(resultFile, writeFailureCause(mv::OutputError::SameAsInput, 0));
            } else {
              mv::OutputFile probe;
              const bool started = probe.open(resultFile);
              printDiagnostic(resultFile, started ? writeFailureCause(mv::OutputError::WriteFailed, 0)
                                                  : writeFailureCause(probe.error(), probe.systemError()));
            }
          },
  });
  return exitCode(check.OnStart(folder, resultFile), check);
}

// Walks the files the batch check looks at, until Ctrl+C or the visitor asks to stop.
class TreeWalk : public mv::CSrchDir {
 public:
  using Visit = std::function<bool(const std::string& path, const mv::FindData& entry)>;
  TreeWalk(bool allFormats, Visit visit) : allFormats_(allFormats), visit_(std::move(visit)) {}
  // The folders that could not be read, as the result names them.
  std::vector<std::string> unreadable;
  // The links to folders outside the tree, which were not followed.
  std::vector<std::string> skippedLinks;
  // False when stopped before the end.
  bool Run(const std::string& folder) {
    SetSearch(mv::batchMask(allFormats_), 1, std::string());
    Search(folder);
    return stopFlag == 0;
  }

 protected:
  void OnFileFound(const std::string& path, const mv::FindData& entry) override {
    if (IsStopRequested() || !visit_(path, entry)) stopFlag = 1;
  }
  int IsStopRequested() override { return interrupted.load(std::memory_order_relaxed) ? 1 : 0; }
  void OnFolderUnreadable(const std::string& path) override { unreadable.push_back(mv::folderName(path)); }
  void OnFolderLinkSkipped(const std::string& path) override { skippedLinks.push_back(mv::folderName(path)); }

 private:
  bool allFormats_;
  Visit visit_;
};

struct Finding {
  std::string path;
  std::vector<mv::ZeroRun> runs;
  std::optional<mv::BufferCheck> buffer;
  std::optional<mv::StreamModelGap> unchecked;  // why its buffer was not checked
  std::optional<mv::LoadResult> failed;         // why it did not load
  std::string block;                            // of the result text
  bool problem() const { return !runs.empty() || (buffer && !buffer->ok()); }
};

std::string_view gapName(mv::StreamModelGap gap) {
  switch (gap) {
    case mv::StreamModelGap::NotMpeg:
      return "not-mpeg-1-2";
    case mv::StreamModelGap::VariableRate:
      return "variable-rate";
    case mv::StreamModelGap::NoHeader:
      break;
  }
  return "no-sequence-header";
}

nlohmann::ordered_json bufferRunsJson(const mv::BufferCheck& check) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const mv::BufferRun& r : check.runs) {
    nlohmann::ordered_json j = zeroRunsJson({r.seconds}).front();
    j["kind"] = mv::violationName(r.kind);
    out.push_back(std::move(j));
  }
  return out;
}

std::string findingsJson(int checked, const std::vector<Finding>& findings, bool stopped,
                         const std::vector<std::string>& unreadable) {
  nlohmann::ordered_json problems = nlohmann::ordered_json::array();
  nlohmann::ordered_json unchecked = nlohmann::ordered_json::array();
  nlohmann::ordered_json failed = nlohmann::ordered_json::array();
  for (const Finding& f : findings) {
    if (f.failed)
      failed.push_back({{"path", f.path},
                        {"reason", std::string(mv::reasonName(f.failed->failure))},
                        {"message", loadFailureCause(f.path, *f.failed)}});
    if (f.unchecked)
      unchecked.push_back({{"path", f.path},
                           {"reason", std::string(gapName(*f.unchecked))},
                           {"message", std::string(mv::streamModelWhy(*f.unchecked, englishMessages()))}});
    if (!f.problem()) continue;
    nlohmann::ordered_json p{{"path", f.path}, {"zeroRuns", zeroRunsJson(f.runs)}};
    if (f.buffer) {
      p["bufferPreset"] = mv::bufferPresetName(f.buffer->model.preset);
      p["bufferRuns"] = bufferRunsJson(*f.buffer);
    }
    problems.push_back(std::move(p));
  }
  nlohmann::ordered_json j;
  j["ok"] = true;
  if (stopped) j["stopped"] = true;
  j["checked"] = checked;
  j["problems"] = std::move(problems);
  if (!unreadable.empty()) j["unreadable"] = unreadable;
  if (!failed.empty()) j["unreadableFiles"] = std::move(failed);
  if (!unchecked.empty()) j["bufferUnchecked"] = std::move(unchecked);
  // Paths are bytes on Linux; a name that is not UTF-8 is printed with replacement characters.
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

// The same check without the engine's result file: the findings go to standard output as the
// result file's blocks, or to `output` as one JSON document, at the end.
int checkIntoStream(const std::string& folder, const std::string& output, bool json, bool allFormats,
                    std::optional<mv::BufferPreset> buffer) {
  int total = 0;
  // Every file of the tree is kept from the output, also those a stopped run never reached.
  std::vector<mv::FileIdentity> treeFiles;
  TreeWalk counting(allFormats, [&](const std::string&, const mv::FindData& entry) {
    if (const auto id = entry.identity()) treeFiles.push_back(*id);
    return ++total, true;
  });
  bool complete = counting.Run(folder);
  for (const std::string& unreadable : counting.unreadable) printUnreadableFolder(unreadable);
  for (const std::string& link : counting.skippedLinks) printSkippedLink(link);
  if (json && output != "-") {
    // A stopped count may not have reached the output among the files; one named like them is kept.
    const auto target = mv::fileIdentity(output);
    if (target && (std::find(treeFiles.begin(), treeFiles.end(), *target) != treeFiles.end() ||
                   (!complete && mv::batchChecksName(output, allFormats)))) {
      printDiagnostic(output, writeFailureCause(mv::OutputError::SameAsInput, 0));
      return kExitFailed;
    }
  }
  const auto writeText = [](const std::string& text) {
    if (mv::writeAll(STDOUT_FILENO, mv::toTextFileBytes(text))) return true;
    printDiagnostic(outputName("-"), writeFailureCause(mv::OutputError::WriteFailed, errno));
    return false;
  };
  if (!json)
    for (const std::string& unreadable : counting.unreadable)
      if (!writeText(mv::unreadableFolderBlock(unreadable))) return kExitFailed;

  int checked = 0;
  std::vector<Finding> findings;
  TreeWalk checking(allFormats, [&](const std::string& path, const mv::FindData& entry) {
    printProgress(path, ++checked, total);
    if (const auto id = entry.identity()) treeFiles.push_back(*id);
    Finding f{path, {}, {}, {}, {}, {}};
    // Named in the result with its cause, after the line on stderr.
    const auto unreadable = [&](const mv::LoadResult& why) {
      f.failed = why;
      f.block = mv::unreadableFileBlock(path, why);
      findings.push_back(std::move(f));
      return true;
    };
    try {
      mv::FileSlot slot;
      if (const mv::LoadResult loaded = loadFile(slot, path); !loaded.ok()) return unreadable(loaded);
      // A file without video has no seconds without it.
      const mv::PerSecondSeries* video =
          mv::hasVideoTrack(slot.analysis) ? slot.analysis.videoSeries.get() : nullptr;
      if (video) f.runs = mv::zeroRuns(*video);
      mv::StreamModelGap gap{};
      if (const auto model = buffer ? mv::slotModel(slot, *buffer, gap) : std::nullopt) {
        f.buffer.emplace();
        if (const mv::LoadResult read = readBufferCheck(slot, *model, *f.buffer); !read.ok())
          return unreadable(read);
      } else if (buffer) {
        f.unchecked = gap;
      }
      f.block = mv::problemBlock(path, video, f.buffer ? &*f.buffer : nullptr, f.unchecked);
    } catch (const std::bad_alloc&) {
      // One file too large for memory must not end the run over all the others.
      const mv::LoadResult why = mv::LoadResult::fail(mv::LoadFailure::OutOfMemory);
      printDiagnostic(path, loadFailureCause(path, why));
      return unreadable(why);
    }
    if (f.problem() || f.unchecked) findings.push_back(std::move(f));
    return true;
  });
  if (complete && total != 0) complete = checking.Run(folder);
  // In the order of the paths, as the summary lists them, whatever order the folders listed them.
  std::sort(findings.begin(), findings.end(),
            [](const Finding& a, const Finding& b) { return a.path < b.path; });
  if (!json) {
    std::string text;
    for (const Finding& f : findings) text += f.block;
    if (!writeText(text)) return kExitFailed;
  }
  const int problemCount =
      int(std::count_if(findings.begin(), findings.end(), [](const Finding& f) { return f.problem(); }));

  if (!complete) {
    mv::showMessage(mv::msg::kBatchStopped);
  } else if (total == 0) {
    mv::showMessage(allFormats ? mv::msg::kBatchNoMediaFiles : mv::msg::kBatchNoRmFiles);
  } else if (problemCount == 0) {
    mv::showMessage(allFormats ? mv::msg::kBatchNoProblemsAnyFormat : mv::msg::kBatchNoProblems);
  }
  if (json &&
      !writeBytesOutput(output, treeFiles, findingsJson(checked, findings, !complete, counting.unreadable)))
    return kExitFailed;
  return findingsExitCode(problemCount, counting.unreadable.size());
}

}  // namespace

void addCheckCommand(CLI::App& app, int* result) {
  // The check looks at the containers whose seconds without video mean damage unless told
  // otherwise; both texts name them from the table.
  const std::string checked = mv::containerNames(", ", true);
  auto* cmd = app.add_subcommand(
      "check", "List the " + checked + " files below a folder that have seconds without video data");
  struct Options {
    std::string folder;
    std::string output;
    bool allFormats = false;
    bool json = false;
    std::string buffer;
  };
  auto opts = std::make_shared<Options>();
  cmd->add_option("FOLDER", opts->folder, "Folder to search, subfolders included")
      ->required()
      ->check(CLI::ExistingDirectory);
  addOutputOption(cmd, opts->output,
                  "Result file, exactly as named (GBK, CR LF); - for standard output. Default: the "
                  "executable's name with _chk.txt, beside it or in the user's data folder, else "
                  "standard output; with --json, standard output");
  cmd->add_flag("--json", opts->json, "Write the findings as one JSON document instead of the result text");
  cmd->add_flag("--all-formats", opts->allFormats,
                "Check files of every format the program reads, not only " + checked);
  cmd->add_option("--buffer", opts->buffer,
                  "Also check each file's decoder buffer against a preset (see buffer); files with "
                  "violations are listed too")
      ->check(CLI::IsMember({"dvd", "vcd", "bluray", "stream"}));
  cmd->callback([opts, result] {
    const std::optional<mv::BufferPreset> buffer =
        opts->buffer.empty() ? std::nullopt : mv::bufferPresetOfName(opts->buffer);
    std::string output = opts->output;
    if (output.empty()) {
      output = "-";
      if (!opts->json) {
        const std::string proposed = mv::defaultBatchResultFile();
        if (mv::folderTakesFiles(mv::folderOfPath(proposed))) output = proposed;
      }
    }
    installInterruptHandler();
    *result = opts->json || output == "-"
                  ? checkIntoStream(opts->folder, output, opts->json, opts->allFormats, buffer)
                  : checkIntoResultFile(opts->folder, output, opts->allFormats, buffer);
    std::signal(SIGINT, SIG_DFL);
  });
}

nlohmann::ordered_json zeroRunsJson(const std::vector<mv::ZeroRun>& runs) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const mv::ZeroRun& r : runs)
    out.push_back({{"start", mv::formatSeconds(r.first)},
                   {"end", mv::formatSeconds(r.last)},
                   {"startSecond", r.first},
                   {"endSecond", r.last}});
  return out;
}

}  // namespace mvcli
