#pragma once
// The hidraw stack's system calls on this machine: open, close and ioctl on the nodes, udev and
// sysfs for the listing and the USB details.

#include "hid/linux/hidraw_system.h"

namespace brimlo::hid {

class LinuxHidrawSystem final : public HidrawSystem {
  public:
    int Open(const std::string& path, int flags) override;
    void Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* argument) override;
    std::optional<std::vector<HidrawNode>> ListNodes(std::string& error) override;
    std::optional<UsbInterfaceInfo> DescribeUsbInterface(const std::string& devnode) override;
    BoardLocation LocateUsbDevice(const std::string& devnode) override;
};

}  // namespace brimlo::hid
