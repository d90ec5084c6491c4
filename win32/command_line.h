#pragma once
// The dialog's command line, the same as the Linux dialog's: --simulate [--sim-state DIR],
// --path NODE, --trace FILE, -v, --version, --help.

#include <optional>
#include <string>
#include <vector>

#include "session/platform_stack.h"

namespace brimlo::win32 {

struct DialogOptions {
    session::StackOptions stack;
    bool verbose = false;
    bool version = false;
    bool help = false;
};

inline constexpr char kDialogUsage[] =
    "Usage: brimlo-hid-tool [options]\n"
    "Service dialog for the BRIMLO capture device's vendor HID interface.\n"
    "  --simulate         Use the built-in emulated device.\n"
    "  --sim-state DIR    Keep the emulated device's state in DIR (with --simulate).\n"
    "  --path NODE        Use only this interface.\n"
    "  --trace FILE       Write every report exchange to FILE.\n"
    "  -v, --verbose      Show debug lines on the debugger's output and standard error.\n"
    "  --version          Show the version and exit.\n"
    "  -h, --help         Show this help and exit.";

// The options, or nothing with `error` saying what is wrong (the arguments exclude the
// program's name). Option values may follow as the next argument or after "=".
std::optional<DialogOptions> ParseDialogOptions(const std::vector<std::string>& arguments,
                                                std::string& error);

}  // namespace brimlo::win32
