// brimlo-hid: the service tool's command-line front end.

#include <CLI/CLI.hpp>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "hid/debug_output.h"

namespace {

// Debug lines are shown only with -v; stdout stays for results.
class DiscardDebug final : public brimlo::hid::DebugSink {
  public:
    void Write(std::string_view) override {}
};

}  // namespace

int main(int argc, char** argv) {
    using namespace brimlo::cli;
    CliContext context;
    CLI::App app{"Service tool for the capture device's vendor HID interface"};
    app.require_subcommand(1);
    app.add_option("-d,--device", context.options.device,
                   "Target VID:PID in hex (default: the product's identifiers)");
    app.add_option("--path", context.options.path, "Use this one interface, e.g. /dev/hidraw3");
    app.add_flag("--simulate", context.options.simulate, "Use the built-in emulated device");
    app.add_option("--sim-state", context.options.simState,
                   "State directory of the emulated device (default: under ~/.cache)");
    app.add_flag("--json", context.options.json, "One JSON object per command on stdout");
    app.add_option("--trace", context.options.traceFile,
                   "Write every report exchange to FILE as JSON lines");
    app.add_flag("-v,--verbose", context.options.verbose, "Show debug lines on stderr");

    CommandRun run;
    AddDeviceCommands(app, context, run);
    AddPeripheralCommands(app, context, run);
    AddFlashCommands(app, context, run);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }

    DiscardDebug discard;
    if (!context.options.verbose) {
        brimlo::hid::SetDebugSink(&discard);
    }
    const int code = run ? run() : kExitUsage;
    brimlo::hid::SetDebugSink(nullptr);
    return code;
}
