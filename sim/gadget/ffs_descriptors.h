#pragma once
// The blobs a FunctionFS function writes to ep0 before it can be bound: its descriptors and
// its (empty) string table.

#include <cstdint>
#include <vector>

namespace brimlo::kernel_test {

inline constexpr std::uint8_t kInterruptInEndpoint = 0x81;
inline constexpr std::uint16_t kInterruptInMaxPacket = 64;

// One interface of class 3 (HID, no subclass, no protocol), the 9-byte HID class descriptor
// after it, and one interrupt IN endpoint, for full and high speed. There is no interrupt OUT
// endpoint, so usbhid sends output reports as SET_REPORT on the control pipe.
std::vector<std::uint8_t> BuildFunctionFsDescriptors(std::uint16_t reportDescriptorLength);

// A string table with no strings and no languages.
std::vector<std::uint8_t> BuildFunctionFsStrings();

}  // namespace brimlo::kernel_test
