#pragma once
// Packs values of a given bit size into a report's bit array, least significant bit first.

#include <cstdint>
#include <span>
#include <vector>

namespace brimlo::hid {

inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 14;

struct PackedBitArray {
    bool ok = false;
    std::uint32_t error = 0;  // kErrorInvalidParameter or kErrorNotEnoughMemory on failure
    std::vector<std::uint8_t> bytes;
};

// Writes at most `reportCount` of `values`, each masked to its low `bitSize` bits, one after
// the other into a zeroed block of ceil(bitSize * reportCount / 8) bytes.
PackedBitArray PackBitArray(std::span<const std::uint32_t> values, std::uint32_t bitSize,
                            std::uint32_t reportCount);

}  // namespace brimlo::hid
