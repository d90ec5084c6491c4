// brimlo-hid: the service tool's command-line front end.

#include "cli/run_tool.h"

#include <CLI/CLI.hpp>
#include <cstring>
#include <iostream>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/doctor_command.h"
#include "hid/debug_output.h"
#include "session/version.h"

namespace brimlo::cli {
namespace {

// Debug lines are shown only with -v; stdout stays for results.
class DiscardDebug final : public hid::DebugSink {
  public:
    void Write(std::string_view) override {}
};

// The chosen command as typed, e.g. "reg read".
std::string ChosenCommand(const CLI::App& app) {
    std::string name;
    for (const CLI::App* level = &app; !level->get_subcommands().empty();) {
        level = level->get_subcommands().front();
        name += (name.empty() ? "" : " ") + level->get_name();
    }
    return name;
}

// A command line that does not parse may not have set the option yet: look for it as typed.
bool AsksForJson(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            return true;
        }
    }
    return false;
}

// The parser's message, except that a word where a command belongs is named as the mistake.
std::string ParseErrorMessage(const CLI::App& app, const CLI::ParseError& error) {
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        std::string chosen;
        for (const CLI::App* level = &app;; level = level->get_subcommands().front()) {
            const std::vector<std::string> unused = level->remaining();
            if (!unused.empty()) {
                return "unknown command '" + chosen + unused.front() + "'";
            }
            if (level->get_subcommands().empty()) {
                break;
            }
            chosen += level->get_subcommands().front()->get_name() + " ";
        }
    }
    return error.what();
}

}  // namespace

int RunTool(int argc, char** argv) {
    CliContext context;
    CLI::App app{
        "Service tool for the capture device's vendor HID interface.\n"
        "Numbers are hexadecimal, with or without 0x. Global options may come anywhere."};
    app.require_subcommand(1);
    // Subcommands made below inherit these: global options may follow the command, and an
    // argument such as /fw/image.bin stays a file name on Windows, not a "/option".
    app.fallthrough();
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("brimlo-hid ") + session::kVersion);
    app.add_option("-d,--device", context.options.device,
                   "Target VID:PID in hex (default: the product's identifiers)");
    app.add_option("--path", context.options.path, "Use this one interface, e.g. /dev/hidraw3");
    app.add_flag("--simulate", context.options.simulate, "Use the built-in emulated device");
    app.add_option("--sim-state", context.options.simState,
                   "State directory of the emulated device (default: under ~/.cache); "
                   "needs --simulate");
    app.add_flag("--json", context.options.json,
                 "One JSON object per command on stdout, with \"error\" on failure");
    app.add_option("--trace", context.options.traceFile,
                   "Write every report exchange to FILE as JSON lines");
    app.add_flag("-v,--verbose", context.options.verbose, "Show debug lines on stderr");
    app.add_option("--port", context.options.ports,
                   "Only the board in this USB port, e.g. 1-1.2 (as list shows; repeatable)");
    app.add_option("--serial", context.options.serialPrefix,
                   "Only boards whose serial number starts with this");
    app.add_flag("--all", context.options.all,
                 "flash id/burn/verify/dump: every matching board at once");
    app.add_option("--sim-boards", context.options.simBoards,
                   "Emulate N boards, in DIR/board-K of the state directory; needs --simulate")
        ->check(CLI::Range(1, 64));
    app.add_option("--sim-hotplug", context.options.simHotplug,
                   "Plug and unplug emulated boards at given times: SECONDS:+K or SECONDS:-K, "
                   "comma-separated (e.g. 0:+1,2.5:+2,4:-1); needs --sim-boards");

    CommandRun run;
    AddDeviceCommands(app, context, run);
    AddPeripheralCommands(app, context, run);
    AddFlashCommands(app, context, run);
    AddStationCommands(app, context, run);
    AddDoctorCommand(app, context, run);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            return app.exit(e);  // --help, --version
        }
        context.options.json = AsksForJson(argc, argv);
        context.command = ChosenCommand(app);
        context.Error(ParseErrorMessage(app, e), kExitUsage);
        std::cerr << "Run with --help for more information.\n";
        return context.Finish(kExitUsage);
    }

    context.command = ChosenCommand(app);
    DiscardDebug discard;
    if (!context.options.verbose) {
        hid::SetDebugSink(&discard);
    }
    const int code = context.Finish(context.CheckOptions() && run ? run() : kExitUsage);
    hid::SetDebugSink(nullptr);
    return code;
}

}  // namespace brimlo::cli
