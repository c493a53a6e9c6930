// morvatelline-cli: the analysis core without a window, for scripts and checks.
#include <new>
#include <stdexcept>
#include <string>

#include "commands.h"
#include "platform/output_file.h"
#include "platform/version.h"

namespace {

// Memory ran out after the file loaded (a list or an output grew too large): told as a load that
// ran out of memory is.
int ranOutOfMemory(const CLI::App& app) {
  std::string what = mvcli::currentFile();
  if (what.empty())
    what = app.get_subcommands().empty() ? app.get_name() : app.get_subcommands().front()->get_name();
  mvcli::printDiagnostic(what,
                         mvcli::loadFailureCause(what, mv::LoadResult::fail(mv::LoadFailure::OutOfMemory)));
  return mvcli::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Morvatelline: bitrate over play time of video files, read without decoding.\nContainers: " +
               mvcli::containersHelp()};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("morvatelline-cli ") + mv::kVersion);
  app.footer(
      "Exit codes: 0 done; 1 a file did not load or an output was not written; 2 usage error;\n"
      "3 check or summary found files with seconds without video data, or buffer found frames the buffer "
      "does not take.\n"
      "-o FILE writes exactly FILE, - for standard output. Texts are GBK with CR LF line ends.");
  int result = mvcli::kExitOk;
  mv::removeTemporaryFilesOnSignals();
  mvcli::captureMessages();
  mvcli::addSeriesCommand(app, &result);
  mvcli::addExportCommands(app, &result);
  mvcli::addInfoCommand(app, &result);
  mvcli::addCheckCommand(app, &result);
  mvcli::addGapsCommand(app, &result);
  mvcli::addFramesCommand(app, &result);
  mvcli::addBufferCommand(app, &result);
  mvcli::addTracksCommand(app, &result);
  mvcli::addSummaryCommand(app, &result);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);                 // --help, --version
  } catch (const CLI::ParseError& e) {  // also a command's own usage error (RuntimeError), told already
    app.exit(e);
    return mvcli::kExitUsage;
  } catch (const std::bad_alloc&) {
    return ranOutOfMemory(app);
  } catch (const std::length_error&) {  // a container asked for more than it can ever hold
    return ranOutOfMemory(app);
  }
  return result;
}
