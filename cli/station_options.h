#pragma once
// The station's command line: station burn, verify and id with their options, the same on
// every system, so that a script's mistakes are found the same way everywhere.

#include <cstddef>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "boards/board_job.h"
#include "cli/cli_context.h"
#include "cli/commands.h"

namespace brimlo::cli {

struct StationArgs {
    std::string image;
    std::vector<std::string> areas;
    std::string log;
    std::string countText;  // --count as typed
    std::size_t count = 0;  // read from countText when given; 0: no --count
};

using StationJobRun = int (*)(CliContext& context, boards::JobKind kind, const StationArgs& args);

// Adds `station` with burn, verify and id; the one chosen leaves `runJob` with its arguments
// in `run`. Returns the station command.
CLI::App* AddStationOptions(CLI::App& app, CliContext& context, CommandRun& run,
                            StationJobRun runJob);

}  // namespace brimlo::cli
