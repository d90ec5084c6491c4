#pragma once

#include <array>
#include <cstdint>

#include "commands/uvc_hid_device.h"

namespace brimlo {

using FirmwareVersion = std::array<std::uint8_t, 4>;

// Reads registers 0x54, 0x58, 0x5C and 0x60 and keeps the low byte of each. Stops at the first
// failed read; `version` is then unchanged.
bool ReadFirmwareVersion(UvcHidDevice& device, FirmwareVersion& version);

}  // namespace brimlo
