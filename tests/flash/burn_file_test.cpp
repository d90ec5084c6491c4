#include <gtest/gtest.h>

#include "capture_debug.h"
#include "flash/burn_image.h"
#include "flash/burn_plan.h"
#include "flash_test_data.h"

namespace brimlo::flash::testing {
namespace {

constexpr ChipLimits k64KChip{65536, 8 * 1024 * 1024};
constexpr ChipLimits k4KChip{4096, 16 * 1024 * 1024};
constexpr std::uint32_t kFirmware = 0x180000;

TEST(BurnFile, VersionIsFourBytesBackwardsEachTwoLowerCaseDigits) {
    Bytes image = Pattern(28, 3);
    image.insert(image.end(), {0x00, 0x01, 0x0A, 0x80});
    EXPECT_EQ(VersionText(image), "80.0a.01.00");
    EXPECT_EQ(VersionText(std::span(image).first(31)), std::nullopt);
}

// The whole file is read, or refused with the reason and the image kept; a file of 4 GB is
// refused from its size alone, before anything is read or allocated.
TEST(BurnFile, LoadReadsTheWholeFileOrRefusesWithTheReason) {
    TempDir dir;
    const Bytes bytes = Pattern(100000, 9);
    brimlo::testing::CaptureDebug debug;
    BurnImage image;
    std::string error;
    ASSERT_TRUE(LoadBurnImage(dir.Write("fw.bin", bytes), image, error)) << error;
    EXPECT_EQ(image.bytes, bytes);
    EXPECT_EQ(debug.lines, std::vector<std::string>{"FileSize READ = [0] [100000]\n"});

    std::ofstream(dir.path / "huge.bin").put('x');
    std::error_code noSparseFile;
    std::filesystem::resize_file(dir.path / "huge.bin", 0x100000000ull, noSparseFile);
    const std::pair<const char*, const char*> refusals[] = {
        {"missing.bin", "missing.bin"}, {"", "not a regular file"}, {"huge.bin", "4 GB"}};
    for (const auto& [name, reason] : refusals) {
        if (std::string(name) == "huge.bin" && noSparseFile) {
            continue;  // this file system cannot hold a sparse 4 GB file
        }
        EXPECT_FALSE(LoadBurnImage(dir.path / name, image, error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
        EXPECT_EQ(image.bytes, bytes);
    }
}

// Header_len + Boot_Size rounded up to the chip's sectors; whole sectors stay as they are.
TEST(BurnPlan, FirmwareLengthIsRoundedToTheChipsSectors) {
    for (const auto& [headerLen, bootSize, chip, length] :
         {std::tuple{0x10000u, 1u, k64KChip, 0x20000u}, std::tuple{0x10000u, 1u, k4KChip, 0x11000u},
          std::tuple{0x8000u, 0x8000u, k64KChip, 0x10000u}}) {
        BurnRegion region;
        std::string error;
        EXPECT_TRUE(
            PlanRegion(BurnTarget::Firmware, FlashImage(headerLen, bootSize), chip, region, error));
        EXPECT_EQ(region.length, length) << headerLen + bootSize << " in " << chip.sectorSize;
    }
}

// Each way a burn file can fail the chosen burn is refused with a message naming the problem.
TEST(BurnPlan, RefusesFilesThatCannotServeTheBurn) {
    struct Case {
        BurnTarget target;
        Bytes image;
        ChipLimits chip;
        const char* expected;
    };
    using enum BurnTarget;
    const Case cases[] = {
        {EntireFlash, Pattern(31, 1), k64KChip, "at least 32"},
        {EntireFlash, Pattern(0x40001, 1), ChipLimits{65536, 0x40000}, "not meant for this flash"},
        {Firmware, Pattern(kFirmware + 19, 1), k64KChip, "too short for the Firmware area"},
        {Firmware, FlashImage(0x40000, 1, 1, kFirmware + 0x40000), k64KChip,
         "too short for the Firmware area"},
        {Firmware, FlashImage(0xFFFF0001, 0), k64KChip, "does not fit 32 bits"},
        {Firmware, FlashImage(0, 0), k64KChip, "empty"},
        {Firmware, FlashImage(0x370000, 1), k64KChip, "would overwrite the Private area"},
        {Firmware, FlashImage(1, 1), ChipLimits{0, 0}, "Get ID"},
        {Private, Pattern(0x4FFFFF, 1), k64KChip, "too short for the Private area"},
        {Customized, Pattern(0x7FFFFF, 1), k64KChip, "too short for the Customized area"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        BurnRegion region;
        std::string error;
        EXPECT_FALSE(PlanRegion(c.target, c.image, c.chip, region, error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

TEST(FlashAreaTable, ConsistencyCheckCatchesGapsOverlapsAndNames) {
    auto areas = kFlashAreas;
    areas[1].length += 1;  // overlaps the Customized area
    EXPECT_FALSE(FlashAreasAreConsistent(areas, kFlashAreasEnd));
    areas = kFlashAreas;
    areas[2].name = "- Customized Area";  // no line break
    EXPECT_FALSE(FlashAreasAreConsistent(areas, kFlashAreasEnd));
    EXPECT_FALSE(FlashAreasAreConsistent(kFlashAreas, kFlashAreasEnd - 1));
}

}  // namespace
}  // namespace brimlo::flash::testing
