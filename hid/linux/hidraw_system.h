#pragma once
// Everything the hidraw stack asks of the operating system, behind one interface so that the
// report handling can be exercised without a device.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace brimlo::hid {

// One node of the hidraw class as udev lists it.
struct HidrawNode {
    std::string devnode;  // "/dev/hidraw3"
    unsigned int major = 0;
    unsigned int minor = 0;
};

// What sysfs tells about the USB interface behind a hidraw node.
struct UsbInterfaceInfo {
    std::uint16_t idVendor = 0;
    std::uint16_t idProduct = 0;
    std::uint16_t bcdDevice = 0;             // the device's release number
    unsigned int interruptOutEndpoints = 0;  // endpoints with direction out, type Interrupt
};

class HidrawSystem {
  public:
    virtual ~HidrawSystem() = default;

    // open(2): a descriptor, or -errno.
    virtual int Open(const std::string& path, int flags) = 0;
    virtual void Close(int fd) = 0;
    // ioctl(2): the call's non-negative result, or -errno.
    virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;

    // The hidraw class devices in whatever order udev gives them; an empty list when the
    // class is empty or absent. Nothing, with `error` set, when udev cannot be asked.
    virtual std::optional<std::vector<HidrawNode>> ListNodes(std::string& error) = 0;

    // The USB interface behind the node at `devnode`; nothing when the node does not sit on a
    // USB interface (Bluetooth, I2C, uhid) or sysfs does not describe it.
    virtual std::optional<UsbInterfaceInfo> DescribeUsbInterface(const std::string& devnode) = 0;

    // The USB port path and serial number of the device behind `devnode`; empty when it does
    // not sit on USB.
    virtual BoardLocation LocateUsbDevice(const std::string& /*devnode*/) { return {}; }
};

}  // namespace brimlo::hid
