#include "flash/flash_chip_table.h"

#include <gtest/gtest.h>

#include <bit>
#include <cctype>
#include <set>
#include <string>
#include <tuple>

namespace brimlo::flash {
namespace {

// Every row must be self-consistent: the firmware numbers parts by position, and the host
// derives sizes from the geometry columns, so a typo in one column shows up here.
TEST(FlashChipTable, EveryRowIsConsistent) {
    constexpr std::uint32_t kBlockBytes = 64 * 1024;
    for (std::size_t i = 0; i < kFlashChipTable.size(); ++i) {
        const FlashChip& chip = kFlashChipTable[i];
        SCOPED_TRACE(testing::Message() << "row " << i << " " << chip.name);
        EXPECT_EQ(chip.rowNumber, i);
        EXPECT_FALSE(chip.name.empty());
        for (char c : chip.name) {
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '_') << c;
        }
        EXPECT_LE(chip.manufacturerId, 0xFF) << "JEDEC manufacturer codes are one byte";
        EXPECT_TRUE(std::has_single_bit(chip.pageSize));
        EXPECT_TRUE(std::has_single_bit(chip.sectorSize));
        EXPECT_EQ(static_cast<std::uint32_t>(chip.pageSize) * chip.pagesPerSector, chip.sectorSize);
        EXPECT_EQ(chip.sectorsPerBlock * chip.sectorSize, kBlockBytes);
        EXPECT_EQ(FlashSizeBytes(chip), chip.totalSizeKb * 1024u);
    }
}

TEST(FlashChipTable, NamesAndIdentificationsAreUnique) {
    std::set<std::string_view> names;
    std::set<std::tuple<int, int, int, int>> ids;
    for (const FlashChip& chip : kFlashChipTable) {
        EXPECT_TRUE(names.insert(chip.name).second) << chip.name;
        EXPECT_TRUE(
            ids.emplace(chip.manufacturerId, chip.capacityId, chip.memoryType, chip.deviceId)
                .second)
            << chip.name << " has the identification of an earlier row";
    }
}

TEST(FlashChipTable, FindsRowsByNumberOnly) {
    for (std::uint32_t i = 0; i < kFlashChipCount; ++i) {
        EXPECT_EQ(FindFlashChip(i), &kFlashChipTable[i]);
    }
    EXPECT_EQ(FindFlashChip(kFlashChipCount), nullptr);
    EXPECT_EQ(FindFlashChip(0xFFFF), nullptr);
    EXPECT_EQ(FindFlashChip(0xFFFFFFFF), nullptr);
}

// The three parts whose geometry differs from the 64 KB-sector norm, and the largest part,
// whose size must still fit the 32-bit flash size.
TEST(FlashChipTable, OddGeometriesAndLargestPart) {
    const FlashChip* gd128 = FindFlashChip(32);
    ASSERT_NE(gd128, nullptr);
    EXPECT_EQ(gd128->name, "GD_GD25Q128C");
    EXPECT_EQ(gd128->sectorSize, 4096u);
    EXPECT_EQ(FlashSizeBytes(*gd128), 16u * 1024 * 1024);

    const FlashChip* sst = FindFlashChip(38);
    ASSERT_NE(sst, nullptr);
    EXPECT_EQ(sst->pageSize, 512);
    EXPECT_EQ(sst->sectorSize / sst->pageSize, 128u);

    EXPECT_EQ(FlashSizeBytes(*FindFlashChip(28)), 64u * 1024 * 1024);
    EXPECT_EQ(FlashSizeBytes(*FindFlashChip(34)), 256u * 1024);
}

}  // namespace
}  // namespace brimlo::flash
