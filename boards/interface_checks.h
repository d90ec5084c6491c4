#pragma once
// The checks of `doctor` that any HID stack answers: for every interface with the device's
// identifiers, that it is there, that it opens for reading and writing, and that its three
// channels can carry the tool's commands, with their report lengths.

#include <cstdint>
#include <vector>

#include "hid/hid_platform.h"
#include "hid/setup_check.h"

namespace brimlo::boards {

// A "device" check first (failed when no interface has the identifiers), then "access" and,
// when it opened, "reports" for each interface.
std::vector<hid::SetupCheck> CheckInterfaces(hid::HidPlatform& platform, std::uint16_t vendorId,
                                             std::uint16_t productId);

}  // namespace brimlo::boards
