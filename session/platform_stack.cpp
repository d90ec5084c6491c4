#include "session/platform_stack.h"

#include <cerrno>

#include "files/file_io.h"
#include "hid/hid_interface_list.h"
#include "session/simulated_platform.h"
#include "session/single_interface_platform.h"
#include "session/system_stack.h"
#include "sim/multi_board.h"
#include "sim/sim_platform.h"

namespace brimlo::session {

StackError StackError::Unavailable(std::string cause) {
    const Kind kind = hid::HeldElsewhere(cause) ? Kind::Busy : Kind::NoDevice;
    return {kind, std::move(cause)};
}

std::optional<StackError> CheckStackOptions(const StackOptions& options) {
    if (!options.simState.empty() && !options.simulate) {
        return StackError{StackError::Kind::Usage,
                          "--sim-state only applies to the emulated device: add --simulate"};
    }
    if (options.simBoards > 0 && !options.simulate) {
        return StackError{StackError::Kind::Usage,
                          "--sim-boards only applies to the emulated device: add --simulate"};
    }
    if (!options.simHotplug.empty() && options.simBoards == 0) {
        return StackError{StackError::Kind::Usage,
                          "--sim-hotplug plugs emulated boards: add --simulate --sim-boards N"};
    }
    if (options.simBoards > 64) {
        return StackError{StackError::Kind::Usage, "--sim-boards takes at most 64 boards"};
    }
    std::vector<sim::HotplugEvent> events;
    std::string mistake;
    if (!sim::ParseHotplugScript(options.simHotplug, options.simBoards, events, mistake)) {
        return StackError{StackError::Kind::Usage, "--sim-hotplug: " + mistake};
    }
    return std::nullopt;
}

std::unique_ptr<PlatformStack> PlatformStack::Create(const StackOptions& options,
                                                     StackError& error) {
    if (auto mistake = CheckStackOptions(options)) {
        error = *mistake;
        return nullptr;
    }
    std::unique_ptr<PlatformStack> stack(new PlatformStack());
    stack->path_ = options.path;
    if (options.simBoards > 0) {
        if (!MakeBoards(options, *stack, error)) {
            return nullptr;
        }
    } else if (options.simulate) {
        stack->base_ = MakeSimulatedPlatform(options.simState, error);
        if (!stack->base_) {
            return nullptr;
        }
        stack->simulated_ = true;
    } else {
        stack->base_ = MakeSystemPlatform();
    }
    stack->top_ = stack->base_.get();
    if (!options.path.empty()) {
        stack->narrowed_ = std::make_unique<SingleInterfacePlatform>(*stack->top_, options.path);
        stack->top_ = stack->narrowed_.get();
    }
    if (!options.traceFile.empty()) {
        stack->traceFile_ = CreateBinaryStream(files::PathFromUtf8(options.traceFile));
        if (stack->traceFile_ == nullptr) {
            error = {StackError::Kind::Usage, "Cannot write the trace file " + options.traceFile +
                                                  ": " + files::ErrorText(errno)};
            return nullptr;
        }
        stack->trace_ = std::make_unique<hid::WireTrace>(stack->traceFile_);
        stack->traced_ = std::make_unique<hid::TracingPlatform>(*stack->top_, *stack->trace_);
        stack->top_ = stack->traced_.get();
    }
    return stack;
}

PlatformStack::~PlatformStack() {
    traced_.reset();
    trace_.reset();
    if (traceFile_ != nullptr) {
        std::fclose(traceFile_);
    }
}

std::optional<std::pair<std::uint16_t, std::uint16_t>> PlatformStack::PathIdentity(
    StackError& error) {
    if (path_.empty()) {
        error = {StackError::Kind::Usage, "no interface path was given"};
        return std::nullopt;
    }
    std::string cause;
    std::unique_ptr<hid::HidConnection> probe = top_->Open(path_, {}, cause);
    hid::HiddAttributes attributes;
    if (!probe) {
        error = StackError::Unavailable(cause);
        return std::nullopt;
    }
    if (!probe->GetAttributes(attributes)) {
        error = {StackError::Kind::NoDevice, path_ + ": " + probe->LastError()};
        return std::nullopt;
    }
    return std::make_pair(attributes.VendorID, attributes.ProductID);
}

bool PlatformStack::MakeBoards(const StackOptions& options, PlatformStack& stack,
                               StackError& error) {
    std::filesystem::path dir = files::PathFromUtf8(options.simState);
    if (dir.empty()) {
        const auto fallback = sim::DefaultSimStateDir();
        if (!fallback) {
            error = {StackError::Kind::Usage,
                     std::string("No state directory for the emulated boards: set ") +
                         StateDirVariables() + ", or pass --sim-state DIR."};
            return false;
        }
        dir = *fallback;
    }
    std::vector<sim::HotplugEvent> events;
    std::string cause;
    sim::ParseHotplugScript(options.simHotplug, options.simBoards, events, cause);
    auto boards = sim::MultiBoardPlatform::Load(dir, options.simBoards, std::move(events), cause);
    if (!boards) {
        error = StackError::Unavailable(cause);
        return false;
    }
    stack.hotplug_ = boards.get();
    stack.base_ = std::move(boards);
    return true;
}

hid::HotplugMonitor* PlatformStack::Hotplug(StackError& error) {
    if (hotplug_ != nullptr) {
        return hotplug_;
    }
    if (simulated_) {
        error = {StackError::Kind::Usage,
                 "One emulated device is never plugged or unplugged: use --sim-boards N "
                 "(and --sim-hotplug to plug them at given times)."};
        return nullptr;
    }
    std::string cause;
    systemHotplug_ = MakeSystemHotplug(cause);
    if (!systemHotplug_) {
        error = {StackError::Kind::Failed, "Cannot listen for USB hotplug events: " + cause};
        return nullptr;
    }
    hotplug_ = systemHotplug_.get();
    return hotplug_;
}

}  // namespace brimlo::session
