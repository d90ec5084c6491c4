#pragma once
// Reads what sysfs keeps about a USB interface and its device: the interface's endpoints and
// the device's identifiers and release number.

#include <filesystem>
#include <optional>

#include "hid/linux/hidraw_system.h"

namespace brimlo::hid {

// `interfaceDir` is the interface's sysfs directory (".../1-1:1.2"), with one "ep_XX"
// directory per endpoint holding "direction" and "type"; `deviceDir` is the USB device's
// directory holding "idVendor", "idProduct" and "bcdDevice". Nothing when the interface directory
// cannot be read.
std::optional<UsbInterfaceInfo> ReadUsbInterfaceInfo(const std::filesystem::path& interfaceDir,
                                                     const std::filesystem::path& deviceDir);

}  // namespace brimlo::hid
