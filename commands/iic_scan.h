#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "commands/uvc_hid_device.h"

namespace brimlo {

// The 7-bit addresses a scan probes: 0x00-0x02 and 0x78-0x7f are reserved on the bus.
inline constexpr std::uint8_t kIicScanFirst = 0x03;
inline constexpr std::uint8_t kIicScanLast = 0x77;

// Probes every scanned address with an empty write; a zero return code means a device
// answered. `answered` gets their 8-bit device addresses, in order. On a failed exchange
// returns the 7-bit address it stopped at (the device's LastError says why).
std::optional<std::uint8_t> ScanIicBus(UvcHidDevice& device, std::vector<std::uint8_t>& answered);

}  // namespace brimlo
