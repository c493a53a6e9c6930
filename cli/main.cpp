// morvatelline-cli: the analysis core without a window, for scripts and checks.
#include "commands.h"

int main(int argc, char** argv) {
  CLI::App app{"Morvatelline: bitrate over play time of AVI and RealMedia files"};
  app.require_subcommand(1);
  int result = mvcli::kExitOk;
  mvcli::captureMessages();
  mvcli::addSeriesCommand(app, &result);
  mvcli::addExportCommands(app, &result);
  mvcli::addInfoCommand(app, &result);
  mvcli::addCheckCommand(app, &result);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return mvcli::kExitUsage;
  }
  return result;
}
