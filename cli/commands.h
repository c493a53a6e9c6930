#pragma once
#include <CLI/CLI.hpp>

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

// Installs a message sink that prints each message to stderr and remembers the last one.
void captureMessages();
const std::string& lastMessage();

}  // namespace mvcli
