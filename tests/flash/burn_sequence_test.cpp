#include "flash/burn_sequence.h"

#include <gtest/gtest.h>

#include <thread>

#include "capture_debug.h"
#include "flash/flash_messages.h"
#include "flash_sim_fixture.h"

namespace brimlo::flash::testing {
namespace {

using brimlo::testing::CaptureDebug;

constexpr std::uint32_t kFirmware = 0x180000;
constexpr WireRegion kFlagRegion{kAccessFlagSector, kFlagSectorAddress, kFlagSectorSize};
constexpr WireRegion kPrivateRegion{kAccessOtherArea, 0x4F0000, 0x10000};
constexpr WireRegion kCustomizedRegion{kAccessOtherArea, 0x500000, 0x300000};

void ExpectLines(const std::vector<std::string>& lines, std::initializer_list<std::string> some) {
    for (const std::string& line : some) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
}

class BurnTest : public FlashSimTest {
  protected:
    BurnOutcome Burn(const Bytes& image, bool firmware, bool privateData, bool customized) {
        return Burn(image, BurnSelection{false, {firmware, privateData, customized}});
    }
    BurnOutcome Burn(const Bytes& image, BurnSelection selection = {}) {
        FixedAreaChoice choice(selection);
        return RunBurn(*device, image, identity, choice, boxes, &progress);
    }
    Bytes Flash(std::uint32_t address, std::uint32_t length) const {
        return sim->PeekFlash(address, length);
    }
    // Flash contents that no burn here writes, so that a stray write shows.
    Bytes FillFlash(std::uint8_t seed) {
        sim->PokeFlash(0, Pattern(identity.flashSize, seed));
        sim->PokeFlash(kFlagSectorAddress, Bytes{0x5A});
        return Flash(0, identity.flashSize);
    }
    void SetFaults(std::optional<std::uint64_t> failExchange,
                   std::optional<std::uint32_t> corruptReadAt = {}) {
        sim::SimFaults faults;
        faults.failExchange = failExchange;
        faults.corruptReadAt = corruptReadAt;
        sim->SetFaults(faults);
    }
};

Bytes Slice(const Bytes& bytes, std::uint32_t address, std::uint32_t length) {
    return Bytes(bytes.begin() + address, bytes.begin() + address + length);
}

TEST_F(BurnTest, EntireFlashWritesThenComparesTheWholeFile) {
    const Bytes before = FillFlash(0x44);
    const Bytes image = Pattern(4 * 1024 * 1024, 0x37);
    CaptureDebug debug;
    Burn(image);

    const WireRegion whole{kAccessEntireFlash, 0, 4194304};
    EXPECT_EQ(wire.setUps, (std::vector<WireRegion>{whole, whole}));
    EXPECT_EQ(wire.dataReportsAfter, (std::vector<std::size_t>{1024, 0}));
    EXPECT_EQ(Flash(0, 4194304), image);
    EXPECT_EQ(Flash(4194304, 16), Slice(before, 4194304, 16));
    EXPECT_EQ(FlagByte(), image[kFlagSectorAddress]) << "the flag comes from the file";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "The entire flash has updated, please replug-in device!");
    EXPECT_EQ(boxes.shown[0].caption, "Info");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(progress.statuses,
              (std::vector<std::string>{"Status: Write", "Status: Wait", "Status: Compare",
                                        "Status: Wait", "Status: Wait"}));
    ExpectLines(debug.lines, {"Start write data to flash.\n",
                              "FlashWrite -- Transfer 4194304 bytes to Firmware\n",
                              "FlashWrite -- Compare data OK.\n"});
}

// Header_len + Boot_Size = 0x10001 is seventeen 4 KB sectors. The flag sector is read and
// written back with the flag at 0 before the firmware, and with 1 after it compared equal, the
// rest as it was read. Private and Customized follow, without a compare.
TEST_F(BurnTest, FirmwareIsRoundedToSectorsAndBracketedByTheFlag) {
    Start(32);  // 16 MB, 4 KB sectors
    const Bytes before = FillFlash(0x66);
    const Bytes image = FlashImage(0x10000, 0x1);
    CaptureDebug debug;
    Burn(image, true, true, true);

    const WireRegion firmware{kAccessFirmware, kFirmware, 0x11000};
    EXPECT_EQ(wire.setUps,
              (std::vector<WireRegion>{kFlagRegion, kFlagRegion, firmware, firmware, kFlagRegion,
                                       kFlagRegion, kPrivateRegion, kCustomizedRegion}));
    EXPECT_EQ(FlagByte(), 1);
    EXPECT_EQ(Flash(kFlagSectorAddress + 1, kFlagSectorSize - 1),
              Slice(before, kFlagSectorAddress + 1, kFlagSectorSize - 1));
    EXPECT_EQ(Flash(kFirmware, 0x11000), Slice(image, kFirmware, 0x11000));
    EXPECT_EQ(Flash(kFirmware + 0x11000, 0x1000), Slice(before, kFirmware + 0x11000, 0x1000));
    EXPECT_EQ(Flash(0x4F0000, 0x310000), Slice(image, 0x4F0000, 0x310000));
    EXPECT_EQ(progress.regions,
              (std::vector<std::string>{"Firmware", "Private Data", "Customized Data"}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "- Firmware Area\n- Private Area\n- Customized Area\n\n has updated, please "
              "replug-in device!");
    ExpectLines(debug.lines, {"FlashWrite -- compressed firmware length_0 - 0x10001\n",
                              "FlashWrite -- compressed firmware length_1 - 0x11000\n"});
}

// The emulator flips a bit of one firmware byte on read-back: the compare fails, the flag
// stays 0 (the flash starts erased), and the Private area is still burned and named as the
// only update; the board will not start its firmware, so the box asks for a new burn before
// the replug.
TEST_F(BurnTest, FailedFirmwareCompareStillBurnsPrivateAndLeavesTheFlagAtZero) {
    SetFaults({}, kFirmware + 0x10010);
    const Bytes image = FlashImage(0x10000, 0x1);
    const BurnOutcome outcome = Burn(image, true, true, false);

    EXPECT_EQ(outcome.compare.firstDifference, kFirmware + 0x10010);
    EXPECT_EQ(FlagByte(), 0);
    EXPECT_EQ(Flash(0x4F0000, 0x10000), Slice(image, 0x4F0000, 0x10000));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "FlashWrite -- Compare failed");
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_EQ(boxes.shown[1].text,
              "- Private Area\n\n has updated, please replug-in device!\n\nNot updated:\n"
              "- Firmware Area\n\nThe board needs a new burn: burn again before you replug the "
              "device!");
    EXPECT_EQ(boxes.shown[1].icon, MessageIcon::Warning);
}

// Where nothing was burned the closing box says so instead of claiming an update: a failed
// compare of the whole flash, or an other-area write that did not complete.
TEST_F(BurnTest, NothingBurnedSaysNothingWasUpdated) {
    SetFaults({}, 0x1234);
    Burn(Pattern(0x100000, 0x19));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text,
              std::string(kNothingUpdated) + "\n\nNot updated:\n- Entire Flash\n");
    EXPECT_EQ(boxes.shown[1].caption, "Error");

