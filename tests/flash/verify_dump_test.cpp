#include <gtest/gtest.h>

#include "capture_debug.h"
#include "flash/dump_file.h"
#include "flash/dump_sequence.h"
#include "flash/verify_sequence.h"
#include "flash_sim_fixture.h"

namespace brimlo::flash::testing {
namespace {

class VerifyTest : public FlashSimTest {};

// Verify reads every chosen region to its end, writes nothing, and reports the first
// difference with both bytes and how many bytes differ.
TEST_F(VerifyTest, ReportsFirstDifferenceAndCountWithoutWriting) {
    const Bytes image = FlashImage(0x10000, 0x1, 0x42);
    sim->PokeFlash(0, image);
    const std::uint32_t firstBad = 0x180000 + 0x1F000;  // past 0x10001, in the rounded length
    sim->PokeFlash(firstBad, Bytes{static_cast<std::uint8_t>(image[firstBad] + 1)});
    sim->PokeFlash(0x4F0000 + 5, Bytes{0x00, 0x00});
    sim->PokeFlash(0x4F0000 + 0xFFFF, Bytes{static_cast<std::uint8_t>(~image[0x4FFFFF])});

    const VerifyOutcome outcome =
        RunVerify(*device, image, identity, BurnSelection{false, {true, true, true}}, nullptr);
    ASSERT_TRUE(outcome.error.empty()) << outcome.error;
    EXPECT_EQ(wire.dataReportsAfter, (std::vector<std::size_t>{0, 0, 0}));
    ASSERT_EQ(outcome.regions.size(), 3u);
    const CompareReport& firmware = outcome.regions[0].compare;
    EXPECT_EQ(firmware.firstDifference, firstBad);
    EXPECT_EQ(firmware.expected, image[firstBad]);
    EXPECT_EQ(firmware.found, static_cast<std::uint8_t>(image[firstBad] + 1));
    EXPECT_EQ(firmware.differingBytes, 1u);
    EXPECT_EQ(outcome.regions[1].compare.firstDifference, 0x4F0005u);
    EXPECT_EQ(outcome.regions[1].compare.differingBytes, 3u);
    EXPECT_FALSE(outcome.regions[2].compare.mismatch);
    EXPECT_TRUE(outcome.Differs());
}

TEST_F(VerifyTest, StoppedReadIsAnErrorNotAMatch) {
    sim::SimFaults faults;
    faults.failExchange = 5;
    sim->SetFaults(faults);
    const VerifyOutcome outcome =
        RunVerify(*device, Pattern(0x100000, 3), identity, BurnSelection{}, nullptr);
    EXPECT_NE(outcome.error.find("Reading the flash back failed"), std::string::npos);
    EXPECT_TRUE(outcome.regions.empty());
}

// A 256 KB chip behind 1000-byte flash reports: 996-byte chunks, so the dump ends in a part
// chunk.
class DumpTest : public FlashSimTest {
  protected:
    void SetUp() override {
        sim::SimConfig config;
        config.chipRow = 34;
        config.outputReportLengths = config.inputReportLengths = {1000, 64, 64};
        Start(config);
        ASSERT_NE(identity.flashSize % device->ChunkSize(), 0u);
        contents = Pattern(identity.flashSize, 0x5B);
        sim->PokeFlash(0, contents);
    }
    DumpOutcome DumpInto(const std::filesystem::path& file) {
        DumpFile dump(boxes);
        std::string error;
        EXPECT_TRUE(dump.Open(file, error)) << error;
        const DumpOutcome outcome = RunDump(*device, identity, dump, boxes, &progress);
        dump.Close();
        return outcome;
    }
    TempDir dir;
    const std::filesystem::path path = dir.path / "dump.bin";
    Bytes contents;
};

TEST_F(DumpTest, DumpsExactlyTheChipsContents) {
    brimlo::testing::CaptureDebug debug;
    EXPECT_TRUE(DumpInto(path).completed);
    EXPECT_TRUE(TempDir::Read(path) == contents);
    EXPECT_EQ(wire.setUps, (std::vector<WireRegion>{{kAccessEntireFlash, 0, 262144}}));
    EXPECT_EQ(progress.lastDone, 262144u);
    EXPECT_EQ(progress.statuses.front(), "Status: Read");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Dump firmware has finished!");
    EXPECT_EQ(boxes.shown[0].caption, "Info");
    EXPECT_EQ(debug.lines.back(), "FlashRead -- Read data OK.\n");
}

// A failed set-up leaves the file empty; a read that fails part-way keeps the chunks read
// before it; each shows one error box.
TEST_F(DumpTest, StoppedDumpKeepsWhatItReadAndShowsOneBox) {
    struct Case {
        std::uint64_t failExchange;
        std::size_t chunksKept;
        const char* text;
    };
    for (const Case& c : {Case{1, 0, "Setting up the dump failed"},
                          Case{3 + 10, 10, "The dump stopped after"}}) {  // mode, length, chunks
        sim::SimFaults faults;
        faults.failExchange = c.failExchange;
        sim->SetFaults(faults);
        boxes.shown.clear();
        const DumpOutcome outcome = DumpInto(path);
        const Bytes dumped = TempDir::Read(path);
        EXPECT_FALSE(outcome.completed);
        EXPECT_EQ(dumped.size(), c.chunksKept * device->ChunkSize());
        EXPECT_TRUE(std::equal(dumped.begin(), dumped.end(), contents.begin()));
        EXPECT_EQ(outcome.bytesDumped, dumped.size());
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].caption, "Error");
        EXPECT_NE(boxes.shown[0].text.find(c.text), std::string::npos) << boxes.shown[0].text;
        EXPECT_EQ(progress.statuses.back(), "Status: Wait");
    }
}

// /dev/full answers every write with ENOSPC, as a full disk does: only the dump filter's box.
TEST_F(DumpTest, FullDiskShowsOnlyTheDumpFilterBox) {
    EXPECT_FALSE(DumpInto("/dev/full").completed);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "The disk containing dump file has run out of space, so the dump filter has been "
              "stopped.\r\n\r\nYou must set a new dump file name or restart the graph to clear "
              "this filter error.");
    EXPECT_EQ(boxes.shown[0].caption, "Dump Filter failure");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Warning);
}

}  // namespace
}  // namespace brimlo::flash::testing
