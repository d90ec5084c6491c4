#pragma once
// Payload helpers shared by the command families: every multi-byte value in a report is
// little-endian, and every request starts from a cleared transfer buffer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace brimlo {

inline void PutLe32(std::span<std::uint8_t> buffer, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        buffer[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline std::uint32_t GetLe32(std::span<const std::uint8_t> bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

inline void Clear(std::span<std::uint8_t> buffer) {
    std::fill(buffer.begin(), buffer.end(), 0);
}

}  // namespace brimlo