    SetFaults(3);  // mode, length, then the Private area's first chunk
    EXPECT_EQ(Burn(FlashImage(1, 1), false, true, false).closingText,
              std::string(kNothingUpdated) + "\n\nNot updated:\n- Private Area\n");
}

// Refusals come before anything is sent.
TEST_F(BurnTest, RefusalsSendNothing) {
    const auto exchanges = sim->ExchangeCount();
    struct Case {
        Bytes image;
        BurnSelection selection;
        const char* text;
    };
    const Case cases[] = {
        {FlashImage(1, 1), {false, {}}, "No any item is selected in Other Area !"},
        {FlashImage(1, 1, 3, 0x600000), {false, {true, true, true}}, "the Customized area"},
        {FlashImage(0xFFFFFFFF, 2), {false, {true, false, false}}, "does not fit 32 bits"},
    };
    for (const Case& c : cases) {
        boxes.shown.clear();
        EXPECT_TRUE(Burn(c.image, c.selection).refused);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_NE(boxes.shown[0].text.find(c.text), std::string::npos) << boxes.shown[0].text;
        EXPECT_EQ(boxes.shown[0].caption, "Error");
    }
    identity = FlashIdentity{};
    EXPECT_EQ(Burn(FlashImage(1, 1)).error, kExecuteGetId);
    EXPECT_EQ(sim->ExchangeCount(), exchanges);
}

