// The flash array kept in a file mapped into memory: bytes written through the mapping are the
// file's bytes, exactly, and are there for the next process and for any other mapping at once.

#include <gtest/gtest.h>

#include "sim/nor_flash.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using testing::Bytes;

constexpr std::uint32_t kSize = 64 * 1024;

std::unique_ptr<NorFlash> MapOrDie(const std::filesystem::path& file, std::uint32_t size) {
    std::string error;
    auto flash = NorFlash::MapFile(file, size, error);
    if (!flash) {
        throw std::runtime_error(error);
    }
    return flash;
}

// Every byte value, line ends and the old end-of-file mark among them, at an odd address.
Bytes AllByteValues() {
    Bytes bytes(4 * 256);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 3 + i / 256);
    }
    return bytes;
}

TEST(FlashFile, AMissingFileIsCreatedBlankAtTheChipsSize) {
    testing::TempDir dir;
    MapOrDie(dir.path / "flash.bin", kSize);
    EXPECT_EQ(testing::TempDir::Read(dir.path / "flash.bin"), Bytes(kSize, 0xFF));
}

TEST(FlashFile, EveryByteValueSurvivesAReopenExactly) {
    testing::TempDir dir;
    const std::filesystem::path file = dir.path / "flash.bin";
    const Bytes bytes = AllByteValues();
    {
        auto flash = MapOrDie(file, kSize);
        flash->Program(0x1001, bytes);
        flash->Sync();
    }
    Bytes expected(kSize, 0xFF);
    std::copy(bytes.begin(), bytes.end(), expected.begin() + 0x1001);
    EXPECT_EQ(testing::TempDir::Read(file), expected)
        << "the file is the chip's image, byte for byte";

    auto reopened = MapOrDie(file, kSize);
    Bytes read(bytes.size());
    reopened->Read(0x1001, read);
    EXPECT_EQ(read, bytes);
    reopened->Erase(0x1000, 0x1000);
    reopened.reset();
    EXPECT_EQ(testing::TempDir::Read(file), Bytes(kSize, 0xFF)) << "the erase reached the file too";
}

TEST(FlashFile, TwoMappingsOfOneFileSeeEachOthersWritesAtOnce) {
    testing::TempDir dir;
    auto writer = MapOrDie(dir.path / "flash.bin", kSize);
    auto reader = MapOrDie(dir.path / "flash.bin", kSize);
    const Bytes bytes = AllByteValues();
    writer->Load(kSize - bytes.size(), bytes);
    Bytes read(bytes.size());
    reader->Read(kSize - bytes.size(), read);
    EXPECT_EQ(read, bytes);
}

// Names are UTF-8 text in the library and the system's own encoding at its calls.
TEST(FlashFile, ANameOutsideAsciiIsUsedAndReportedAsItIs) {
    testing::TempDir dir;
    const std::u8string name = u8"Zoë-闪存.bin";
    const std::filesystem::path file = dir.path / name;
    MapOrDie(file, kSize);
    EXPECT_TRUE(std::filesystem::exists(file));
    std::string error;
    EXPECT_EQ(NorFlash::MapFile(file, 2 * kSize, error), nullptr);
    EXPECT_NE(error.find(std::string(name.begin(), name.end()) + ": 65536 bytes"),
              std::string::npos)
        << error;
}

}  // namespace
}  // namespace brimlo::sim
