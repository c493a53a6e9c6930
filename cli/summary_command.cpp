// summary: one row a file of a folder tree (format, codecs, rates, peaks, gaps, GOPs, buffer),
// as CSV or JSON.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "analysis/containers.h"
#include "analysis/file_summary.h"
#include "commands.h"
#include "platform/messages.h"
#include "search/batch_check.h"
#include "search/folder_summary.h"

namespace mvcli {
namespace {

std::string summaryJson(const std::vector<mv::SummaryRow>& rows) {
  const std::vector<std::string>& names = mv::summaryColumns();
  const std::vector<mv::SummaryCellKind> kinds = mv::summaryColumnKinds();
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const mv::SummaryRow& row : rows) {
    const std::vector<std::string> cells = mv::summaryCells(row, englishMessages());
    nlohmann::ordered_json o;
    for (size_t i = 0; i < cells.size(); ++i) {
      // The readers' notes, each a word of its own.
      if (names[i] == "notes") {
        if (row.ok()) o[names[i]] = row.notes;
        continue;
      }
      // A row without a value for the column (a file that did not load, no buffer check) says so.
      if (cells[i].empty() && i != 0) {
        if (row.ok() || i < 3) o[names[i]] = nullptr;
        continue;
      }
      if (kinds[i] == mv::SummaryCellKind::Text)
        o[names[i]] = cells[i];
      else if (kinds[i] == mv::SummaryCellKind::Flag)
        o[names[i]] = cells[i] == "true";
      else
        o[names[i]] = nlohmann::ordered_json::parse(cells[i]);
    }
    out.push_back(std::move(o));
  }
  return dumpJson(out) + '\n';
}

int exitCode(const mv::FolderSummary& run) {
  if (!run.unreadableFolders.empty()) return kExitFailed;
  bool anyRead = false, anyProblem = false;
  for (const mv::SummaryRow& r : run.rows) {
    anyRead |= r.ok();
    anyProblem |= r.problem();
  }
  if (!run.rows.empty() && !anyRead) return kExitFailed;
  return anyProblem ? kExitProblemsFound : kExitOk;
}

}  // namespace

void addSummaryCommand(CLI::App& app, int* result) {
  struct Options {
    std::string folder, output = "-", buffer;
    bool allFormats = false, csv = false, json = false;
    unsigned window = mv::kDefaultPeakWindow;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = app.add_subcommand(
      "summary",
      "One row a file below a folder: format, codecs, size, rates, peak, gaps, GOPs, buffer check");
  cmd->add_option("FOLDER", o->folder, "Folder to search, subfolders included")
      ->required()
      ->check(CLI::ExistingDirectory);
  cmd->add_flag("--all-formats", o->allFormats,
                "Every format the program reads, not only " + mv::containerNames(", ", true));
  cmd->add_option("--window", o->window, "Seconds of the peak window (default 5)")
      ->check(CLI::Range(int(mv::kMinPeakWindow), int(mv::kMaxPeakWindow)));
  cmd->add_option("--buffer", o->buffer,
                  "Also check each file's decoder buffer against a preset (see buffer)")
      ->check(CLI::IsMember({"dvd", "vcd", "bluray", "stream"}));
  auto* csv = cmd->add_flag("--csv", o->csv, "Comma-separated values with a header row (the default)");
  cmd->add_flag("--json", o->json, "One JSON array of objects, one a file")->excludes(csv);
  addOutputOption(cmd, o->output, "File to write, exactly as named; - (the default) for standard output");
  cmd->callback([o, result] {
    mv::SummaryOptions options;
    options.peakWindow = o->window;
    if (!o->buffer.empty()) options.buffer = mv::bufferPresetOfName(o->buffer);
    mv::FolderSummary run;
    installInterruptHandler();
    const bool complete = run.Run(o->folder, o->allFormats, options,
                                  {.stopAsked = interruptRequested,
                                   .found = nullptr,
                                   .rowDone =
                                       [&run](size_t index, int done, int total) {
                                         const mv::SummaryRow& row = run.rows[index];
                                         printProgress(row.path, done, total);
                                         if (!row.ok())
                                           printDiagnostic(row.path, loadFailureCause(row.path, row.load));
                                       },
                                   .unreadableFolder = printUnreadableFolder,
                                   .linkSkipped = printSkippedLink});
    std::signal(SIGINT, SIG_DFL);
    // A table that lacks the files a stop cut off would read as the whole folder's.
    if (!complete) {
      mv::showMessage(mv::msg::kBatchStopped);
      *result = kExitFailed;
      return;
    }
    if (run.rows.empty())
      mv::showMessage(o->allFormats ? mv::msg::kBatchNoMediaFiles : mv::msg::kBatchNoRmFiles);
    // The folders it could not read are rows of their own, among the files in the order of paths.
    std::vector<mv::SummaryRow> rows = run.rows;
    for (const std::string& folder : run.unreadableFolders)
      rows.push_back(mv::unreadableFolderRow(folder, mv::folderUnreadableCause(englishMessages())));
    std::stable_sort(rows.begin(), rows.end(),
                     [](const mv::SummaryRow& a, const mv::SummaryRow& b) { return a.path < b.path; });
    // A terminal is not sent the control bytes of names; a file or a pipe gets them as they are.
    const bool terminal = o->output == "-" && ::isatty(STDOUT_FILENO);
    const std::string bytes = o->json ? summaryJson(rows) : mv::summaryCsv(rows, englishMessages(), terminal);
    *result = writeBytesOutput(o->output, run.treeFiles, bytes) ? exitCode(run) : kExitFailed;
  });
}

}  // namespace mvcli
