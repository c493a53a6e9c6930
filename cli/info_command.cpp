// info: the file information text of one file, to a file or to standard output.
#include <memory>
#include <string>
#include <unistd.h>

#include "analysis/file_slot.h"
#include "commands.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "report/info_text.h"
#include "report/text_report.h"

namespace mvcli {

void addInfoCommand(CLI::App& app, int* result) {
  struct Options {
    std::string file, output;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = app.add_subcommand("info", "Describe the container's headers and streams (GBK, CR LF)");
  cmd->add_option("FILE", o->file, "Media file (AVI, RealMedia, MP4, Matroska, FLV, MPEG-TS, MPEG-PS, ASF)")->required();
  cmd->add_option("-o,--output", o->output, "File to write instead of standard output");
  cmd->callback([o, result] {
    mv::FileSlot slot;
    if (!loadFile(slot, o->file)) {
      *result = kExitFailed;
      return;
    }
    mv::TextFile out;
    if (o->output.empty()) {
      out.attach(STDOUT_FILENO);
    } else if (!out.open(mv::ensureExtension(o->output, ".txt"), mv::mediaIdentities({&slot}))) {
      mv::showMessage(mv::msg::kWriteFailed);
      *result = kExitFailed;
      return;
    }
    mv::writeInformation(out, slot);
    if (!out.close()) {
      mv::showMessage(mv::msg::kWriteFailed);
      *result = kExitFailed;
      return;
    }
    *result = kExitOk;
  });
}

}  // namespace mvcli
