#pragma once
// The fixed layout of the flash as the burn knows it: the three areas that "Other Area" can
// burn, the flag sector that marks the firmware valid, and the firmware header fields.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace brimlo::flash {

struct FlashArea {
    std::uint32_t address;  // flash address, also the offset in the burn file
    std::uint32_t length;
    std::string_view name;     // as the closing text lists it, line break included
    std::string_view caption;  // the area's check box: what the progress shows
};

inline constexpr std::size_t kFirmwareArea = 0;
inline constexpr std::size_t kPrivateArea = 1;
inline constexpr std::size_t kCustomizedArea = 2;
inline constexpr std::size_t kFlashAreaCount = 3;

// Row i belongs to the i-th area check box. The Firmware row's length bounds the firmware; the
// burn takes the firmware's own length from its header.
inline constexpr std::array<FlashArea, kFlashAreaCount> kFlashAreas{{
    {0x180000, 0x370000, "- Firmware Area\n", "Firmware"},
    {0x4F0000, 0x10000, "- Private Area\n", "Private Data"},
    {0x500000, 0x300000, "- Customized Area\n", "Customized Data"},
}};
// The radio button of the whole-flash burn; a dump reads the entire flash too.
inline constexpr std::string_view kEntireFlashCaption = "Entire Flash";

// The areas end where an 8 MB part ends.
inline constexpr std::uint32_t kFlashAreasEnd = 0x800000;
// Names fit a 32-character field with its terminator.
inline constexpr std::size_t kMaxAreaNameLength = 31;

// True when the areas lie back to back from the first address to `end` and every name is
// short enough and ends in a line break.
constexpr bool FlashAreasAreConsistent(std::span<const FlashArea> areas, std::uint32_t end) {
    if (areas.empty()) {
        return false;
    }
    std::uint64_t next = areas.front().address;
    for (const FlashArea& area : areas) {
        if (area.address != next || area.length == 0 || area.name.empty() ||
            area.name.size() > kMaxAreaNameLength || area.name.back() != '\n' ||
            area.caption.empty()) {
            return false;
        }
        next = std::uint64_t{area.address} + area.length;
    }
    return next == end;
}

static_assert(FlashAreasAreConsistent(kFlashAreas, kFlashAreasEnd));

// The sector whose first byte says whether the firmware area holds a complete firmware.
inline constexpr std::uint32_t kFlagSectorAddress = 0x70000;
inline constexpr std::uint32_t kFlagSectorSize = 4096;
inline constexpr std::uint8_t kFlagFirmwareInvalid = 0;
inline constexpr std::uint8_t kFlagFirmwareValid = 1;

// Big-endian fields of the firmware header at the start of the Firmware area.
inline constexpr std::uint32_t kHeaderLenOffset = 12;
inline constexpr std::uint32_t kBootSizeOffset = 16;
inline constexpr std::uint32_t kFirmwareHeaderEnd = 20;

}  // namespace brimlo::flash
