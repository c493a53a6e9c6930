// report and xls: the two exports of the main window, for one or two files.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/file_slot.h"
#include "commands.h"
#include "platform/paths.h"
#include "platform/shell.h"
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
  cmd->add_option("-o,--output", o.output, "File to write")->required();
  cmd->add_flag("--no-video", o.noVideo, "Leave out the video columns");
  cmd->add_flag("--no-audio", o.noAudio, "Leave out the audio columns");
  cmd->add_flag("--no-total", o.noTotal, "Leave out the total columns");
}

// Loads the files into the two slots as the main window would; false when one does not load.
bool loadSlots(const ExportOptions& o, mv::FileSlot (&slots)[2]) {
  for (size_t i = 0; i < o.files.size(); ++i)
    if (!loadFile(slots[i], o.files[i], o.top, o.bottom)) return false;
  return true;
}

// The written file is what the GUI would open with the desktop; the CLI prints its path.
void printWrittenPaths() {
  mv::setShellSink([](const std::string& path) { std::cout << path << '\n'; });
}

}  // namespace

void addExportCommands(CLI::App& app, int* result) {
  auto reportOpts = std::make_shared<ExportOptions>();
  auto* report = app.add_subcommand("report", "Write the tab-separated text report (GBK, CR LF)");
  addCommonOptions(report, *reportOpts);
  report->add_flag("--no-file-info", reportOpts->noFileInfo, "Leave out the file summaries and distributions");
  report->add_flag("--no-header", reportOpts->noHeader, "Leave out the heading line");
  report->add_flag("--no-statistics", reportOpts->noStatistics, "Leave out the five statistic rows");
  report->add_option("--top", reportOpts->top, "How many highest seconds are marked")->check(CLI::Range(1, 99));
  report->add_option("--bottom", reportOpts->bottom, "How many lowest seconds are marked")->check(CLI::Range(1, 99));
  report->callback([reportOpts, result] {
    mv::FileSlot slots[2];
    if (!loadSlots(*reportOpts, slots)) {
      *result = kExitFailed;
      return;
    }
    printWrittenPaths();
    const mv::TextReport r(slots[0], slots[1], reportOpts->report());
    *result = r.Export(mv::ensureExtension(reportOpts->output, ".txt")) ? kExitOk : kExitFailed;
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
    printWrittenPaths();
    const mv::SpreadsheetExport x(slots[0], slots[1], xlsOpts->report());
    *result = x.Export(mv::ensureExtension(xlsOpts->output, ".xls")) ? kExitOk : kExitFailed;
  });
}

}  // namespace mvcli
