#include "hid/linux/hidraw_connection.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "hid/debug_output.h"
#include "hid/linux/hidraw_errors.h"
#include "hid/linux/hidraw_wire.h"

namespace brimlo::hid {

HidrawConnection::HidrawConnection(std::shared_ptr<HidrawSystem> system, int fd, std::string path,
                                   const HiddAttributes& attributes,
                                   std::vector<std::uint8_t> descriptor,
                                   std::optional<UsbInterfaceInfo> usb)
    : system_(std::move(system)),
      fd_(fd),
      path_(std::move(path)),
      attributes_(attributes),
      descriptor_(std::move(descriptor)),
      usb_(usb) {}

HidrawConnection::~HidrawConnection() {
    system_->Close(fd_);
}

bool HidrawConnection::SendOutputReport(std::span<const std::uint8_t> report) {
    lastError_.clear();
    if (report.empty()) {
        return Fail("HIDIOCSOUTPUT on " + path_ + ": an output report needs its report ID byte");
    }
    const std::uint8_t reportId = report[0];
    const std::size_t length = HidrawIoctlLength(reportId, report.size());
    if (!CheckIoctlLength("HIDIOCSOUTPUT", reportId, report.size(), length)) {
        return false;
    }
    WarnOnceOfInterruptOut();

    if (outputBuffer_.size() < length) {
        outputBuffer_.resize(length);
    }
    const std::span<std::uint8_t> ioctlBuffer(outputBuffer_.data(), length);
    LayOutOutputReport(report, ioctlBuffer);
    const int result = IoctlRetryingEintr(HIDIOCSOUTPUT(length), ioctlBuffer.data());
    if (result < 0) {
        return Fail(Describe("HIDIOCSOUTPUT", reportId, report.size()) +
                    " failed: " + ExplainReportError(-result));
    }
    if (static_cast<std::size_t>(result) < length) {
        return Fail(Describe("HIDIOCSOUTPUT", reportId, report.size()) +
                    ": the kernel passed on only " + std::to_string(result) + " of " +
                    std::to_string(length) + " bytes");
    }
    return true;
}

std::optional<std::size_t> HidrawConnection::GetInputReport(std::uint8_t reportId,
                                                            std::uint32_t requestedLength,
                                                            std::span<std::uint8_t> buffer) {
    lastError_.clear();
    const std::size_t length = HidrawIoctlLength(reportId, requestedLength);
    if (!CheckIoctlLength("HIDIOCGINPUT", reportId, requestedLength, length)) {
        return std::nullopt;
    }

    // The kernel writes up to `length` bytes, which may well exceed the caller's buffer.
    if (inputBuffer_.size() < length) {
        inputBuffer_.resize(length);
    }
    const std::span<std::uint8_t> ioctlBuffer(inputBuffer_.data(), length);
    ioctlBuffer[0] = reportId;
    const int result = IoctlRetryingEintr(HIDIOCGINPUT(length), ioctlBuffer.data());
    if (result < 0) {
        Fail(Describe("HIDIOCGINPUT", reportId, requestedLength) +
             " failed: " + ExplainReportError(-result));
        return std::nullopt;
    }
    const auto reply = ReplyInIoctlBuffer(reportId, ioctlBuffer, static_cast<std::size_t>(result));
    const std::size_t placed = std::min(reply.size(), buffer.size());
    std::copy_n(reply.begin(), placed, buffer.begin());
    return placed;
}

std::string HidrawConnection::LastError() const {
    return lastError_;
}

bool HidrawConnection::GetAttributes(HiddAttributes& attributes) {
    attributes = attributes_;
    return true;
}

bool HidrawConnection::GetReportDescriptor(std::vector<std::uint8_t>& descriptor) {
    descriptor = descriptor_;
    return true;
}

int HidrawConnection::IoctlRetryingEintr(unsigned long request, void* argument) {
    int result = 0;
    do {
        result = system_->Ioctl(fd_, request, argument);
    } while (result == -EINTR);
    return result;
}

bool HidrawConnection::CheckIoctlLength(const char* request, std::uint8_t reportId,
                                        std::size_t length, std::size_t ioctlLength) {
    if (ioctlLength >= kMinHidrawIoctlLength && ioctlLength <= kMaxHidrawIoctlLength) {
        return true;
    }
    return Fail(Describe(request, reportId, length) + ": refused, the hidraw request would be " +
                std::to_string(ioctlLength) + " bytes long (report ID 0 adds one) and must be " +
                std::to_string(kMinHidrawIoctlLength) + " to " +
                std::to_string(kMaxHidrawIoctlLength) + " bytes");
}

// Built only on failure, so that a successful exchange allocates nothing.
std::string HidrawConnection::Describe(const char* request, std::uint8_t reportId,
                                       std::size_t length) const {
    return std::string(request) + " on " + path_ + " (report ID " + std::to_string(reportId) +
           ", length " + std::to_string(length) + ")";
}

// The kernel sends an output report on the interface's interrupt OUT endpoint when there is
// one, and falls back to SET_REPORT on the control pipe only when there is none or when the
// device carries the usbhid quirk HID_QUIRK_NO_OUTPUT_REPORTS_ON_INTR_EP (0x40000).
void HidrawConnection::WarnOnceOfInterruptOut() {
    if (interruptOutWarned_ || !usb_ || usb_->interruptOutEndpoints == 0) {
        return;
    }
    interruptOutWarned_ = true;
    char quirk[64];
    std::snprintf(quirk, sizeof quirk, "usbhid.quirks=0x%04x:0x%04x:0x40000", usb_->idVendor,
                  usb_->idProduct);
    DebugOutput("hidraw: " + path_ +
                " has an interrupt OUT endpoint; the kernel sends output reports on it, not as "
                "SET_REPORT on the control pipe, unless the kernel runs with " +
                quirk + "\n");
}

bool HidrawConnection::Fail(std::string text) {
    lastError_ = std::move(text);
    DebugOutput("hidraw: " + lastError_ + "\n");
    return false;
}

}  // namespace brimlo::hid