// The area choice is read when each decision comes: a box checked during the burn is burned,
// and is checked against the file when the burn reaches it.
TEST_F(BurnTest, ChoiceIsReadWhenEachDecisionComes) {
    struct LateChoice final : BurnAreaChoice {
        bool EntireFlash() override { return false; }
        bool AreaChecked(std::size_t row) override {
            return row == kFirmwareArea || (row == kCustomizedArea && ++customizedAsked > 1);
        }
        int customizedAsked = 0;
    };
    LateChoice choice;
    const Bytes image = FlashImage(0x10000, 0x1, 7, 0x600000);  // ends inside Customized
    RunBurn(*device, image, identity, choice, boxes, &progress);
    ASSERT_EQ(boxes.shown.size(), 1u);
    for (const char* part :
         {"too short for the Customized area",
          "\n\nUpdated:\n- Firmware Area\n\nNot updated:\n- Customized Area\n"}) {
        EXPECT_NE(boxes.shown[0].text.find(part), std::string::npos) << boxes.shown[0].text;
    }
    EXPECT_EQ(FlagByte(), 1);
}

// A failed firmware write is left to the compare, which fails; a failed flag read ends the
// burn with a box that says why. Either way the flag cleared before the firmware stays 0.
TEST_F(BurnTest, FailedStepEndsTheBurnAndSaysWhy) {
    SetFaults(9);  // flag read + write (6), firmware mode + length, then its first chunk
    CaptureDebug debug;
    EXPECT_TRUE(Burn(FlashImage(0x10000, 0x1), true, false, false).compareFailed);
    EXPECT_EQ(FlagByte(), 0);

    boxes.shown.clear();
    SetFaults(1);
    const BurnOutcome stopped = Burn(FlashImage(0x10000, 0x1), true, false, false);
    EXPECT_NE(stopped.error.find("firmware flag"), std::string::npos) << stopped.error;
    EXPECT_TRUE(stopped.closingText.empty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    ASSERT_FALSE(progress.statuses.empty());
    EXPECT_EQ(progress.statuses.back(), "Status: Wait");
    ExpectLines(debug.lines, {"Unknown error: Couldn't execute BURST_FLASH_WRITE function\n",
                              "Unknown error: Couldn't execute AP_FLASH_READ--case 2\n"});
}

// A device whose flash reports cannot carry what the choice needs is refused before anything
// is sent: without a read-back nothing is burned that would need a compare, and the flag
// sector needs 4096-byte reports both ways. A burn that needs neither still runs.
TEST_F(BurnTest, DevicesThatCannotCompareAreRefusedBeforeAnyWrite) {
    struct Case {
        std::vector<std::uint16_t> output, input;
        BurnSelection selection;
        const char* text;
    };
    const Case cases[] = {
        {{4100, 64, 64}, {1000, 64, 64}, {}, "cannot compare or dump"},
        {{4100, 64, 64}, {1000, 64, 64}, {false, {true, false, false}}, "cannot compare or dump"},
        {{1028, 64, 64}, {1028, 64, 64}, {false, {true, true, false}}, "the Firmware area"},
    };
    const Bytes image = FlashImage(0x10000, 0x1);
    for (const Case& c : cases) {
        sim::SimConfig config;
        config.outputReportLengths = c.output;
        config.inputReportLengths = c.input;
        Start(config);
        const Bytes before = FillFlash(0x13);
        const auto exchanges = sim->ExchangeCount();
        boxes.shown.clear();
        const BurnOutcome outcome = Burn(image, c.selection);
        EXPECT_TRUE(outcome.refused);
        EXPECT_EQ(sim->ExchangeCount(), exchanges);
        EXPECT_TRUE(Flash(0, identity.flashSize) == before);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_NE(boxes.shown[0].text.find(c.text), std::string::npos) << boxes.shown[0].text;
        EXPECT_NE(boxes.shown[0].text.find("Nothing was written."), std::string::npos);
    }
    // Private Data alone is written without a compare: the short input reports do not matter.
    sim::SimConfig config;
    config.inputReportLengths = {1000, 64, 64};
    Start(config);
    EXPECT_EQ(Burn(image, false, true, false).updatedAreas, 1u << kPrivateArea);
    EXPECT_EQ(Flash(0x4F0000, 0x10000), Slice(image, 0x4F0000, 0x10000));
}

// A read that fails during the compare is a failed exchange, not a difference: the burn ends
// saying so, with no first difference, for the whole flash and for the firmware (whose flag
// stays 0; the Private area after it is not burned).
TEST_F(BurnTest, FailedReadDuringTheCompareIsAFailureNotADifference) {
    // Notes the exchanges sent when the compare starts, to fail its second read.
    struct CompareStart final : FlashProgress {
        explicit CompareStart(sim::SimDevice& sim) : sim(sim) {}
        void StatusChanged(std::string_view status) override {
            if (status == "Status: Compare") {
                exchanges = sim.ExchangeCount();
            }
        }
        void BurstStarted(std::uint32_t) override {}
        void BytesDone(std::uint32_t) override {}
        sim::SimDevice& sim;
        std::uint64_t exchanges = 0;
    };
    const Bytes image = FlashImage(0x10000, 0x1);
    for (const BurnSelection& selection :
         {BurnSelection{true, {}}, BurnSelection{false, {true, true, false}}}) {
        FixedAreaChoice choice(selection);
        CompareStart compare(*sim);
        SetFaults({});
        RunBurn(*device, image, identity, choice, boxes, &compare);
        const Bytes before = FillFlash(0x3C);
        SetFaults(compare.exchanges + 2);
        boxes.shown.clear();
        const BurnOutcome outcome = RunBurn(*device, image, identity, choice, boxes, &progress);
        EXPECT_FALSE(outcome.compareFailed);
        EXPECT_FALSE(outcome.compare.mismatch);
        EXPECT_EQ(outcome.error.rfind("Reading the flash back for the compare failed: ", 0), 0u)
            << outcome.error;
        EXPECT_EQ(outcome.entireFailed, selection.entireFlash);
        EXPECT_EQ(outcome.failedAreas,
                  selection.entireFlash ? 0u : (1u << kFirmwareArea) | (1u << kPrivateArea));
        EXPECT_FALSE(outcome.Updated());
        EXPECT_TRUE(outcome.needsNewBurn);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].caption, "Error");
        EXPECT_EQ(boxes.shown[0].text.find(kCompareFailed), std::string::npos)
            << boxes.shown[0].text;
        if (!selection.entireFlash) {
            EXPECT_EQ(FlagByte(), 0);
            EXPECT_EQ(Flash(0x4F0000, 0x10000), Slice(before, 0x4F0000, 0x10000));
        }
    }
}

