#include "hid/windows/windows_hid_connection.h"

#include <algorithm>
#include <utility>

#include "hid/debug_output.h"
#include "hid/windows/windows_caps.h"
#include "hid/windows/windows_errors.h"

namespace brimlo::hid {
namespace {

// The length travels as GET_REPORT's 16-bit wLength.
constexpr std::uint32_t kMaxRequestedLength = 0xFFFF;

}  // namespace

WindowsHidConnection::WindowsHidConnection(const WinHidApi& api, HANDLE handle, std::string path)
    : api_(api), handle_(handle), path_(std::move(path)) {}

WindowsHidConnection::~WindowsHidConnection() {
    api_.CloseHandle(handle_);
}

bool WindowsHidConnection::SendOutputReport(std::span<const std::uint8_t> report) {
    lastError_.clear();
    if (report.empty()) {
        return Fail("HidD_SetOutputReport on " + path_ +
                    ": an output report needs its report ID byte");
    }
    // hid.dll takes a writable buffer even for a report it only sends.
    buffer_.assign(report.begin(), report.end());
    if (!api_.HidD_SetOutputReport(handle_, buffer_.data(), static_cast<ULONG>(buffer_.size()))) {
        return Fail(Describe("HidD_SetOutputReport", report[0], report.size()) +
                    " failed: " + WindowsErrorText(api_, api_.GetLastError()));
    }
    return true;
}

std::optional<std::size_t> WindowsHidConnection::GetInputReport(std::uint8_t reportId,
                                                                std::uint32_t requestedLength,
                                                                std::span<std::uint8_t> buffer) {
    lastError_.clear();
    if (requestedLength == 0 || requestedLength > kMaxRequestedLength) {
        Fail(Describe("HidD_GetInputReport", reportId, requestedLength) +
             ": refused, the length must be 1 to " + std::to_string(kMaxRequestedLength) +
             " bytes (the report ID byte included)");
        return std::nullopt;
    }
    buffer_.assign(requestedLength, 0);
    buffer_[0] = reportId;
    if (!api_.HidD_GetInputReport(handle_, buffer_.data(), requestedLength)) {
        Fail(Describe("HidD_GetInputReport", reportId, requestedLength) +
             " failed: " + WindowsErrorText(api_, api_.GetLastError()));
        return std::nullopt;
    }
    const std::size_t placed = std::min(buffer_.size(), buffer.size());
    std::copy_n(buffer_.begin(), placed, buffer.begin());
    return placed;
}

bool WindowsHidConnection::GetAttributes(HiddAttributes& attributes) {
    HIDD_ATTRIBUTES windows{};
    windows.Size = sizeof windows;
    if (!api_.HidD_GetAttributes(handle_, &windows)) {
        return Fail("HidD_GetAttributes on " + path_ +
                    " failed: " + WindowsErrorText(api_, api_.GetLastError()));
    }
    attributes.VendorID = windows.VendorID;
    attributes.ProductID = windows.ProductID;
    attributes.VersionNumber = windows.VersionNumber;
    return true;
}

bool WindowsHidConnection::GetReportDescriptor(std::vector<std::uint8_t>& /*descriptor*/) {
    return Fail("Windows gives applications no report descriptor of " + path_);
}

bool WindowsHidConnection::GetCapabilities(HidPreparsedData& data, std::string& error) {
    return ReadWindowsCapabilities(api_, handle_, data, error);
}

bool WindowsHidConnection::Fail(std::string text) {
    lastError_ = std::move(text);
    DebugOutput("Windows HID: " + lastError_ + "\n");
    return false;
}

// Built only on failure, so that a successful exchange allocates nothing more.
std::string WindowsHidConnection::Describe(const char* call, std::uint8_t reportId,
                                           std::size_t length) const {
    return std::string(call) + " on " + path_ + " (report ID " + std::to_string(reportId) +
           ", length " + std::to_string(length) + ")";
}

}  // namespace brimlo::hid
