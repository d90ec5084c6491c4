// station burn, verify and id: work on every board as it is plugged in, until --count boards
// are done or Ctrl+C (SIGTERM, SIGHUP).

#include <cstdio>
#include <iostream>

#include "boards/sha256.h"
#include "boards/station.h"
#include "boards/station_log.h"
#include "cli/board_table.h"
#include "cli/commands.h"
#include "cli/flash_interrupt.h"
#include "cli/station_options.h"
#include "cli/station_table.h"
#include "cli/terminal.h"
#include "files/file_io.h"
#include "flash/burn_image.h"

namespace brimlo::cli {
namespace {

constexpr const char* kAreaNames[] = {"firmware", "private", "customized"};

int RunStationCommand(CliContext& context, boards::JobKind kind, const StationArgs& args) {
    boards::StationOptions options;
    options.jobSpec.kind = kind;
    options.jobSpec.verifyAfterBurn = true;
    options.count = args.count;
    options.filter = {context.options.ports, context.options.serialPrefix};
    boards::LogContext logContext;
    logContext.job = kind == boards::JobKind::Burn     ? "burn"
                     : kind == boards::JobKind::Verify ? "verify"
                                                       : "id";
    options.jobSpec.selection.entireFlash = args.areas.empty();
    for (const std::string& area : args.areas) {
        for (std::size_t row = 0; row < std::size(kAreaNames); ++row) {
            if (area == kAreaNames[row]) {
                options.jobSpec.selection.areas[row] = true;
            }
        }
        logContext.areas.push_back(area);
    }
    if (args.areas.empty() && kind != boards::JobKind::Id) {
        logContext.areas.push_back("entire");
    }
    if (kind != boards::JobKind::Id) {
        // Loaded and checked once; every job reads the same bytes.
        auto image = std::make_shared<flash::BurnImage>();
        std::string error;
        if (!flash::LoadBurnImage(files::PathFromUtf8(args.image), *image, error)) {
            return context.Error(error);
        }
        logContext.image = std::filesystem::path(args.image).filename().string();
        logContext.imageSha256 = boards::Sha256Hex(image->bytes);
        // Only a system without SHA-256 fails it: no log line goes out without its digest.
        if (logContext.imageSha256.empty()) {
            return context.Error("This system cannot compute the image's SHA-256 for the log");
        }
        options.jobSpec.image = std::move(image);
    }
    boards::StationLog log;
    if (!args.log.empty()) {
        std::string error;
        if (!log.Open(args.log, error)) {
            return context.Error(error);
        }
    }
    hid::HidPlatform* platform = context.Platform();
    if (platform == nullptr ||
        !context.TargetIds(options.jobSpec.vendorId, options.jobSpec.productId)) {
        return kExitNoDevice;
    }
    session::StackError stackError;
    hid::HotplugMonitor* hotplug = context.Stack()->Hotplug(stackError);
    if (hotplug == nullptr) {
        return context.Error(stackError.message, stackError.kind == session::StackError::Kind::Usage
                                                     ? kExitUsage
                                                     : kExitFailed);
    }

    const char* verb = kind == boards::JobKind::Burn     ? "burning"
                       : kind == boards::JobKind::Verify ? "verifying"
                                                         : "identifying";
    // With --json, stdout carries only the objects: the table goes to stderr.
    std::FILE* out = context.options.json ? stderr : stdout;
    StationTable table(out, IsTerminal(out), verb, log, logContext);
    std::vector<boards::BoardReport> reports;
    std::string error;
    bool listed = false;
    int stoppedCode = kExitInterrupted;
    {
        StopRequest finish;
        StopRequest abort;
        const InterruptGuard guard(finish, 1);
        // The second interrupt stops the running jobs at their next report.
        struct Escalate final : boards::StationEvents {
            StationTable& table;
            const InterruptGuard& guard;
            StopRequest& abort;
            Escalate(StationTable& t, const InterruptGuard& g, StopRequest& a)
                : table(t), guard(g), abort(a) {}
            void Waiting(std::size_t running) override {
                if (guard.Count() == 1 && running > 0 && !told) {
                    told = true;
                    std::fprintf(stderr,
                                 "brimlo-hid: %s: finishing the regions being written; a second "
                                 "one stops them at the next report.\n",
                                 NameOf(guard.Last()));
                }
                if (guard.Count() >= 2) {
                    abort.Request();
                }
                table.Waiting(running);
            }
            void Started(const boards::Board& b, const boards::BoardStatus& s) override {
                table.Started(b, s);
            }
            void Finished(const boards::BoardReport& r) override { table.Finished(r); }
            void Left(const boards::Board& b) override { table.Left(b); }
            void Redraw() override { table.Redraw(); }
            bool told = false;
        } events(table, guard, abort);
        listed =
            boards::RunStation(*platform, *hotplug, options, events, finish, abort, reports, error);
        if (guard.Count() > 0 && listed) {
            std::fprintf(stderr, "brimlo-hid: stopped by %s\n", NameOf(guard.Last()));
        }
        stoppedCode = guard.ExitCode();
    }
    if (!listed) {
        return context.Error("HID interfaces cannot be listed: " + error);
    }
    int code = WorstExitCode(reports);
    code = code == kExitInterrupted ? stoppedCode : code;
    if (context.options.json) {
        for (const boards::BoardReport& report : reports) {
            std::cout << JsonLine(BoardJson(report, stoppedCode)) << '\n';
        }
        nlohmann::json summary = SummaryJson(reports);
        summary["image_sha256"] = logContext.imageSha256;
        context.Print(summary, "");
    } else {
        std::cout << SummaryTable(reports);
        std::cout.flush();
    }
    if (!table.LogError().empty()) {
        code = context.Error(table.LogError());
    }
    return code;
}

}  // namespace

void AddStationCommands(CLI::App& app, CliContext& context, CommandRun& run) {
    AddStationOptions(app, context, run, RunStationCommand)->require_subcommand(1);
}

}  // namespace brimlo::cli