// When only the last step fails, the write of the flag that marks the firmware valid, the box
// says the firmware was written and verified but not marked valid and needs burning again.
TEST_F(BurnTest, FailedFinalFlagWriteSaysTheFirmwareIsNotMarkedValid) {
    const Bytes image = FlashImage(0x10000, 0x1);
    SetFaults({});
    Burn(image, true, false, false);
    const std::uint64_t lastExchange = sim->ExchangeCount();
    ASSERT_EQ(FlagByte(), 1);

    sim->PokeFlash(kFlagSectorAddress, Bytes{0x00});
    SetFaults(lastExchange);
    boxes.shown.clear();
    const BurnOutcome outcome = Burn(image, true, false, false);
    EXPECT_TRUE(outcome.firmwareNotMarkedValid);
    EXPECT_TRUE(outcome.needsNewBurn);
    EXPECT_FALSE(outcome.compareFailed);
    EXPECT_EQ(outcome.failedAreas, 1u << kFirmwareArea);
    EXPECT_EQ(FlagByte(), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    const std::string& text = boxes.shown[0].text;
    EXPECT_EQ(text.rfind("The burn stopped. The firmware was written and verified, but it could "
                         "not be marked valid, so the board will not start it. Writing the "
                         "firmware flag failed: ",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("\n\nNot updated:\n- Firmware Area\n\nThe board needs a new burn: "
                        "burn again before you replug the device!"),
              std::string::npos)
        << text;
    EXPECT_EQ(boxes.shown[0].caption, "Error");
}

// A stop requested in the middle of the Private area ends the burn at the next report: the
// Firmware area was updated, Private (half-written) and Customized (never reached) were not,
// and the board needs a new burn.
TEST_F(BurnTest, StoppedBurnSaysWhichAreasWereAndWereNotUpdated) {
    struct StopInPrivate final : FlashProgress {
        void RegionStarted(std::string_view region) override {
            inPrivate = region == "Private Data";
        }
        void StatusChanged(std::string_view) override {}
        void BurstStarted(std::uint32_t) override {}
        void BytesDone(std::uint32_t done) override {
            if (inPrivate && done >= 0x4000) {
                stop.Request();
            }
        }
        bool inPrivate = false;
        StopRequest stop;
    };
    const Bytes before = FillFlash(0x29);
    const Bytes image = FlashImage(0x10000, 0x1);
    StopInPrivate progress;
    FixedAreaChoice choice(BurnSelection{false, {true, true, true}});
    const BurnOutcome outcome =
        RunBurn(*device, image, identity, choice, boxes, &progress, &progress.stop);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.updatedAreas, 1u << kFirmwareArea);
    EXPECT_EQ(outcome.failedAreas, (1u << kPrivateArea) | (1u << kCustomizedArea));
    EXPECT_TRUE(outcome.needsNewBurn);
    EXPECT_EQ(FlagByte(), 1);
    EXPECT_EQ(Flash(0x4F0000, 0x4000), Slice(image, 0x4F0000, 0x4000));
    EXPECT_NE(Flash(0x4F4000, 0x1000), Slice(image, 0x4F4000, 0x1000));
    EXPECT_EQ(Flash(0x500000, 0x1000), Slice(before, 0x500000, 0x1000));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "The burn was stopped on request.\n\nUpdated:\n- Firmware Area\n\nNot "
              "updated:\n- Private Area\n- Customized Area\n\nThe board needs a new burn: burn "
              "again before you replug the device!");
    EXPECT_EQ(boxes.shown[0].caption, "Stopped");
}

// While the burn runs, commands from other threads are refused as busy, also between bursts.
TEST_F(BurnTest, BurnHoldsTheDeviceForItsWholeRun) {
    SetFaults({}, kFirmware);
    std::vector<bool> otherThreadGotThrough;
    std::string otherThreadError;
    boxes.onShow = [&] {
        std::thread([&] {
            std::uint32_t value = 0;
            otherThreadGotThrough.push_back(device->RegisterAccess(kRegisterRead, 0, value));
            otherThreadError = device->LastError();
        }).join();
    };
    Burn(FlashImage(0x10000, 0x1), true, true, false);
    // The compare box and the closing box.
    EXPECT_EQ(otherThreadGotThrough, (std::vector<bool>{false, false}));
    EXPECT_NE(otherThreadError.find("busy"), std::string::npos);
    // The refusal on the other thread leaves the burn's own account of the compare intact.
    EXPECT_EQ(device->LastError().find("busy"), std::string::npos);
}

}  // namespace
}  // namespace brimlo::flash::testing
