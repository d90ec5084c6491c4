#include <gtest/gtest.h>

#include "capture_debug.h"
#include "flash/dump_file.h"
#include "flash/dump_sequence.h"
#include "flash/flash_messages.h"
#include "flash/verify_sequence.h"
#include "flash_sim_fixture.h"

namespace brimlo::flash::testing {
namespace {

using brimlo::testing::CaptureDebug;

class VerifyTest : public FlashSimTest {};

// Verify reads every chosen region to its end, writes nothing, and reports the first
// difference with both bytes and how many bytes differ.
TEST_F(VerifyTest, ReportsFirstDifferenceAndCountWithoutWriting) {
    Start(4);
    const Bytes image = FlashImage(0x10000, 0x1, 0x42);
    sim->PokeFlash(0, image);
    const std::uint32_t firstBad = 0x180000 + 0x1F000;
    sim->PokeFlash(firstBad, Bytes{static_cast<std::uint8_t>(image[firstBad] + 1)});
    sim->PokeFlash(0x4F0000 + 5, Bytes{0x00, 0x00});
    sim->PokeFlash(0x4F0000 + 0xFFFF, Bytes{static_cast<std::uint8_t>(~image[0x4FFFFF])});

    const VerifyOutcome outcome =
        RunVerify(*device, image, identity, BurnSelection{false, {true, true, true}}, nullptr);
    ASSERT_TRUE(outcome.error.empty()) << outcome.error;
    EXPECT_TRUE(std::all_of(wire.dataReportsAfter.begin(), wire.dataReportsAfter.end(),
                            [](std::size_t n) { return n == 0; }));
    ASSERT_EQ(outcome.regions.size(), 3u);
    const CompareReport& firmware = outcome.regions[0].compare;
    EXPECT_EQ(outcome.regions[0].region.length, 0x20000u);
    EXPECT_TRUE(firmware.mismatch);
    EXPECT_EQ(firmware.firstDifference, firstBad);
    EXPECT_EQ(firmware.expected, image[firstBad]);
    EXPECT_EQ(firmware.found, static_cast<std::uint8_t>(image[firstBad] + 1));
    EXPECT_EQ(firmware.differingBytes, 1u);
    const CompareReport& privateArea = outcome.regions[1].compare;
    EXPECT_EQ(privateArea.firstDifference, 0x4F0005u);
    EXPECT_EQ(privateArea.differingBytes, 3u);
    EXPECT_FALSE(outcome.regions[2].compare.mismatch);
    EXPECT_TRUE(outcome.Differs());

    sim->PokeFlash(0, image);
    EXPECT_FALSE(RunVerify(*device, image, identity, BurnSelection{}, nullptr).Differs());
}

TEST_F(VerifyTest, StoppedReadIsAnErrorNotAMatch) {
    Start(4);
    sim::SimFaults faults;
    faults.failExchange = 5;
    sim->SetFaults(faults);
    const VerifyOutcome outcome =
        RunVerify(*device, Pattern(0x100000, 3), identity, BurnSelection{}, nullptr);
    EXPECT_NE(outcome.error.find("Reading the flash back failed"), std::string::npos)
        << outcome.error;
    EXPECT_TRUE(outcome.regions.empty());
}

class DumpTest : public FlashSimTest {
  protected:
    DumpOutcome DumpInto(const std::filesystem::path& path) {
        DumpFile file(boxes);
        std::string error;
        EXPECT_TRUE(file.Open(path, error)) << error;
        const DumpOutcome outcome = RunDump(*device, identity, file, boxes, &progress);
        file.Close();
        return outcome;
    }
    TempDir dir;
};

TEST_F(DumpTest, EightMegabyteChipDumpsExactlyItsContents) {
    Start(4);
    const Bytes contents = Pattern(8 * 1024 * 1024, 0x29);
    sim->PokeFlash(0, contents);
    CaptureDebug debug;
    const DumpOutcome outcome = DumpInto(dir.path / "dump.bin");
    const Bytes dumped = TempDir::Read(dir.path / "dump.bin");
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(dumped.size(), 8388608u);
    EXPECT_TRUE(dumped == contents);
    EXPECT_EQ(wire.setUps, (std::vector<WireRegion>{{kAccessEntireFlash, 0, 8388608}}));
    EXPECT_EQ(progress.lastDone, 8388608u);
    EXPECT_EQ(progress.statuses.front(), "Status: Read");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Dump firmware has finished!");
    EXPECT_EQ(boxes.shown[0].caption, "Info");
    EXPECT_NE(std::find(debug.lines.begin(), debug.lines.end(), "FlashRead -- Read data OK.\n"),
              debug.lines.end());
}

// With 996-byte chunks a 256 KB chip ends in a part chunk, which adds only what is left.
TEST_F(DumpTest, LastPartChunkAddsOnlyTheRemainingBytes) {
    sim::SimConfig config;
    config.chipRow = 34;
    config.outputReportLengths = {1000, 64, 64};
    config.inputReportLengths = {1000, 64, 64};
    Start(config);
    ASSERT_NE(identity.flashSize % device->ChunkSize(), 0u);
    const Bytes contents = Pattern(identity.flashSize, 0x5B);
    sim->PokeFlash(0, contents);
    EXPECT_TRUE(DumpInto(dir.path / "dump.bin").completed);
    EXPECT_TRUE(TempDir::Read(dir.path / "dump.bin") == contents);
}

TEST_F(DumpTest, FailedSetUpLeavesTheFileEmptyAndSaysWhy) {
    Start(4);
    sim::SimFaults faults;
    faults.failExchange = 1;
    sim->SetFaults(faults);
    EXPECT_FALSE(DumpInto(dir.path / "dump.bin").completed);
    EXPECT_TRUE(TempDir::Read(dir.path / "dump.bin").empty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_NE(boxes.shown[0].text.find("Setting up the dump failed"), std::string::npos);
    EXPECT_EQ(progress.statuses.back(), "Status: Wait");
}

// A read that fails part-way keeps the chunks read before it; a full disk shows only its own
// box.
TEST_F(DumpTest, StoppedDumpKeepsWhatItReadAndShowsOneBox) {
    Start(4);
    const Bytes contents = Pattern(identity.flashSize, 0x3C);
    sim->PokeFlash(0, contents);
    sim::SimFaults faults;
    faults.failExchange = 3 + 10;  // mode, length, ten chunks
    sim->SetFaults(faults);
    DumpOutcome outcome = DumpInto(dir.path / "dump.bin");
    const Bytes dumped = TempDir::Read(dir.path / "dump.bin");
    EXPECT_EQ(dumped.size(), 10u * device->ChunkSize());
    EXPECT_TRUE(std::equal(dumped.begin(), dumped.end(), contents.begin()));
    EXPECT_EQ(outcome.bytesDumped, dumped.size());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Error");

    boxes.shown.clear();
    sim->SetFaults({});
    EXPECT_FALSE(DumpInto("/dev/full").completed);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, kDiskFullCaption);
}

}  // namespace
}  // namespace brimlo::flash::testing
