// report and xls: the two exports of the main window, for one or two files.
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "analysis/file_slot.h"
#include "commands.h"
#include "platform/messages.h"
#include "report/spreadsheet.h"
#include "report/text_report.h"

namespace mvcli {
namespace {

struct ExportOptions {
  std::vector<std::string> files;
  std::string output;
  bool noFileInfo = false, noHeader = false, noStatistics = false;
  bool noVideo = false, noAudio = false, noTotal = false;
  int top = 5, bottom = 5;
  TrackChoice tracks;  // of a single file

  mv::ReportOptions report() const {
    mv::ReportOptions o;
    o.fileInfo = !noFileInfo;
    o.header = !noHeader;
    o.statistics = !noStatistics;
    o.video = !noVideo;
    o.audio = !noAudio;
    o.total = !noTotal;
    return o;
  }
};

void addCommonOptions(CLI::App* cmd, ExportOptions& o) {
  cmd->add_option("FILE", o.files, "One or two media files")->required()->expected(1, 2);
  addOutputOption(cmd, o.output, "File to write, exactly as named; - for standard output")->required();
  cmd->add_flag("--no-video", o.noVideo, "Leave out the video columns");
  cmd->add_flag("--no-audio", o.noAudio, "Leave out the audio columns");
  cmd->add_flag("--no-total", o.noTotal, "Leave out the total columns");
  addTrackOptions(cmd, o.tracks);
}

// Loads the files into the two slots as the main window would; false when one does not load.
bool loadSlots(const ExportOptions& o, mv::FileSlot (&slots)[2]) {
  // Two files have two lists of tracks: one choice cannot name tracks of both.
  if (o.files.size() > 1 && o.tracks.any())
    throw CLI::ValidationError("--video-track, --audio-track and --program take one FILE");
  for (size_t i = 0; i < o.files.size(); ++i)
    if (!loadFile(slots[i], o.files[i], o.top, o.bottom, o.tracks).ok()) return false;
  return true;
}

// Why the sheet's writer could not start `target`: the same checks again, with their cause.
void tellSheetNotStarted(const std::string& target, std::span<const mv::FileIdentity> keep) {
  mv::OutputFile probe;
  const bool started = probe.open(target, keep);
  printDiagnostic(target, started ? writeFailureCause(mv::OutputError::WriteFailed, 0)
                                  : writeFailureCause(probe.error(), probe.systemError()));
}

bool writeSheetFile(mv::XlsSheet& sheet, const std::string& target, std::span<const mv::FileIdentity> keep) {
  mv::XlsStream stream;
  if (!stream.open(target, keep)) {
    tellSheetNotStarted(target, keep);
    return false;
  }
  if (!sheet.WriteTo(stream)) {
    // As with text files, errno still holds the failed call's error.
    printDiagnostic(target, writeFailureCause(mv::OutputError::WriteFailed, errno));
    return false;
  }
  return true;
}

// The sheet's writer only makes files: for standard output the sheet is written into a private
// temporary folder and copied from there.
bool writeSheetToStandardOutput(mv::XlsSheet& sheet) {
  const char* tmp = ::getenv("TMPDIR");
  std::string folder = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/morvatelline-XXXXXX";
  if (!::mkdtemp(folder.data())) {
    printDiagnostic(folder, writeFailureCause(mv::OutputError::CannotCreate, errno));
    return false;
  }
  const std::string file = folder + "/sheet.xls";
  std::string bytes;
  bool written = writeSheetFile(sheet, file, {});
  if (written) {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    written = !in.bad();
    if (!written) printDiagnostic(file, writeFailureCause(mv::OutputError::WriteFailed, EIO));
  }
  ::unlink(file.c_str());
  ::rmdir(folder.c_str());
  return written && writeBytesOutput("-", {}, bytes);
}

bool writeSheet(const mv::SpreadsheetExport& x, const std::string& target,
                std::span<const mv::FileIdentity> keep) {
  bool truncated = false;
  mv::XlsSheet sheet = x.build(&truncated);
  if (target == "-" ? !writeSheetToStandardOutput(sheet) : !writeSheetFile(sheet, target, keep)) return false;
  if (truncated) mv::showMessage(mv::msg::kSheetTruncated);
  if (target != "-") std::cout << target << '\n' << std::flush;
  return true;
}

}  // namespace

void addExportCommands(CLI::App& app, int* result) {
  auto reportOpts = std::make_shared<ExportOptions>();
  auto* report = app.add_subcommand("report", "Write the tab-separated text report (GBK, CR LF)");
  addCommonOptions(report, *reportOpts);
  report->add_flag("--no-file-info", reportOpts->noFileInfo,
                   "Leave out the file summaries and distributions");
  report->add_flag("--no-header", reportOpts->noHeader, "Leave out the heading line");
  report->add_flag("--no-statistics", reportOpts->noStatistics, "Leave out the five statistic rows");
  report->add_option("--top", reportOpts->top, "How many highest seconds are marked")
      ->check(CLI::Range(1, 99));
  report->add_option("--bottom", reportOpts->bottom, "How many lowest seconds are marked")
      ->check(CLI::Range(1, 99));
  report->callback([reportOpts, result] {
    mv::FileSlot slots[2];
    if (!loadSlots(*reportOpts, slots)) {
      *result = kExitFailed;
      return;
    }
    const mv::TextReport r(slots[0], slots[1], reportOpts->report());
    const bool written = writeTextOutput(reportOpts->output, mv::mediaIdentities({&slots[0], &slots[1]}),
                                         [&r](mv::TextFile& out) { r.writeTo(out); });
    *result = written ? kExitOk : kExitFailed;
  });

  auto xlsOpts = std::make_shared<ExportOptions>();
  auto* xls = app.add_subcommand("xls", "Write the per-second rates as a BIFF2 spreadsheet");
  addCommonOptions(xls, *xlsOpts);
  xls->callback([xlsOpts, result] {
    mv::FileSlot slots[2];
    if (!loadSlots(*xlsOpts, slots)) {
      *result = kExitFailed;
      return;
    }
    const mv::SpreadsheetExport x(slots[0], slots[1], xlsOpts->report());
    *result =
        writeSheet(x, xlsOpts->output, mv::mediaIdentities({&slots[0], &slots[1]})) ? kExitOk : kExitFailed;
  });
}

}  // namespace mvcli
