#include <gtest/gtest.h>

#include <cerrno>

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

// A device whose flash input reports are shorter than a chunk cannot be read back: verify and
// dump refuse it before anything is exchanged.
TEST_F(VerifyTest, ShortFlashInputReportsAreRefusedBeforeAnyExchange) {
    sim::SimConfig config;
    config.inputReportLengths = {1000, 64, 64};
    Start(config);
    const auto exchanges = sim->ExchangeCount();
    const VerifyOutcome verify =
        RunVerify(*device, Pattern(0x100000, 3), identity, BurnSelection{}, nullptr);
    EXPECT_NE(verify.error.find("cannot compare or dump"), std::string::npos) << verify.error;
    TempDir dir;
    DumpFile file(boxes);
    std::string error;
    ASSERT_TRUE(file.Open(dir.path / "dump.bin", false, error)) << error;
    const DumpOutcome dump = RunDumpToFile(*device, identity, file, boxes, nullptr);
    EXPECT_FALSE(dump.completed);
    EXPECT_NE(dump.error.find("cannot compare or dump"), std::string::npos) << dump.error;
    EXPECT_EQ(sim->ExchangeCount(), exchanges);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
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
    DumpOutcome DumpInto(const std::filesystem::path& file, DumpFileIo io = {},
                         const StopRequest* stop = nullptr) {
        DumpFile dump(boxes, io);
        std::string error;
        EXPECT_TRUE(dump.Open(file, true, error)) << error;
        return RunDumpToFile(*device, identity, dump, boxes, &progress, stop);
    }
    // The one file in the folder besides the chosen name, if any.
    std::filesystem::path PartialFile() const {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
            if (entry.path() != path) {
                return entry.path();
            }
        }
        return {};
    }
    TempDir dir;
    const std::filesystem::path path = dir.path / "dump.bin";
    Bytes contents;
};

TEST_F(DumpTest, DumpsExactlyTheChipsContents) {
    brimlo::testing::CaptureDebug debug;
    const DumpOutcome outcome = DumpInto(path);
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.location, path.string());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
    EXPECT_TRUE(TempDir::Read(path) == contents);
    EXPECT_EQ(wire.setUps, (std::vector<WireRegion>{{kAccessEntireFlash, 0, 262144}}));
    EXPECT_EQ(progress.lastDone, 262144u);
    ASSERT_FALSE(progress.statuses.empty());
    EXPECT_EQ(progress.statuses.front(), "Status: Read");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Dump firmware has finished!");
    EXPECT_EQ(boxes.shown[0].caption, "Info");
    ASSERT_FALSE(debug.lines.empty());
    EXPECT_EQ(debug.lines.back(), "FlashRead -- Read data OK.\n");
}

// A failed set-up leaves no file; a read that fails part-way keeps the chunks read before it
// under the partial name, and the chosen name is not created; each shows one error box that
// says where the bytes are.
TEST_F(DumpTest, FailedDumpKeepsWhatItReadBesideTheChosenName) {
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
        EXPECT_FALSE(outcome.completed);
        EXPECT_FALSE(std::filesystem::exists(path));
        const std::filesystem::path partial = PartialFile();
        const Bytes dumped = partial.empty() ? Bytes{} : TempDir::Read(partial);
        EXPECT_EQ(dumped.size(), c.chunksKept * device->ChunkSize());
        EXPECT_TRUE(std::equal(dumped.begin(), dumped.end(), contents.begin()));
        EXPECT_EQ(outcome.bytesDumped, dumped.size());
        EXPECT_EQ(outcome.location, partial.string());
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].caption, "Error");
        EXPECT_NE(boxes.shown[0].text.find(c.text), std::string::npos) << boxes.shown[0].text;
        EXPECT_NE(boxes.shown[0].text.find(partial.empty()
                                               ? "No file was kept."
                                               : " bytes read were written to " + partial.string()),
                  std::string::npos)
            << boxes.shown[0].text;
        ASSERT_FALSE(progress.statuses.empty());
        EXPECT_EQ(progress.statuses.back(), "Status: Wait");
        if (!partial.empty()) {
            std::filesystem::remove(partial);
        }
    }
}

// A stop requested during the dump lets the report in flight finish and be stored, then ends
// the dump: the partial file holds exactly the chunks read, and the box says how many bytes
// and where they are.
TEST_F(DumpTest, StoppedDumpSaysHowManyBytesAndWhere) {
    struct StopAfterChunks final : FlashProgress {
        void StatusChanged(std::string_view) override {}
        void BurstStarted(std::uint32_t) override {}
        void BytesDone(std::uint32_t done) override {
            if (done >= limit) {
                stop.Request();
            }
        }
        std::uint32_t limit = 0;
        StopRequest stop;
    };
    StopAfterChunks stopper;
    stopper.limit = static_cast<std::uint32_t>(5 * device->ChunkSize());
    DumpFile file(boxes);
    std::string error;
    ASSERT_TRUE(file.Open(path, false, error)) << error;
    const DumpOutcome outcome =
        RunDumpToFile(*device, identity, file, boxes, &stopper, &stopper.stop);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(outcome.bytesDumped, stopper.limit);
    EXPECT_FALSE(std::filesystem::exists(path));
    const Bytes dumped = TempDir::Read(outcome.location);
    EXPECT_TRUE(dumped == Bytes(contents.begin(), contents.begin() + stopper.limit));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Stopped");
    EXPECT_EQ(boxes.shown[0].text,
              "The dump was stopped on request after 4980 of 262144 bytes. "
              "The 4980 bytes read were written to " +
                  outcome.location + ".");
}

// A full disk shows the dump filter's box, then the closing box: the disk is full, which file
// it was holding, and where the bytes written so far were kept. No file is left under the
// chosen name.
TEST_F(DumpTest, FullDiskShowsTheDumpFilterBoxThenWhereThePartialFileIs) {
    DumpFileIo io;
    io.write = [](int fd, const void* data, std::size_t count) -> std::ptrdiff_t {
        static int calls = 0;
        if (++calls > 2) {
            errno = ENOSPC;
            return -1;
        }
        return files::SystemWrite(fd, data, count);
    };
    const DumpOutcome outcome = DumpInto(path, io);
    EXPECT_FALSE(outcome.completed);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text,
              "The disk containing dump file has run out of space, so the dump filter has been "
              "stopped.\r\n\r\nYou must set a new dump file name or restart the graph to clear "
              "this filter error.");
    EXPECT_EQ(boxes.shown[0].caption, "Dump Filter failure");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Warning);
    EXPECT_NE(outcome.error.find("The disk holding the dump file " + path.string() +
                                 " is full after 1992 bytes. Free some space or choose a "
                                 "file on another disk, and dump again."),
              std::string::npos)
        << outcome.error;
    EXPECT_EQ(outcome.location, PartialFile().string());
    EXPECT_TRUE(TempDir::Read(PartialFile()) == Bytes(contents.begin(), contents.begin() + 1992));
    EXPECT_EQ(boxes.shown[1].caption, "Error");
    EXPECT_EQ(boxes.shown[1].text, outcome.error);
    EXPECT_NE(outcome.error.find("The 1992 bytes read were written to " + outcome.location + "."),
              std::string::npos)
        << outcome.error;
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace brimlo::flash::testing
