#include "cli/station_options.h"

#include <memory>

#include "cli/hex_arguments.h"

namespace brimlo::cli {
namespace {

void AddStationJob(CLI::App* station, const char* name, const char* help, boards::JobKind kind,
                   CliContext& context, CommandRun& run, StationJobRun runJob) {
    auto args = std::make_shared<StationArgs>();
    CLI::App* command = station->add_subcommand(name, help);
    if (kind != boards::JobKind::Id) {
        command->add_option("IMAGE", args->image, "Burn file")->required();
        command
            ->add_option("--area", args->areas,
                         "Other Area instead of the entire flash: firmware, private, customized "
                         "(repeat for several)")
            ->check(CLI::IsMember({"firmware", "private", "customized"}));
    }
    command->add_option("--log", args->log,
                        "Append one JSON line per board and job to FILE, flushed at once");
    const CLI::Option* countOption =
        command
            ->add_option("--count", args->countText,
                         "Stop once N boards succeeded; failed or unplugged ones do not count "
                         "(hex like every number: 10 is sixteen; default: until Ctrl+C)")
            ->type_name("N");
    command->callback([&run, &context, args, kind, runJob, countOption] {
        run = [&context, args, kind, runJob, countOption] {
            std::uint32_t count = 0;
            if (countOption->count() > 0 &&
                !HexArgs(context).Count(args->countText, 0xFFFFFFFF, count)) {
                return static_cast<int>(kExitUsage);
            }
            args->count = count;
            return runJob(context, kind, *args);
        };
    });
}

}  // namespace

CLI::App* AddStationOptions(CLI::App& app, CliContext& context, CommandRun& run,
                            StationJobRun runJob) {
    CLI::App* station = app.add_subcommand(
        "station", "Wait for boards and work on each one as it is plugged in, in parallel");
    AddStationJob(station, "burn", "Burn and verify every board plugged in", boards::JobKind::Burn,
                  context, run, runJob);
    AddStationJob(station, "verify", "Verify every board plugged in", boards::JobKind::Verify,
                  context, run, runJob);
    AddStationJob(station, "id", "Identify the flash of every board plugged in",
                  boards::JobKind::Id, context, run, runJob);
    return station;
}

}  // namespace brimlo::cli
