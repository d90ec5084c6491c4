#pragma once
// The serial flash parts the device firmware supports. The device identifies its chip itself and
// answers with a row number of this table, so host and firmware must number the parts alike.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace brimlo::flash {

struct FlashChip {
    // Identification columns: carried for reference, never compared by the host.
    std::uint16_t manufacturerId;
    std::uint8_t capacityId;
    std::uint8_t memoryType;
    std::uint8_t deviceId;  // legacy device ID; 0xFF where the part has none
    std::string_view name;
    std::uint32_t rowNumber;  // equals the row's position
    // Geometry.
    std::uint16_t pageSize;
    std::uint16_t pagesPerSector;
    std::uint32_t sectorSize;  // the erase unit
    std::uint16_t sectorsPerBlock;
    std::uint16_t blockCount;
    std::uint32_t totalSizeKb;  // the capacity the part is sold as, to cross-check the geometry
};

inline constexpr std::size_t kFlashChipCount = 44;

extern const std::array<FlashChip, kFlashChipCount> kFlashChipTable;

// The row with this number, or null when the number names no row.
const FlashChip* FindFlashChip(std::uint32_t rowNumber);

// Bytes on the chip: sectors per block × sector size × blocks.
constexpr std::uint32_t FlashSizeBytes(const FlashChip& chip) {
    return static_cast<std::uint32_t>(chip.sectorsPerBlock) * chip.sectorSize * chip.blockCount;
}

}  // namespace brimlo::flash
