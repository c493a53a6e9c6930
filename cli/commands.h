#pragma once
#include <CLI/CLI.hpp>
#include <string>

#include "analysis/file_slot.h"

namespace mvcli {

// Exit codes of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Each command registers its subcommand and returns the exit code through `*result` when run.
void addSeriesCommand(CLI::App& app, int* result);
void addExportCommands(CLI::App& app, int* result);
void addInfoCommand(CLI::App& app, int* result);
void addCheckCommand(CLI::App& app, int* result);

// Opens `path` into `slot` with the given marked-seconds counts; on a terminal a load that takes
// more than a second shows its progress on stderr. False after the user has been told.
bool loadFile(mv::FileSlot& slot, const std::string& path, int top = mv::kDefaultMarkedSeconds,
              int bottom = mv::kDefaultMarkedSeconds);

// Installs a message sink that prints each message to stderr and remembers the last one.
void captureMessages();
const std::string& lastMessage();

}  // namespace mvcli
