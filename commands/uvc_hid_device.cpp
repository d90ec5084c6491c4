#include "commands/uvc_hid_device.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "commands/panel_format.h"
#include "hid/debug_output.h"

namespace brimlo {

using hid::CommandDescriptor;
using hid::CommandRow;
using hid::DebugOutput;
using hid::DebugPrintf;
using hid::HidCallBlock;
using hid::HidCallResult;

namespace {

constexpr std::size_t kChannelCount = 3;

std::string NotFoundMessage(std::uint16_t vid, std::uint16_t pid,
                            const std::vector<std::string>& skipped, bool heldElsewhere) {
    const std::string ids = "VID:PID " + FormatUsbId(vid) + ":" + FormatUsbId(pid);
    std::string message =
        heldElsewhere
            ? "No HID interface with " + ids +
                  " could be opened, and another program holds one that may be it: "
                  "try again when it has finished."
            : "No HID interface with " + ids + " is present. Check the cable and the identifiers.";
    for (const std::string& reason : skipped) {
        message += "\n  skipped " + reason;
    }
    return message;
}

}  // namespace

UvcHidDevice::~UvcHidDevice() {
    hid::ReleaseHidRecord(record_);
}

OpenResult UvcHidDevice::Open(std::uint16_t vendorId, std::uint16_t productId) {
    std::unique_lock<std::recursive_mutex> lock;
    if (!Acquire(lock)) {
        return {OpenStatus::Unusable, LastError()};
    }
    DebugPrintf("Open Device Info--VID/PID (0x%04x~0x%04x) \n", vendorId, productId);
    match_.targetVendorId = vendorId;
    match_.targetProductId = productId;

    std::vector<hid::HidDeviceRecord> list;
    std::uint32_t index = hid::kNoMatchedIndex;
    if (!hid::EnumerateHidInterfaces(platform_, match_, list, index)) {
        return {OpenStatus::EnumerationFailed,
                "The HID interfaces could not be listed; see the debug output for the cause."};
    }
    if (index == hid::kNoMatchedIndex) {
        const bool heldElsewhere =
            std::any_of(match_.skipped.begin(), match_.skipped.end(),
                        [](const std::string& reason) { return hid::HeldElsewhere(reason); });
        return {OpenStatus::NotFound,
                NotFoundMessage(vendorId, productId, match_.skipped, heldElsewhere), heldElsewhere};
    }

    // The previous device, if any, is replaced by the new match.
    hid::ReleaseHidRecord(record_);
    open_ = false;
    record_ = std::move(list[index]);
    matchedIndex_ = index;
    flashBuffer_.clear();
    rwBuffer_.clear();
    iicBuffer_.clear();

    if (!record_.IsOpen()) {
        std::string reason =
            match_.skipped.empty() ? "its capabilities could not be loaded" : match_.skipped.back();
        return {OpenStatus::Unusable, "The device was found but cannot be used: " + reason};
    }
    if (record_.caps.NumberOutputValueCaps < kChannelCount ||
        record_.outputValueCaps.size() < kChannelCount ||
        record_.inputValueCaps.size() < kChannelCount) {
        DebugOutput("Error initializing flash and RW buffer\n");
        return {OpenStatus::Unusable,
                "The device's HID interface has " + std::to_string(record_.outputValueCaps.size()) +
                    " output and " + std::to_string(record_.inputValueCaps.size()) +
                    " input channels; this tool needs three of each. Is it the right device?"};
    }
    if (const std::string problem = ChannelProblem(); !problem.empty()) {
        return {OpenStatus::Unusable,
                "The device's HID interface cannot carry this tool's "
                "commands: " +
                    problem};
    }
    try {
        flashBuffer_.assign(OutputReportLength(kFlashChannel), 0);
        rwBuffer_.assign(OutputReportLength(kControlChannel), 0);
        iicBuffer_.assign(OutputReportLength(kIicChannel), 0);
    } catch (const std::bad_alloc&) {
        DebugOutput("Error allocating memory\n");
        return {OpenStatus::Unusable, "Not enough memory for the device's transfer buffers."};
    }
    open_ = true;
    return {OpenStatus::Opened, {}};
}

std::string UvcHidDevice::ChannelProblem() const {
    // Every command writes its payload at fixed offsets and reads its answer from byte 0, so
    // the reports must be byte arrays long enough for the largest request of their channel.
    static constexpr const char* kNames[kChannelCount] = {"flash data", "command", "IIC"};
    static constexpr std::size_t kMinimumOutput[kChannelCount] = {5, 11, 5};
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        const hid::HidpValueCaps& out = record_.outputValueCaps[c];
        const hid::HidpValueCaps& in = record_.inputValueCaps[c];
        const std::string name = std::string(kNames[c]) + " channel";
        if (out.BitSize != 8 || in.BitSize != 8) {
            return "the " + name + "'s reports are not made of bytes";
        }
        if (out.ReportCount == 0xFFFF || in.ReportCount == 0xFFFF) {
            return "the " + name + "'s reports are longer than 65535 bytes";
        }
        if (OutputReportLength(c) < kMinimumOutput[c]) {
            return "the " + name + "'s output reports have " +
                   std::to_string(OutputReportLength(c)) + " bytes, at least " +
                   std::to_string(kMinimumOutput[c]) + " are needed";
        }
        // The command code travels in the requested length's second byte.
        if (c != kFlashChannel && InputReportLength(c) > 0xFF) {
            return "the " + name +
                   "'s input reports are longer than 255 bytes, which leaves "
                   "no room for the command code in the requested length";
        }
    }
    return {};
}

