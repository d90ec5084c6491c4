#pragma once
// Which flash range each kind of burn writes, and whether a burn file can serve it. Every
// check runs before anything is sent, so a file too short or a header that makes no sense is
// refused with a message instead of a half-written flash.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "flash/flash_areas.h"

namespace brimlo::flash {

enum class BurnTarget { EntireFlash, Firmware, Private, Customized };

// One range to burn. Its offset in the burn image equals its flash address.
struct BurnRegion {
    BurnTarget target = BurnTarget::EntireFlash;
    std::uint8_t accessMode = 0;
    std::uint32_t address = 0;
    std::uint32_t length = 0;
    // Firmware only: Header_len, Boot_Size and their sum before rounding.
    std::uint32_t headerLen = 0;
    std::uint32_t bootSize = 0;
    std::uint64_t firmwareLength = 0;
};

// The chip the region must fit; 0 for either value means "not known" (an offline check), and
// the chip-size check is then skipped, but a firmware region needs the sector size.
struct ChipLimits {
    std::uint32_t sectorSize = 0;
    std::uint32_t flashSize = 0;
};

// Computes `target`'s region for `image` on the chip. False with `error` naming what is wrong
// and what to do when the image cannot serve it.
bool PlanRegion(BurnTarget target, std::span<const std::uint8_t> image, const ChipLimits& chip,
                BurnRegion& region, std::string& error);

// The Other Area target of area row `row`.
BurnTarget AreaTarget(std::size_t row);
// The caption of the control that chooses `target`: "Entire Flash", "Firmware"...
std::string_view TargetCaption(BurnTarget target);

// The choice of a burn at one moment: the whole flash, or the checked areas.
struct BurnSelection {
    bool entireFlash = true;
    std::array<bool, kFlashAreaCount> areas{};
};

// Checks every region `selection` burns. False with the first problem in `error`.
bool CheckBurnFile(std::span<const std::uint8_t> image, const ChipLimits& chip,
                   const BurnSelection& selection, std::string& error);

}  // namespace brimlo::flash
