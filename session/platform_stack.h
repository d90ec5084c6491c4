#pragma once
// The HID stack a front end talks through, chosen the same way by the CLI and the dialog:
//
//   session::StackOptions options;            // from --simulate, --sim-state, --path, --trace
//   session::StackError error;
//   auto stack = session::PlatformStack::Create(options, error);
//   if (!stack) { /* error.kind picks the exit code or the box, error.message says why */ }
//   brimlo::UvcHidDevice device(stack->Platform());  // then device.Open(vid, pid)
//
// The stack is the system's (hidraw, or SetupAPI and hid.dll on Windows), or the emulated
// device with --simulate; --path narrows it to one interface; --trace records every report
// exchange. It must outlive the devices opened on it.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_platform.h"
#include "hid/hotplug_monitor.h"
#include "hid/trace_transport.h"

namespace brimlo::session {

struct StackOptions {
    bool simulate = false;  // the emulated device instead of the system's stack
    std::string simState;   // its state directory (empty: the default one); only with simulate
    std::string path;       // show only this interface, e.g. /dev/hidraw3 (empty: all)
    std::string traceFile;  // write every report exchange there as JSON lines (empty: none)
    // More than 0: that many emulated boards, in simState/board-K; only with simulate.
    std::size_t simBoards = 0;
    std::string simHotplug;  // their plug script (sim/multi_board.h); only with simBoards
};

struct StackError {
    // NoDevice, or Busy when `cause` says another program holds the device.
    static StackError Unavailable(std::string cause);

    enum class Kind {
        Usage,     // the options are wrong: the user fixes the command line
        NoDevice,  // nothing usable there (no such node, a broken emulated device)
        Busy,      // another program or process holds the device: try again later
        Failed,    // the stack itself failed (listing refused, for instance)
    };
    Kind kind = Kind::Failed;
    std::string message;
};

// A usage error when the options contradict each other (--sim-state without --simulate), so a
// front end can refuse them before a command that never opens the stack.
std::optional<StackError> CheckStackOptions(const StackOptions& options);

class PlatformStack {
  public:
    // The stack `options` choose, or null with `error` set. Checks the options before anything
    // is opened or created, so a usage error leaves no file behind.
    static std::unique_ptr<PlatformStack> Create(const StackOptions& options, StackError& error);

    ~PlatformStack();
    PlatformStack(const PlatformStack&) = delete;
    PlatformStack& operator=(const PlatformStack&) = delete;

    // What devices are opened on: narrowed to --path and traced, as the options ask.
    hid::HidPlatform& Platform() { return *top_; }

    // With --path: the identifiers of the device at that node, so that it can be opened by
    // them. Nothing, with `error` set, when the node cannot be opened or read. Without --path:
    // nothing, with a Usage error.
    std::optional<std::pair<std::uint16_t, std::uint16_t>> PathIdentity(StackError& error);

    // What tells when boards come and go: udev's hidraw events (Linux only), or the emulated
    // boards' plug script. Null, with `error` set, when there is none (one emulated device).
    hid::HotplugMonitor* Hotplug(StackError& error);

  private:
    PlatformStack() = default;
    static bool MakeBoards(const StackOptions& options, PlatformStack& stack, StackError& error);

    std::string path_;
    bool simulated_ = false;  // one emulated device
    std::unique_ptr<hid::HidPlatform> base_;
    hid::HotplugMonitor* hotplug_ = nullptr;  // base_'s own, or owned by systemHotplug_
    std::unique_ptr<hid::HotplugMonitor> systemHotplug_;
    std::unique_ptr<hid::HidPlatform> narrowed_;
    std::FILE* traceFile_ = nullptr;
    std::unique_ptr<hid::WireTrace> trace_;
    std::unique_ptr<hid::TracingPlatform> traced_;
    hid::HidPlatform* top_ = nullptr;
};

}  // namespace brimlo::session
