#include "flash/flash_chip_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

namespace brimlo::flash {
namespace {

// Every row must be self-consistent and unique: the firmware numbers parts by position, and the
// host derives sizes from the geometry columns (a sector divides the 64 KB block, so it and
// the page are powers of two), so a typo in one column shows up here.
TEST(FlashChipTable, EveryRowIsConsistentAndFoundByItsNumberOnly) {
    std::set<std::string_view> names;
    std::set<std::tuple<int, int, int, int>> ids;
    for (std::uint32_t i = 0; i < kFlashChipCount; ++i) {
        const FlashChip& chip = kFlashChipTable[i];
        SCOPED_TRACE(testing::Message() << "row " << i << " " << chip.name);
        EXPECT_EQ(chip.rowNumber, i);
        EXPECT_EQ(FindFlashChip(i), &chip);
        EXPECT_TRUE(names.insert(chip.name).second);
        EXPECT_TRUE(
            ids.emplace(chip.manufacturerId, chip.capacityId, chip.memoryType, chip.deviceId)
                .second);
        EXPECT_LE(chip.manufacturerId, 0xFF) << "JEDEC manufacturer codes are one byte";
        EXPECT_EQ(static_cast<std::uint32_t>(chip.pageSize) * chip.pagesPerSector, chip.sectorSize);
        EXPECT_EQ(chip.sectorsPerBlock * chip.sectorSize, 64u * 1024);
        EXPECT_EQ(FlashSizeBytes(chip), chip.totalSizeKb * 1024u);
    }
    EXPECT_EQ(FindFlashChip(kFlashChipCount), nullptr);
    EXPECT_EQ(FindFlashChip(0xFFFFFFFF), nullptr);
}

}  // namespace
}  // namespace brimlo::flash
