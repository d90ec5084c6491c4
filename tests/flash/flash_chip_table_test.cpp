#include "chips/flash_chip_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <tuple>

namespace brimlo::flash {
namespace {

// The table as the device firmware numbers it, written out here independently of the table
// under test: a wrong value in either shows up as a difference.
struct ExpectedChip {
    std::uint32_t rowNumber;
    std::string_view name;
    std::uint16_t manufacturerId;
    std::uint8_t capacityId;
    std::uint8_t memoryType;
    std::uint8_t deviceId;
    std::uint16_t pageSize;
    std::uint16_t pagesPerSector;
    std::uint32_t sectorSize;
    std::uint16_t sectorsPerBlock;
    std::uint16_t blockCount;
    std::uint32_t totalSizeKb;
};

// clang-format off
constexpr ExpectedChip kExpected[] = {
    {0, "AMIC__A25L032", 0x37, 0x16, 0x30, 0x15, 256, 256, 65536, 1, 64, 4096},
    {1, "AMIC__A25Q032", 0x37, 0x16, 0x40, 0x15, 256, 256, 65536, 1, 64, 4096},
    {2, "ATMEL_AT26DF161", 0x1F, 0x00, 0x46, 0xFF, 256, 256, 65536, 1, 32, 2048},
    {3, "ATMEL__AT26D321", 0x1F, 0x00, 0x47, 0xFF, 256, 256, 65536, 1, 64, 4096},
    {4, "BY_25Q64AS", 0x68, 0x17, 0x40, 0x16, 256, 256, 65536, 1, 128, 8192},
    {5, "BY_25Q128AS", 0x68, 0x18, 0x40, 0x17, 256, 256, 65536, 1, 256, 16384},
    {6, "EON__EN25P32", 0x1C, 0x16, 0x20, 0x15, 256, 256, 65536, 1, 64, 4096},
    {7, "EON__EN25B16", 0x1C, 0x15, 0x20, 0x34, 256, 256, 65536, 1, 32, 2048},
    {8, "EON__EN25B32", 0x1C, 0x16, 0x20, 0x35, 256, 256, 65536, 1, 64, 4096},
    {9, "EON__EN25B64", 0x1C, 0x17, 0x20, 0x36, 256, 256, 65536, 1, 128, 8192},
    {10, "EON__EN25F16", 0x1C, 0x15, 0x31, 0x14, 256, 256, 65536, 1, 32, 2048},
    {11, "EON__EN25F32", 0x1C, 0x16, 0x31, 0x15, 256, 256, 65536, 1, 64, 4096},
    {12, "EON_EN25Q16", 0x1C, 0x15, 0x30, 0x14, 256, 256, 65536, 1, 32, 2048},
    {13, "EON_EN25Q32A", 0x1C, 0x16, 0x30, 0x15, 256, 256, 65536, 1, 64, 4096},
    {14, "EON_EN25F80", 0x1C, 0x14, 0x31, 0x13, 256, 256, 65536, 1, 16, 1024},
    {15, "EON_EN25Q80A", 0x1C, 0x14, 0x30, 0x13, 256, 256, 65536, 1, 16, 1024},
    {16, "EON_EN25Q64", 0x1C, 0x17, 0x30, 0x16, 256, 256, 65536, 1, 128, 8192},
    {17, "EON_EN25QH32", 0x1C, 0x16, 0x70, 0x15, 256, 256, 65536, 1, 64, 4096},
    {18, "ES__ES25M16A", 0x4A, 0x15, 0x32, 0x14, 256, 256, 65536, 1, 32, 2048},
    {19, "ESMT_F25L16PA", 0x8C, 0x15, 0x20, 0x14, 256, 256, 65536, 1, 32, 2048},
    {20, "ESMT_F25L32Q", 0x8C, 0x16, 0x41, 0x15, 256, 256, 65536, 1, 64, 4096},
    {21, "MX__25L1605A", 0xC2, 0x15, 0x20, 0x14, 256, 256, 65536, 1, 32, 2048},
    {22, "MX__25L3205D", 0xC2, 0x16, 0x20, 0x15, 256, 256, 65536, 1, 64, 4096},
    {23, "MX__25L3235D", 0xC2, 0x16, 0x5E, 0x5E, 256, 256, 65536, 1, 64, 4096},
    {24, "MX__25L1635D", 0xC2, 0x15, 0x24, 0x24, 256, 256, 65536, 1, 32, 2048},
    {25, "MX_25L6445E", 0xC2, 0x17, 0x20, 0x16, 256, 256, 65536, 1, 128, 8192},
    {26, "MX_25L12835F", 0xC2, 0x18, 0x20, 0x17, 256, 256, 65536, 1, 256, 16384},
    {27, "MX_25L25735F", 0xC2, 0x19, 0x20, 0x18, 256, 256, 65536, 1, 512, 32768},
    {28, "MX_25L51245G", 0xC2, 0x1A, 0x20, 0x19, 256, 256, 65536, 1, 1024, 65536},
    {29, "GD_GD25Q64B", 0xC8, 0x17, 0x40, 0x16, 256, 256, 65536, 1, 128, 8192},
    {30, "GD_GD25Q32", 0xC8, 0x16, 0x40, 0x15, 256, 256, 65536, 1, 64, 4096},
    {31, "GD_GD25Q16", 0xC8, 0x15, 0x40, 0x14, 256, 256, 65536, 1, 32, 2048},
    {32, "GD_GD25Q128C", 0xC8, 0x18, 0x40, 0x17, 256, 16, 4096, 16, 256, 16384},
    {33, "GD_GD25Q512MC", 0xC8, 0x20, 0x40, 0x19, 256, 16, 4096, 16, 1024, 65536},
    {34, "NUMON_M25P20", 0x20, 0x12, 0x20, 0xFF, 256, 256, 65536, 1, 4, 256},
    {35, "NUMON_M25P32", 0x20, 0x16, 0x20, 0xFF, 256, 256, 65536, 1, 64, 4096},
    {36, "SPAN_S25FL016A", 0x01, 0x14, 0x02, 0xFF, 256, 256, 65536, 1, 32, 2048},
    {37, "SPAN_S25FL032A", 0x01, 0x15, 0x02, 0xFF, 256, 256, 65536, 1, 64, 4096},
    {38, "SST_25VF016B", 0xBF, 0x41, 0x25, 0x41, 512, 128, 65536, 1, 32, 2048},
    {39, "WIN__W25X16A", 0xEF, 0x15, 0x30, 0x14, 256, 256, 65536, 1, 32, 2048},
    {40, "WIN_W25X32V", 0xEF, 0x16, 0x30, 0x15, 256, 256, 65536, 1, 64, 4096},
    {41, "WIN_W25Q32BV", 0xEF, 0x16, 0x40, 0x15, 256, 256, 65536, 1, 64, 4096},
    {42, "WIN__W25Q64BV", 0xEF, 0x17, 0x40, 0x16, 256, 256, 65536, 1, 128, 8192},
    {43, "ZB_25VQ128", 0x5E, 0x18, 0x40, 0x17, 256, 256, 65536, 1, 256, 16384},
};
// clang-format on

// The columns of a row of either table, numbers printed as numbers.
auto Fields(const auto& c) {
    return std::tuple{
        +c.rowNumber,  c.name,        +c.manufacturerId, +c.capacityId, +c.memoryType,
        +c.deviceId,   +c.pageSize,   +c.pagesPerSector, +c.sectorSize, +c.sectorsPerBlock,
        +c.blockCount, +c.totalSizeKb};
}

TEST(FlashChipTable, EveryRowHoldsTheFirmwaresValues) {
    ASSERT_EQ(kFlashChipTable.size(), std::size(kExpected));
    for (const ExpectedChip& expected : kExpected) {
        SCOPED_TRACE(testing::Message() << "row " << expected.rowNumber << " " << expected.name);
        const FlashChip* chip = FindFlashChip(expected.rowNumber);
        ASSERT_NE(chip, nullptr);
        EXPECT_EQ(Fields(*chip), Fields(expected));
        EXPECT_EQ(FlashSizeBytes(*chip), expected.totalSizeKb * 1024u);
    }
}

// Rows are found by number only: the firmware can answer any 16-bit value.
TEST(FlashChipTable, NumbersPastTheTableFindNothing) {
    EXPECT_EQ(FindFlashChip(44), nullptr);
    EXPECT_EQ(FindFlashChip(0xFFFF), nullptr);
    EXPECT_EQ(FindFlashChip(0xFFFFFFFF), nullptr);
}

}  // namespace
}  // namespace brimlo::flash
