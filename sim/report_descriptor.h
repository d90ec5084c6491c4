#pragma once
// The emulated device's HID report descriptor: one vendor-defined application collection with,
// per channel, a report ID carrying one 8-bit value array in each direction.

#include <cstdint>
#include <vector>

#include "sim/sim_config.h"

namespace brimlo::sim {

inline constexpr std::uint16_t kVendorUsagePage = 0xFF00;

// The descriptor for a valid `config`. Report counts are the configured lengths minus the
// report ID byte, so a parser reports exactly those lengths back.
std::vector<std::uint8_t> BuildReportDescriptor(const SimConfig& config);

}  // namespace brimlo::sim
