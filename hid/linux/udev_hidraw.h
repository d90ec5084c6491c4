#pragma once
// The libudev look-ups of the hidraw stack: the nodes of the hidraw class, and the USB
// interface and device that a node belongs to.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "hid/linux/hidraw_system.h"

namespace brimlo::hid {

// The hidraw class devices in udev's order. Nothing, with `error` naming the failing call,
// when udev cannot be set up or scanned; an empty list when the class is empty or absent.
std::optional<std::vector<HidrawNode>> ListHidrawNodesWithUdev(std::string& error);

struct UsbSysfsDirectories {
    std::filesystem::path interfaceDir;  // the usb_interface the HID driver is bound to
    std::filesystem::path deviceDir;     // the usb_device above it
};

// The USB interface and device above the character device `devnum`; nothing when the node is
// unknown to udev or does not sit on USB.
std::optional<UsbSysfsDirectories> FindUsbSysfsDirectories(dev_t devnum);

}  // namespace brimlo::hid
