// info: the file information text of one file, to a file or to standard output.
#include <memory>
#include <string>

#include "analysis/file_slot.h"
#include "commands.h"
#include "platform/text_file.h"
#include "report/info_text.h"
#include "report/text_report.h"

namespace mvcli {

void addInfoCommand(CLI::App& app, int* result) {
  struct Options {
    std::string file, output = "-";
    TrackChoice tracks;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = app.add_subcommand("info", "Describe the container's headers and streams (GBK, CR LF)");
  cmd->add_option("FILE", o->file, mediaFileHelp())->required();
  addOutputOption(cmd, o->output, "File to write, exactly as named; - (the default) for standard output");
  addTrackOptions(cmd, o->tracks);
  cmd->callback([o, result] {
    mv::FileSlot slot;
    if (!loadFile(slot, o->file, mv::kDefaultMarkedSeconds, mv::kDefaultMarkedSeconds, o->tracks).ok()) {
      *result = kExitFailed;
      return;
    }
    const bool written = writeTextOutput(o->output, mv::mediaIdentities({&slot}),
                                         [&slot](mv::TextFile& out) { mv::writeInformation(out, slot); });
    *result = written ? kExitOk : kExitFailed;
  });
}

}  // namespace mvcli
