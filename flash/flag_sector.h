#pragma once
// The flag sector's first byte tells the device whether the Firmware area holds a complete
// firmware: the burn sets it to 0 before writing the firmware and to 1 once the firmware
// compared equal, so an interrupted burn leaves the firmware marked invalid.

#include <array>
#include <cstdint>
#include <string>

#include "commands/uvc_hid_device.h"
#include "flash/flash_areas.h"

namespace brimlo::flash {

using FlagSector = std::array<std::uint8_t, kFlagSectorSize>;

// Reads the flag sector into `sector`, sets its first byte to `value` and writes it back with
// the other bytes as they were read. False with `error` when an exchange fails.
// Why this device cannot move the flag sector in one report each way (its flash reports are
// shorter than the sector); empty when it can.
std::string FlagSectorProblem(const UvcHidDevice& device);

bool SetFirmwareFlag(UvcHidDevice& device, std::uint8_t value, FlagSector& sector,
                     std::string& error);

}  // namespace brimlo::flash
