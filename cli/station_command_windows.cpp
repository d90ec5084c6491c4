// station on Windows: it waits for boards through udev's hotplug events, which this build does
// not have yet, so every station command says what to use instead.

#include "cli/commands.h"
#include "cli/station_options.h"

namespace brimlo::cli {
namespace {

int RefuseStation(CliContext& context, boards::JobKind, const StationArgs&) {
    return context.Error(
        "station is Linux-only for now: plug the boards in and use flash burn --all (or flash "
        "verify --all, flash id --all)",
        kExitUsage);
}

}  // namespace

void AddStationCommands(CLI::App& app, CliContext& context, CommandRun& run) {
    // Without a job too: the answer is the same. This callback runs after a job's, whose
    // arguments are checked first.
    AddStationOptions(app, context, run, RefuseStation)->callback([&context, &run] {
        if (!run) {
            run = [&context] { return RefuseStation(context, boards::JobKind::Id, {}); };
        }
    });
}

}  // namespace brimlo::cli
