#pragma once
// What every command of the command-line tool shares: the global options, the HID stack they
// choose, the opened device and the way results and errors are reported.

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "boards/board_choice.h"
#include "commands/uvc_hid_device.h"
#include "hid/hid_platform.h"
#include "session/platform_stack.h"

namespace brimlo::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,    // an exchange or a file operation failed
    kExitUsage = 2,     // the command line is wrong
    kExitNoDevice = 3,  // no usable device
    kExitCompareFailed = 4,
};

struct CliOptions {
    std::string device;  // "VID:PID" in hex; empty: the default identifiers
    std::string path;    // one interface only
    bool simulate = false;
    std::string simState;
    bool json = false;
    std::string traceFile;
    bool verbose = false;
    std::vector<std::string> ports;  // --port: boards in these USB ports only
    std::string serialPrefix;        // --serial: boards whose serial number starts so
    bool all = false;                // --all: the flash job on every chosen board
    std::size_t simBoards = 0;       // --sim-boards
    std::string simHotplug;          // --sim-hotplug
};

// What a command does when several boards match.
enum class BoardChoice {
    First,    // takes the first, saying which on stderr (peripheral commands)
    OnlyOne,  // refuses, listing them (flash commands)
};

class CliContext {
  public:
    CliOptions options;
    // The chosen command as typed, e.g. "reg read": the "command" member of the --json object.
    std::string command;

    // False, with the mistake reported, when the global options contradict each other: among
    // them --path beside --port or --serial.
    bool CheckOptions() const;
    // The HID stack chosen by the options (hidraw, or the emulated device), traced when asked.
    // Null, with the reason reported, when it cannot be set up.
    hid::HidPlatform* Platform();
    // Opens the device the options name. Null, with the reason reported, when there is none
    // or, with OnlyOne, when several boards match and no option chose one.
    UvcHidDevice* OpenDevice(BoardChoice choice = BoardChoice::First);
    // The board --path, --port and --serial choose.
    boards::BoardSelection Selection() const {
        return {options.path, {options.ports, options.serialPrefix}};
    }
    // The stack Platform() set up; null before.
    session::PlatformStack* Stack() { return stack_.get(); }
    // The identifiers of the target device (-d, the device at --path, or the defaults); false
    // with the reason reported. Platform() first.
    bool TargetIds(std::uint16_t& vendorId, std::uint16_t& productId) {
        return ResolveTarget(vendorId, productId);
    }

    // A result: with --json, members of the command's one JSON object (written by Finish);
    // else `text` on stdout at once (a line feed is added when missing).
    void Print(const nlohmann::json& json, const std::string& text) const;
    // Reports an error on stderr and returns `code`; the first one becomes the "error" member
    // of the --json object, and a usage error makes the command exit with kExitUsage.
    int Error(const std::string& message, int code = kExitFailed) const;
    // The device's last error as the command's failure.
    int DeviceError(const std::string& what) const;

    // Ends the command that returned `code`: writes the --json object (one on every outcome,
    // with "error" on failure) and returns the exit code.
    int Finish(int code);

  private:
    session::StackOptions StackOptions() const;
    int ReportStackError(const session::StackError& error) const;
    bool ResolveTarget(std::uint16_t& vendorId, std::uint16_t& productId);

    std::unique_ptr<session::PlatformStack> stack_;
    std::unique_ptr<hid::HidPlatform> chosenBoard_;  // the stack narrowed to the chosen board
    std::unique_ptr<UvcHidDevice> device_;
    // Print and Error are reporting sinks, callable wherever a command only reads the context.
    mutable nlohmann::json result_ = nlohmann::json::object();
    mutable std::optional<std::string> firstError_;
    mutable bool usageError_ = false;
};

// Parses "VID:PID" (hex, each at most 16 bits).
std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseVidPid(const std::string& text);

// `json` as one line; bytes that are not UTF-8 (a file name, say) become U+FFFD.
std::string JsonLine(const nlohmann::json& json);

}  // namespace brimlo::cli
