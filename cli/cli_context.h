#pragma once
// What every command of the command-line tool shares: the global options, the HID stack they
// choose, the opened device and the way results are printed.

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "commands/uvc_hid_device.h"
#include "hid/hid_platform.h"
#include "hid/trace_transport.h"

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
};

class CliContext {
  public:
    CliOptions options;

    // The HID stack chosen by the options (hidraw, or the emulated device), traced when asked.
    // Null with a message on stderr when it cannot be set up.
    hid::HidPlatform* Platform();
    // Opens the device the options name. Null, with the reason printed, when there is none.
    UvcHidDevice* OpenDevice();

    // Prints a result: `json` with --json, else `text` (a line feed is added when missing).
    void Print(const nlohmann::json& json, const std::string& text) const;
    // Prints an error on stderr and returns `code`.
    int Error(const std::string& message, int code = kExitFailed) const;
    // The device's last error as the command's failure.
    int DeviceError(const std::string& what) const;

    ~CliContext();

  private:
    bool ResolveTarget(std::uint16_t& vendorId, std::uint16_t& productId);
    void WarnAboutOtherMatches(std::uint16_t vendorId, std::uint16_t productId);

    std::unique_ptr<hid::HidPlatform> basePlatform_;
    std::unique_ptr<hid::HidPlatform> pathPlatform_;
    std::FILE* traceFile_ = nullptr;
    std::unique_ptr<hid::WireTrace> trace_;
    std::unique_ptr<hid::TracingPlatform> tracingPlatform_;
    hid::HidPlatform* platform_ = nullptr;
    std::unique_ptr<UvcHidDevice> device_;
};

// Parses "VID:PID" (hex, each at most 16 bits).
std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseVidPid(const std::string& text);

}  // namespace brimlo::cli
