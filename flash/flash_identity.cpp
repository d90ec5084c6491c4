#include "flash/flash_identity.h"

#include "hid/debug_output.h"

namespace brimlo::flash {

bool AcceptChipIndex(std::uint16_t answer, FlashIdentity& identity, std::string& error) {
    const FlashChip* chip = FindFlashChip(answer);
    if (chip == nullptr) {
        error = "The device reports flash chip " + std::to_string(answer) +
                ", which is not in this tool's table of " + std::to_string(kFlashChipCount) +
                " supported chips (0 to " + std::to_string(kFlashChipCount - 1) +
                "). The flash cannot be burned or dumped; check the board's flash chip or use a "
                "newer tool." +
                (identity.Identified() ? " The previous identification (chip " +
                                             std::to_string(identity.chipIndex) + ") stays."
                                       : std::string());
        return false;
    }
    identity.chipIndex = answer;
    identity.geometry = {chip->pageSize, chip->pagesPerSector, chip->sectorSize,
                         chip->sectorsPerBlock, chip->blockCount};
    identity.flashSize = FlashSizeBytes(*chip);
    return true;
}

bool IdentifyFlash(UvcHidDevice& device, FlashIdentity& identity, std::string& error) {
    std::uint16_t answer = 0;
    if (!device.ReadFlashChipIndex(answer)) {
        error = device.LastError();
        return false;
    }
    hid::DebugPrintf("Device ID: %d\n", answer);
    return AcceptChipIndex(answer, identity, error);
}

std::array<InfoField, kInfoFieldCount> FlashInformation(const FlashIdentity& identity) {
    const FlashChip* chip = FindFlashChip(identity.chipIndex);
    const FlashGeometry& g = identity.geometry;
    const std::uint32_t pagesPerSector = g.pageSize != 0 ? g.sectorSize / g.pageSize : 0;
    return {{
        {"Device Name :", chip != nullptr ? std::string(chip->name) : std::string()},
        {"Page Size     :", std::to_string(g.pageSize) + " bytes"},
        {"Sector Size   :", std::to_string(g.sectorSize) + " bytes"},
        {"Total Block    :", std::to_string(g.blockCount)},
        {"Device ID            :", std::to_string(identity.chipIndex)},
        {"Pages per Sector :", std::to_string(pagesPerSector)},
        {"Sectors per block :", std::to_string(g.sectorsPerBlock)},
        {"Total Size           :", std::to_string(identity.flashSize >> 10) + " KB"},
    }};
}

}  // namespace brimlo::flash
