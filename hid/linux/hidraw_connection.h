#pragma once
// One open hidraw node: output reports go out with HIDIOCSOUTPUT, input reports come in with
// HIDIOCGINPUT (a GET_REPORT request on the control pipe). One exchange at a time: the
// connection's buffers are not guarded against concurrent use.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_platform.h"
#include "hid/linux/hidraw_system.h"

namespace brimlo::hid {

class HidrawConnection final : public HidConnection {
  public:
    // Takes ownership of `fd`, the open node at `path`, whose identity and report descriptor
    // have been read. `usb` describes the USB interface behind the node, when there is one.
    HidrawConnection(std::shared_ptr<HidrawSystem> system, int fd, std::string path,
                     const HiddAttributes& attributes, std::vector<std::uint8_t> descriptor,
                     std::optional<UsbInterfaceInfo> usb);
    ~HidrawConnection() override;
    HidrawConnection(const HidrawConnection&) = delete;
    HidrawConnection& operator=(const HidrawConnection&) = delete;

    bool SendOutputReport(std::span<const std::uint8_t> report) override;
    std::optional<std::size_t> GetInputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                              std::span<std::uint8_t> buffer) override;
    // The failure of the latest exchange; empty after one that succeeded.
    std::string LastError() const override;
    bool GetAttributes(HiddAttributes& attributes) override;
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) override;

  private:
    int IoctlRetryingEintr(unsigned long request, void* argument);
    bool CheckIoctlLength(const char* request, std::uint8_t reportId, std::size_t length,
                          std::size_t ioctlLength);
    std::string Describe(const char* request, std::uint8_t reportId, std::size_t length) const;
    void WarnOnceOfInterruptOut();
    bool Fail(std::string text);

    std::shared_ptr<HidrawSystem> system_;
    int fd_;
    std::string path_;
    HiddAttributes attributes_;
    std::vector<std::uint8_t> descriptor_;
    std::optional<UsbInterfaceInfo> usb_;
    // The ioctl buffers; each grows to the longest exchange seen and is then reused, so that
    // the kernel always has as many bytes as the length it is given and a steady stream of
    // exchanges allocates nothing.
    std::vector<std::uint8_t> outputBuffer_;
    std::vector<std::uint8_t> inputBuffer_;
    bool interruptOutWarned_ = false;
    std::string lastError_;
};

}  // namespace brimlo::hid
