#pragma once
// Get ID: which flash chip the device carries, its geometry, and the "Flash Information" texts.
// The device identifies the chip itself and answers with its row of the chip table.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "chips/flash_chip_table.h"
#include "commands/uvc_hid_device.h"

namespace brimlo::flash {

// The chip index before any successful Get ID.
inline constexpr std::uint16_t kNoChipIndex = 0xFFFF;

struct FlashGeometry {
    std::uint16_t pageSize = 0;
    std::uint16_t pagesPerSector = 0;
    std::uint32_t sectorSize = 0;
    std::uint16_t sectorsPerBlock = 0;
    std::uint16_t blockCount = 0;
};

// What Get ID leaves for the burn and the dump. Only a successful Get ID changes it.
struct FlashIdentity {
    std::uint16_t chipIndex = kNoChipIndex;
    FlashGeometry geometry;
    std::uint32_t flashSize = 0;  // sectors per block × sector size × blocks

    constexpr bool Identified() const { return chipIndex != kNoChipIndex; }
    std::uint32_t SectorSize() const { return geometry.sectorSize; }
};

// Takes the device's answer. An answer that names no row of the chip table is refused with
// `error` set, and `identity` keeps the previous identification.
bool AcceptChipIndex(std::uint16_t answer, FlashIdentity& identity, std::string& error);

// Asks the device for its chip (REPORT_FLASH_GET_ID) and takes the answer. On failure `error`
// says why and `identity` is unchanged.
bool IdentifyFlash(UvcHidDevice& device, FlashIdentity& identity, std::string& error);

// One field of the "Flash Information" group.
struct InfoField {
    std::string_view label;
    std::string text;
};
inline constexpr std::size_t kInfoFieldCount = 8;

// The eight fields as Get ID fills them (an empty name before any identification).
std::array<InfoField, kInfoFieldCount> FlashInformation(const FlashIdentity& identity);

}  // namespace brimlo::flash
