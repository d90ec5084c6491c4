#include "commands/uvc_hid_device.h"

#include <algorithm>
#include <cstdio>
#include <new>

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

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string NotFoundMessage(std::uint16_t vid, std::uint16_t pid,
                            const std::vector<std::string>& skipped) {
    std::string message = "No HID interface with VID:PID " + Hex4(vid) + ":" + Hex4(pid) +
                          " is present. Check the cable and the identifiers.";
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
        return {OpenStatus::NotFound, NotFoundMessage(vendorId, productId, match_.skipped)};
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
    return Fail("The device is busy with a burn or dump; wait until it has finished.");
}

std::string UvcHidDevice::LastError() const {
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

bool UvcHidDevice::RequireOpen() {
    if (open_) {
        return true;
    }
    return Fail("HID Device no found ! Open the device first.");
}

bool UvcHidDevice::Fail(std::string message) {
    std::lock_guard lock(errorMutex_);
    lastError_ = std::move(message);
    return false;
}

bool UvcHidDevice::ExchangeFailed(CommandRow row) {
    DebugPrintf("Unknown error: Couldn't execute %s function\n", hid::kCommandNames[row].data());
    std::string cause = record_.handle ? record_.handle->LastError() : std::string();
    return Fail(
        "Couldn't execute " + std::string(hid::kCommandNames[row]) +
        (cause.empty() ? std::string(": the device did not accept the report") : ": " + cause));
}

bool UvcHidDevice::SendRow(CommandRow row, const CommandDescriptor& descriptor,
                           std::span<std::uint8_t> buffer) {
    HidCallBlock block;
    HidCallResult result;
    if (!hid::PrepareRequest(block, descriptor, record_, buffer) ||
        hid::RunHidOperation(hid::kHidOpSetOutputReport, block, result) != 1 || result.failed) {
        return ExchangeFailed(row);
    }
    return true;
}

bool UvcHidDevice::ReceiveRow(CommandRow row, std::span<std::uint8_t> buffer) {
    HidCallBlock block;
    HidCallResult result;
    if (!hid::PrepareRequest(block, hid::kCommandTable[row], record_, buffer) ||
        hid::RunHidOperation(hid::kHidOpGetInputReport, block, result) != 1 || result.failed) {
        return ExchangeFailed(row);
    }
    return true;
}

}  // namespace brimlo
