#pragma once
// `brimlo-hid doctor`: whether this machine is set up to use the device without root.

#include <CLI/CLI.hpp>

#include "cli/cli_context.h"
#include "cli/commands.h"

namespace brimlo::cli {

void AddDoctorCommand(CLI::App& app, CliContext& context, CommandRun& run);

}  // namespace brimlo::cli
