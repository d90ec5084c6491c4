#include "session/platform_stack.h"

#include <cerrno>
#include <cstring>

#include "hid/hid_interface_list.h"
#include "hid/linux/hidraw_platform.h"
#include "session/simulated_platform.h"
#include "session/single_interface_platform.h"

namespace brimlo::session {

std::optional<StackError> CheckStackOptions(const StackOptions& options) {
    if (!options.simState.empty() && !options.simulate) {
        return StackError{StackError::Kind::Usage,
                          "--sim-state only applies to the emulated device: add --simulate"};
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
    if (options.simulate) {
        stack->base_ = MakeSimulatedPlatform(options.simState, error);
        if (!stack->base_) {
            return nullptr;
        }
    } else {
        stack->base_ = std::make_unique<hid::HidrawPlatform>();
    }
    stack->top_ = stack->base_.get();
    if (!options.path.empty()) {
        stack->narrowed_ = std::make_unique<SingleInterfacePlatform>(*stack->top_, options.path);
        stack->top_ = stack->narrowed_.get();
    }
    if (!options.traceFile.empty()) {
        stack->traceFile_ = std::fopen(options.traceFile.c_str(), "wb");
        if (stack->traceFile_ == nullptr) {
            error = {StackError::Kind::Usage, "Cannot write the trace file " + options.traceFile +
                                                  ": " + std::strerror(errno)};
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
        error = {StackError::Kind::NoDevice, cause};
        return std::nullopt;
    }
    if (!probe->GetAttributes(attributes)) {
        error = {StackError::Kind::NoDevice, path_ + ": " + probe->LastError()};
        return std::nullopt;
    }
    return std::make_pair(attributes.VendorID, attributes.ProductID);
}

std::vector<std::string> PlatformStack::MatchingInterfaces(std::uint16_t vendorId,
                                                           std::uint16_t productId) {
    std::vector<hid::HidInterfaceInfo> interfaces;
    std::string error;
    std::vector<std::string> matching;
    if (!hid::DescribeHidInterfaces(*base_, interfaces, error)) {
        return matching;
    }
    for (const hid::HidInterfaceInfo& info : interfaces) {
        if (info.described && info.vendorId == vendorId && info.productId == productId) {
            matching.push_back(info.path);
        }
    }
    return matching;
}

}  // namespace brimlo::session