std::string UvcHidDevice::Description() const {
    char text[128];
    std::snprintf(text, sizeof text,
                  "Device #%u: VID: 0x%04X  PID: 0x%04X  UsagePage: 0x%X  Usage: 0x%X",
                  matchedIndex_, record_.attributes.VendorID, record_.attributes.ProductID,
                  record_.caps.UsagePage, record_.caps.Usage);
    return text;
}

std::size_t UvcHidDevice::OutputReportLength(std::size_t channel) const {
    return channel < record_.outputValueCaps.size()
               ? hid::ReportLengthOf(record_.outputValueCaps[channel])
               : 0;
}

std::size_t UvcHidDevice::InputReportLength(std::size_t channel) const {
    return channel < record_.inputValueCaps.size()
               ? hid::ReportLengthOf(record_.inputValueCaps[channel])
               : 0;
}

bool UvcHidDevice::Acquire(std::unique_lock<std::recursive_mutex>& lock) {
    lock = std::unique_lock<std::recursive_mutex>(exchangeMutex_, std::try_to_lock);
    if (lock.owns_lock()) {
        return true;
    }
    return Fail(std::string(kDeviceBusy));
}

std::string UvcHidDevice::LastError() const {
    std::lock_guard lock(errorMutex_);
    const auto found = lastErrors_.find(std::this_thread::get_id());
    return found == lastErrors_.end() ? std::string() : found->second;
}

bool UvcHidDevice::RequireOpen() {
    if (open_) {
        return true;
    }
    return Fail("HID Device no found ! Open the device first.");
}

bool UvcHidDevice::Fail(std::string message) {
    std::lock_guard lock(errorMutex_);
    lastErrors_[std::this_thread::get_id()] = std::move(message);
    return false;
}

bool UvcHidDevice::ExchangeFailed(std::string_view name, std::string cause) {
    DebugPrintf("Unknown error: Couldn't execute %.*s function\n", static_cast<int>(name.size()),
                name.data());
    return Fail("Couldn't execute " + std::string(name) + ": " + cause);
}

bool UvcHidDevice::SendRow(CommandRow row, const CommandDescriptor& descriptor,
                           std::span<std::uint8_t> buffer, std::string_view name) {
    HidCallBlock block;
    HidCallResult result;
    if (!hid::PrepareRequest(block, descriptor, record_, buffer) ||
        hid::RunHidOperation(hid::kHidOpSetOutputReport, block, result) != 1 || result.failed) {
        return ExchangeFailed(name.empty() ? hid::kCommandNames[row] : name, TransportCause());
    }
    return true;
}

bool UvcHidDevice::ReceiveRow(CommandRow row, std::span<std::uint8_t> buffer, std::size_t needed,
                              std::string_view name) {
    if (name.empty()) {
        name = hid::kCommandNames[row];
    }
    HidCallBlock block;
    HidCallResult result;
    if (!hid::PrepareRequest(block, hid::kCommandTable[row], record_, buffer) ||
        hid::RunHidOperation(hid::kHidOpGetInputReport, block, result) != 1 || result.failed) {
        return ExchangeFailed(name, TransportCause());
    }
    if (block.received < needed) {
        return ExchangeFailed(name, "the device answered with " + std::to_string(block.received) +
                                        " bytes where " + std::to_string(needed) +
                                        " were expected");
    }
    return true;
}

std::string UvcHidDevice::TransportCause() const {
    std::string cause = record_.handle ? record_.handle->LastError() : std::string();
    return cause.empty() ? "the device did not accept the report" : cause;
}

}  // namespace brimlo
