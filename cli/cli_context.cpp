#include "cli/cli_context.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "cli/simulated_platform.h"
#include "cli/single_interface_platform.h"
#include "commands/panel_format.h"
#include "hid/hid_interface_list.h"
#include "hid/linux/hidraw_platform.h"

namespace brimlo::cli {

std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseVidPid(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const auto vid = ParseHexArgument(std::string_view(text).substr(0, colon), 0xFFFF);
    const auto pid = ParseHexArgument(std::string_view(text).substr(colon + 1), 0xFFFF);
    if (!vid || !pid) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint16_t>(*vid), static_cast<std::uint16_t>(*pid));
}

CliContext::~CliContext() {
    device_.reset();
    tracingPlatform_.reset();
    if (traceFile_ != nullptr) {
        std::fclose(traceFile_);
    }
}

hid::HidPlatform* CliContext::Platform() {
    if (platform_ != nullptr) {
        return platform_;
    }
    if (options.simulate) {
        std::string error;
        basePlatform_ = MakeSimulatedPlatform(options.simState, error);
        if (!basePlatform_) {
            Error(error, kExitNoDevice);
            return nullptr;
        }
    } else {
        basePlatform_ = std::make_unique<hid::HidrawPlatform>();
    }
    platform_ = basePlatform_.get();
    if (!options.path.empty()) {
        pathPlatform_ = std::make_unique<SingleInterfacePlatform>(*platform_, options.path);
        platform_ = pathPlatform_.get();
    }
    if (!options.traceFile.empty()) {
        traceFile_ = std::fopen(options.traceFile.c_str(), "w");
        if (traceFile_ == nullptr) {
            Error("Cannot write the trace file " + options.traceFile + ": " + std::strerror(errno),
                  kExitUsage);
            platform_ = nullptr;
            return nullptr;
        }
        trace_ = std::make_unique<hid::WireTrace>(traceFile_);
        tracingPlatform_ = std::make_unique<hid::TracingPlatform>(*platform_, *trace_);
        platform_ = tracingPlatform_.get();
    }
    return platform_;
}

bool CliContext::ResolveTarget(std::uint16_t& vendorId, std::uint16_t& productId) {
    if (!options.device.empty()) {
        const auto ids = ParseVidPid(options.device);
        if (!ids) {
            Error("-d wants VID:PID in hexadecimal, for example -d 1209:0001", kExitUsage);
            return false;
        }
        std::tie(vendorId, productId) = *ids;
        return true;
    }
    if (!options.path.empty()) {
        // One node named by path: take whatever device sits there.
        std::string error;
        std::unique_ptr<hid::HidConnection> probe = Platform()->Open(options.path, {}, error);
        hid::HiddAttributes attributes;
        if (!probe || !probe->GetAttributes(attributes)) {
            Error(probe ? options.path + ": " + probe->LastError() : error, kExitNoDevice);
            return false;
        }
        vendorId = attributes.VendorID;
        productId = attributes.ProductID;
        return true;
    }
    vendorId = BRIMLO_DEFAULT_VID;
    productId = BRIMLO_DEFAULT_PID;
    return true;
}

void CliContext::WarnAboutOtherMatches(std::uint16_t vendorId, std::uint16_t productId) {
    std::vector<hid::HidInterfaceInfo> interfaces;
    std::string error;
    if (!hid::DescribeHidInterfaces(*basePlatform_, interfaces, error)) {
        return;
    }
    std::vector<std::string> matching;
    for (const hid::HidInterfaceInfo& info : interfaces) {
        if (info.described && info.vendorId == vendorId && info.productId == productId) {
            matching.push_back(info.path);
        }
    }
    if (matching.size() > 1) {
        std::cerr << "note: " << matching.size() << " interfaces match; using the first, "
                  << matching.front() << " (choose another with --path)\n";
    }
}

UvcHidDevice* CliContext::OpenDevice() {
    if (device_) {
        return device_.get();
    }
    hid::HidPlatform* platform = Platform();
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    if (platform == nullptr || !ResolveTarget(vendorId, productId)) {
        return nullptr;
    }
    auto device = std::make_unique<UvcHidDevice>(*platform);
    const OpenResult result = device->Open(vendorId, productId);
    if (result.status != OpenStatus::Opened) {
        Error(result.status == OpenStatus::NotFound ? "HID Device no found ! " + result.message
                                                    : result.message,
              kExitNoDevice);
        return nullptr;
    }
    if (options.path.empty()) {
        WarnAboutOtherMatches(vendorId, productId);
    }
    device_ = std::move(device);
    return device_.get();
}

void CliContext::Print(const nlohmann::json& json, const std::string& text) const {
    if (options.json) {
        std::cout << json.dump() << '\n';
    } else if (!text.empty()) {
        std::cout << text << (text.back() == '\n' ? "" : "\n");
    }
    std::cout.flush();
}

int CliContext::Error(const std::string& message, int code) const {
    std::cerr << "brimlo-hid: " << message << '\n';
    return code;
}

int CliContext::DeviceError(const std::string& what) const {
    const std::string cause = device_ ? device_->LastError() : std::string();
    return Error(what + (cause.empty() ? std::string() : ": " + cause));
}

}  // namespace brimlo::cli
