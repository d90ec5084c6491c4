#pragma once
// Plays the kernel for the hidraw stack's tests: nodes that open or refuse, and report ioctls
// that treat report ID 0 the way usbhid does. Every GET_REPORT is answered with `reply`.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hid/linux/hidraw_system.h"

namespace brimlo::hid::testing {

class FakeHidrawSystem final : public HidrawSystem {
  public:
    struct Node {
        int openErrno = 0;
        std::int16_t vendor = 0;  // hidraw_devinfo keeps the identifiers signed
        std::int16_t product = 0;
        std::vector<std::uint8_t> descriptor;
        int rawInfoErrno = 0;
        int descriptorErrno = 0;
        std::optional<UsbInterfaceInfo> usb;
    };
    // A GET_REPORT as the device saw it.
    struct GetReportSeen {
        std::uint8_t reportId = 0;
        std::size_t ioctlLength = 0;
        std::size_t wLength = 0;
        std::size_t bufferCapacity = 0;  // usable bytes of the heap block handed to the ioctl
    };
    // An output report as the device saw it.
    struct OutputSeen {
        std::size_t ioctlLength = 0;
        std::vector<std::uint8_t> wire;
        std::size_t bufferCapacity = 0;
    };

    std::map<std::string, Node> nodes;
    std::optional<std::vector<HidrawNode>> listing = std::vector<HidrawNode>{};
    std::string listingError;
    std::vector<std::uint8_t> reply;
    std::deque<int> reportErrnos;  // errnos for the next report ioctls, one each
    bool recording = true;         // off when a test counts allocations

    std::vector<GetReportSeen> gets;
    std::vector<OutputSeen> outputs;
    std::set<int> openFds;
    int reportIoctls = 0;  // report ioctls issued, failed ones included

    int Open(const std::string& path, int flags) override;
    void Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* argument) override;
    std::optional<std::vector<HidrawNode>> ListNodes(std::string& error) override;
    std::optional<UsbInterfaceInfo> DescribeUsbInterface(const std::string& devnode) override;

  private:
    int NodeIoctl(const Node& node, unsigned long request, void* argument);
    int ReportIoctl(unsigned long request, std::uint8_t* buffer);

    std::map<int, std::string> fdPaths_;
    int nextFd_ = 3;
};

}  // namespace brimlo::hid::testing
