#pragma once
// Each group of commands adds its subcommands to the application. A chosen command leaves the
// work to do in `run`, which main calls after the whole command line was parsed.

#include <functional>

#include <CLI/CLI.hpp>

#include "cli/cli_context.h"

namespace brimlo::cli {

using CommandRun = std::function<int()>;

void AddDeviceCommands(CLI::App& app, CliContext& context, CommandRun& run);
void AddPeripheralCommands(CLI::App& app, CliContext& context, CommandRun& run);
void AddFlashCommands(CLI::App& app, CliContext& context, CommandRun& run);
void AddStationCommands(CLI::App& app, CliContext& context, CommandRun& run);

}  // namespace brimlo::cli
