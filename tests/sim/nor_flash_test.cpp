#include "sim/nor_flash.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "sim_wire.h"

namespace brimlo::sim {
namespace {

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> Bytes(const NorFlash& flash, std::uint32_t address,
                                std::uint32_t length) {
    std::vector<std::uint8_t> out(length);
    flash.Read(address, out);
    return out;
}

TEST(NorFlash, ProgrammingOnlyClearsBitsAndEraseSetsThem) {
    auto flash = NorFlash::InMemory(4096);
    EXPECT_EQ(Bytes(*flash, 0, 4), std::vector<std::uint8_t>(4, 0xFF)) << "a new chip is blank";

    const std::vector<std::uint8_t> first{0xF0, 0x0F, 0xAA, 0x00};
    flash->Program(100, first);
    EXPECT_EQ(Bytes(*flash, 100, 4), first);

    const std::vector<std::uint8_t> second{0x3C, 0xFF, 0x55, 0xFF};
    flash->Program(100, second);
    EXPECT_EQ(Bytes(*flash, 100, 4), (std::vector<std::uint8_t>{0x30, 0x0F, 0x00, 0x00}));

    flash->Erase(101, 2);
    EXPECT_EQ(Bytes(*flash, 100, 4), (std::vector<std::uint8_t>{0x30, 0xFF, 0xFF, 0x00}))
        << "erase touches its range only";
}

TEST(NorFlash, MappedFileIsThePlainArray) {
    testing::TempDir dir;
    const auto file = dir.Path() / "flash.bin";
    std::string error;
    {
        auto flash = NorFlash::MapFile(file, 8192, error);
        ASSERT_NE(flash, nullptr) << error;
        flash->Program(4096, testing::Pattern(16, 3));
        flash->Sync();
        // Another reader sees the bytes at their addresses while the array is still mapped.
        const std::vector<std::uint8_t> onDisk = ReadFile(file);
        ASSERT_EQ(onDisk.size(), 8192u);
        EXPECT_EQ(onDisk[0], 0xFF);
        EXPECT_EQ(std::vector<std::uint8_t>(onDisk.begin() + 4096, onDisk.begin() + 4112),
                  testing::Pattern(16, 3));
    }
    {
        // Reopened for a larger chip: kept bytes stay, the new part is blank.
        auto flash = NorFlash::MapFile(file, 16384, error);
        ASSERT_NE(flash, nullptr) << error;
        EXPECT_EQ(Bytes(*flash, 4096, 16), testing::Pattern(16, 3));
        EXPECT_EQ(Bytes(*flash, 8192, 8192), std::vector<std::uint8_t>(8192, 0xFF));
    }
    {
        auto flash = NorFlash::MapFile(file, 4096, error);
        ASSERT_NE(flash, nullptr) << error;
    }
    EXPECT_EQ(ReadFile(file).size(), 4096u) << "cut to a smaller chip";
}

}  // namespace
}  // namespace brimlo::sim
