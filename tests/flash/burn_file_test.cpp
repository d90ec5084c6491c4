#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "capture_debug.h"
#include "flash/burn_image.h"
#include "flash/burn_plan.h"
#include "flash_sim_fixture.h"

namespace brimlo::flash::testing {
namespace {

using brimlo::testing::CaptureDebug;

constexpr ChipLimits k64KChip{65536, 8 * 1024 * 1024};
constexpr ChipLimits k4KChip{4096, 16 * 1024 * 1024};
constexpr std::uint32_t kFirmware = 0x180000;

bool Plan(BurnTarget target, const Bytes& image, const ChipLimits& chip, BurnRegion& region,
          std::string& error) {
    return PlanRegion(target, image, chip, region, error);
}

TEST(BurnFileVersion, FourBytesBackwardsEachTwoLowerCaseDigits) {
    Bytes image = Pattern(64, 3);
    image[28] = 0x00;
    image[29] = 0x01;
    image[30] = 0x0A;
    image[31] = 0x80;
    EXPECT_EQ(VersionText(image), "80.0a.01.00");
    EXPECT_EQ(VersionText(std::span(image).first(32)), "80.0a.01.00");
    EXPECT_EQ(VersionText(std::span(image).first(31)), std::nullopt);
    EXPECT_EQ(VersionText({}), std::nullopt);
}

TEST(BurnFileLoad, ReadsTheWholeFileOrRefusesWithTheReason) {
    TempDir dir;
    const Bytes bytes = Pattern(100000, 9);
    CaptureDebug debug;
    BurnImage image;
    std::string error;
    ASSERT_TRUE(LoadBurnImage(dir.Write("fw.bin", bytes), image, error)) << error;
    EXPECT_EQ(image.bytes, bytes);
    EXPECT_EQ(debug.lines.back(), "FileSize READ = [0] [100000]\n");

    const BurnImage kept = image;
    EXPECT_FALSE(LoadBurnImage(dir.path / "missing.bin", image, error));
    EXPECT_NE(error.find("missing.bin"), std::string::npos) << error;
    EXPECT_FALSE(LoadBurnImage(dir.path, image, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_EQ(image.bytes, kept.bytes);
}

// A file of 4 GB is refused from its size alone, before anything is read or allocated.
TEST(BurnFileLoad, RefusesFilesOfFourGigabytes) {
    TempDir dir;
    const std::filesystem::path path = dir.path / "huge.bin";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const bool sparse = ::ftruncate(fd, 0x100000000LL) == 0;
    ::close(fd);
    if (!sparse) {
        GTEST_SKIP() << "this file system cannot hold a sparse 4 GB file";
    }
    BurnImage image;
    std::string error;
    EXPECT_FALSE(LoadBurnImage(path, image, error));
    EXPECT_NE(error.find("4 GB"), std::string::npos) << error;
    EXPECT_TRUE(image.bytes.empty());
}

TEST(BurnPlan, FirmwareLengthIsRoundedToTheChipsSectors) {
    const Bytes image = FlashImage(0x10000, 0x1);
    BurnRegion region;
    std::string error;
    ASSERT_TRUE(Plan(BurnTarget::Firmware, image, k64KChip, region, error)) << error;
    EXPECT_EQ(region.accessMode, kAccessFirmware);
    EXPECT_EQ(region.address, kFirmware);
    EXPECT_EQ(region.length, 0x20000u);
    EXPECT_EQ(region.firmwareLength, 0x10001u);
    ASSERT_TRUE(Plan(BurnTarget::Firmware, image, k4KChip, region, error)) << error;
    EXPECT_EQ(region.length, 0x11000u);

    // Exactly whole sectors stay as they are.
    ASSERT_TRUE(Plan(BurnTarget::Firmware, FlashImage(0x8000, 0x8000), k64KChip, region, error));
    EXPECT_EQ(region.length, 0x10000u);
}

// Each way a burn file can fail the chosen burn is refused before anything is sent, with a
// message naming the problem.
TEST(BurnPlan, RefusesFilesThatCannotServeTheBurn) {
    struct Case {
        const char* what;
        BurnTarget target;
        Bytes image;
        ChipLimits chip;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"under 32 bytes", BurnTarget::EntireFlash, Pattern(31, 1), k64KChip, "at least 32"},
        {"larger than the chip", BurnTarget::EntireFlash, Pattern(0x40001, 1),
         ChipLimits{65536, 0x40000}, "not meant for this flash chip"},
        {"header cut off", BurnTarget::Firmware, Pattern(kFirmware + 19, 1), k64KChip,
         "too short for the Firmware area"},
        {"firmware past the file", BurnTarget::Firmware,
         FlashImage(0x40000, 0x1, 1, kFirmware + 0x40000), k64KChip,
         "too short for the Firmware area"},
        {"sum overflows 32 bits", BurnTarget::Firmware, FlashImage(0xFFFFFFFF, 0xFFFFFFFF),
         k64KChip, "does not fit 32 bits"},
        {"rounding overflows 32 bits", BurnTarget::Firmware, FlashImage(0xFFFF0001, 0), k64KChip,
         "does not fit 32 bits"},
        {"empty firmware", BurnTarget::Firmware, FlashImage(0, 0), k64KChip, "empty"},
        {"firmware into the Private area", BurnTarget::Firmware, FlashImage(0x370000, 1), k64KChip,
         "would overwrite the Private area"},
        {"no sector size", BurnTarget::Firmware, FlashImage(1, 1), ChipLimits{0, 0}, "Get ID"},
        {"Private area cut off", BurnTarget::Private, Pattern(0x4FFFFF, 1), k64KChip,
         "too short for the Private area"},
        {"Customized area cut off", BurnTarget::Customized, Pattern(0x7FFFFF, 1), k64KChip,
         "too short for the Customized area"},
        {"Customized area past a 4 MB chip", BurnTarget::Customized, Pattern(0x800000, 1),
         ChipLimits{65536, 0x400000}, "not meant for this flash chip"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BurnRegion region;
        std::string error;
        EXPECT_FALSE(Plan(c.target, c.image, c.chip, region, error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

TEST(BurnPlan, CheckCoversEveryChosenRegionAndOnlyThose) {
    // A file that ends inside the Customized area serves Firmware and Private, not Customized.
    const Bytes image = FlashImage(0x10000, 0x1, 5, 0x600000);
    std::string error;
    BurnSelection selection{false, {true, true, false}};
    EXPECT_TRUE(CheckBurnFile(image, k64KChip, selection, error)) << error;
    selection.areas[kCustomizedArea] = true;
    EXPECT_FALSE(CheckBurnFile(image, k64KChip, selection, error));
    EXPECT_NE(error.find("Customized"), std::string::npos) << error;
    EXPECT_TRUE(CheckBurnFile(image, k64KChip, BurnSelection{}, error)) << error;
}

// The table check itself catches the faults a table edit could make.
TEST(FlashAreaTable, ConsistencyCheckCatchesGapsOverlapsAndNames) {
    EXPECT_TRUE(FlashAreasAreConsistent(kFlashAreas, kFlashAreasEnd));
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
