#pragma once
// Where a USB device sits, read from its sysfs directory: the directory's name is the port
// path ("1-1.2": bus 1, port 1 of the root hub, port 2 of the hub there), and "serial" holds
// the serial number string when the device has one.

#include <filesystem>

#include "hid/hid_platform.h"

namespace brimlo::hid {

// The location of the USB device whose sysfs directory is `deviceDir`; an empty serial when
// the device has none or the file cannot be read.
BoardLocation ReadUsbLocation(const std::filesystem::path& deviceDir);

}  // namespace brimlo::hid
