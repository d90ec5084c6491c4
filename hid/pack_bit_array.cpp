#include "hid/pack_bit_array.h"

#include <algorithm>
#include <new>

namespace brimlo::hid {

PackedBitArray PackBitArray(std::span<const std::uint32_t> values, std::uint32_t bitSize,
                            std::uint32_t reportCount) {
    PackedBitArray packed;
    if (reportCount == 0 || bitSize == 0 || bitSize > 32) {
        packed.error = kErrorInvalidParameter;
        return packed;
    }
    const std::uint64_t totalBits = std::uint64_t{bitSize} * reportCount;
    try {
        packed.bytes.assign(static_cast<std::size_t>((totalBits + 7) / 8), 0);
    } catch (const std::bad_alloc&) {
        packed.error = kErrorNotEnoughMemory;
        return packed;
    }
    const std::uint64_t mask = bitSize == 32 ? 0xFFFFFFFFull : (1ull << bitSize) - 1;
    const std::size_t count = std::min<std::size_t>(values.size(), reportCount);
    std::uint64_t bit = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t value = values[i] & mask;
        for (std::uint32_t b = 0; b < bitSize; ++b, ++bit) {
            if ((value >> b) & 1u) {
                packed.bytes[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
            }
        }
    }
    packed.ok = true;
    return packed;
}

}  // namespace brimlo::hid
