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
constexpr WireRegion kFlagWireRegion{kAccessFlagSector, kFlagSectorAddress, kFlagSectorSize};
constexpr WireRegion kPrivateWireRegion{kAccessOtherArea, 0x4F0000, 0x10000};
constexpr WireRegion kCustomizedWireRegion{kAccessOtherArea, 0x500000, 0x300000};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class BurnTest : public FlashSimTest {
  protected:
    BurnOutcome Burn(const Bytes& image, BurnSelection selection) {
        FixedAreaChoice choice(selection);
        return RunBurn(*device, image, identity, choice, boxes, &progress);
    }
    static BurnSelection Areas(bool firmware, bool privateData, bool customized) {
        return BurnSelection{false, {firmware, privateData, customized}};
    }
    Bytes Flash(std::uint32_t address, std::uint32_t length) const {
        return sim->PeekFlash(address, length);
    }
    static Bytes Slice(const Bytes& image, std::uint32_t address, std::uint32_t length) {
        return Bytes(image.begin() + address, image.begin() + address + length);
    }
    // Flash contents that no burn here writes, so that a stray write shows.
    void FillFlash(std::uint8_t seed) {
        sim->PokeFlash(0, Pattern(identity.flashSize, seed));
        sim->PokeFlash(kFlagSectorAddress, Bytes{0x5A});
    }
};

TEST_F(BurnTest, EntireFlashWritesThenComparesTheWholeFile) {
    Start(4);  // 8 MB
    FillFlash(0x44);
    const Bytes image = Pattern(4 * 1024 * 1024, 0x37);
    CaptureDebug debug;
    const BurnOutcome outcome = Burn(image, BurnSelection{});

    const WireRegion whole{kAccessEntireFlash, 0, 4194304};
    EXPECT_EQ(wire.setUps, (std::vector<WireRegion>{whole, whole}));
    EXPECT_EQ(wire.dataReportsAfter, (std::vector<std::size_t>{1024, 0}));
    EXPECT_EQ(Flash(0, 4194304), image);
    EXPECT_EQ(Flash(4194304, 16), Slice(Pattern(identity.flashSize, 0x44), 4194304, 16));
    EXPECT_TRUE(outcome.entireUpdated);
    EXPECT_EQ(outcome.closingText, "The entire flash has updated, please replug-in device!");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Info");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(progress.statuses,
              (std::vector<std::string>{"Status: Write", "Status: Wait", "Status: Compare",
                                        "Status: Wait", "Status: Wait"}));
    EXPECT_TRUE(Contains(debug.lines, "Start write data to flash.\n"));
    EXPECT_TRUE(Contains(debug.lines, "FlashWrite -- Transfer 4194304 bytes to Firmware\n"));
    EXPECT_TRUE(Contains(debug.lines, "FlashWrite -- Compare data OK.\n"));
    EXPECT_EQ(FlagByte(), image[kFlagSectorAddress])
        << "an entire burn takes the flag from the file";
}

// Header_len + Boot_Size = 0x10001: two 64 KB sectors, or seventeen 4 KB sectors; the flag goes
// to 0 before the firmware's first byte is sent and to 1 after it compared equal.
TEST_F(BurnTest, FirmwareAreaIsRoundedToSectorsAndBracketedByTheFlag) {
    struct Case {
        std::uint32_t row;
        std::uint32_t length;
    };
    for (const Case c : {Case{4, 0x20000}, Case{32, 0x11000}}) {
        SCOPED_TRACE(c.row);
        Start(c.row);
        FillFlash(0x66);
        const Bytes before = Flash(0, identity.flashSize);
        const Bytes image = FlashImage(0x10000, 0x1);
        std::vector<std::uint8_t> flagAtFirmwareStart;
        wire.onFirstData = [&](const WireRegion& setUp) {
            if (setUp.mode == kAccessFirmware) {
                flagAtFirmwareStart.push_back(FlagByte());
            }
        };
        CaptureDebug debug;
        const BurnOutcome outcome = Burn(image, Areas(true, false, false));

        const WireRegion firmware{kAccessFirmware, kFirmware, c.length};
        EXPECT_EQ(wire.setUps,
                  (std::vector<WireRegion>{kFlagWireRegion, kFlagWireRegion, firmware, firmware,
                                           kFlagWireRegion, kFlagWireRegion}));
        EXPECT_EQ(flagAtFirmwareStart, std::vector<std::uint8_t>{0});
        EXPECT_EQ(FlagByte(), 1);
        // The rest of the flag sector is written back as it was read.
        EXPECT_EQ(Flash(kFlagSectorAddress + 1, kFlagSectorSize - 1),
                  Slice(before, kFlagSectorAddress + 1, kFlagSectorSize - 1));
        EXPECT_EQ(Flash(kFirmware, c.length), Slice(image, kFirmware, c.length));
        EXPECT_EQ(Flash(kFirmware + c.length, 0x1000), Slice(before, kFirmware + c.length, 0x1000));
        EXPECT_EQ(outcome.updatedAreas, 1u);
        EXPECT_EQ(outcome.closingText, "- Firmware Area\n\n has updated, please replug-in device!");
        EXPECT_TRUE(Contains(debug.lines, "FlashWrite -- Header_len - 0x10000\n"));
        EXPECT_TRUE(Contains(debug.lines, "FlashWrite -- Boot_Size - 0x1\n"));
        EXPECT_TRUE(
            Contains(debug.lines, "FlashWrite -- compressed firmware length_0 - 0x10001\n"));
        char rounded[64];
        std::snprintf(rounded, sizeof rounded,
                      "FlashWrite -- compressed firmware length_1 - 0x%x\n", c.length);
        EXPECT_TRUE(Contains(debug.lines, rounded));
    }
}

TEST_F(BurnTest, PrivateAndCustomizedAreWrittenWithoutCompareOrFlag) {
    Start(4);
    FillFlash(0x12);
    const Bytes image = FlashImage(0x10000, 0x1, 0x55);
    const BurnOutcome outcome = Burn(image, Areas(false, true, true));
    EXPECT_EQ(wire.setUps, (std::vector<WireRegion>{kPrivateWireRegion, kCustomizedWireRegion}));
    EXPECT_EQ(wire.inputReads, 0u);
    EXPECT_EQ(Flash(0x4F0000, 0x310000), Slice(image, 0x4F0000, 0x310000));
    EXPECT_EQ(FlagByte(), 0x5A);
    EXPECT_EQ(outcome.closingText,
              "- Private Area\n- Customized Area\n\n has updated, please replug-in device!");
}

TEST_F(BurnTest, AllThreeAreasCloseWithTheWhole88CharacterText) {
    Start(4);
    const BurnOutcome outcome = Burn(FlashImage(0x10000, 0x1), Areas(true, true, true));
    const std::string expected =
        "- Firmware Area\n- Private Area\n- Customized Area\n\n has updated, please replug-in "
        "device!";
    EXPECT_EQ(expected.size(), 88u);
    EXPECT_EQ(outcome.closingText, expected);
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().text, expected);
}

// The emulator flips a bit of one firmware byte on read-back: the compare fails, the flag
// stays 0, and the Private area is still burned and named as the only update.
TEST_F(BurnTest, FailedFirmwareCompareStillBurnsPrivateAndLeavesTheFlagAtZero) {
    Start(4);
    FillFlash(0x31);
    sim::SimFaults faults;
    faults.corruptReadAt = kFirmware + 0x10010;
    sim->SetFaults(faults);
    const Bytes image = FlashImage(0x10000, 0x1);
    const BurnOutcome outcome = Burn(image, Areas(true, true, false));

    EXPECT_TRUE(outcome.compareFailed);
    EXPECT_EQ(outcome.compare.firstDifference, kFirmware + 0x10010);
    EXPECT_EQ(outcome.compare.expected, image[kFirmware + 0x10010]);
    EXPECT_EQ(outcome.compare.found, image[kFirmware + 0x10010] ^ 1u);
    EXPECT_EQ(FlagByte(), 0);
    EXPECT_EQ(Flash(0x4F0000, 0x10000), Slice(image, 0x4F0000, 0x10000));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "FlashWrite -- Compare failed");
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_EQ(boxes.shown[1].text,
              "- Private Area\n\n has updated, please replug-in device!\n\nNot updated:\n"
              "- Firmware Area\n");
    EXPECT_EQ(boxes.shown[1].icon, MessageIcon::Warning);
}

// Where nothing was burned the closing box says so instead of claiming an update: a failed
// compare of the whole flash, or an other-area write that did not complete.
TEST_F(BurnTest, NothingBurnedSaysNothingWasUpdated) {
    Start(4);
    sim::SimFaults faults;
    faults.corruptReadAt = 0x1234;
    sim->SetFaults(faults);
    const BurnOutcome entire = Burn(Pattern(0x100000, 0x19), BurnSelection{});
    EXPECT_FALSE(entire.Updated());
    EXPECT_EQ(entire.closingText,
              std::string(kNothingUpdated) + "\n\nNot updated:\n- Entire Flash\n");
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].caption, "Error");
    EXPECT_EQ(boxes.shown[1].text.find("updated, please replug"), std::string::npos);

    boxes.shown.clear();
    faults = {};
    faults.failExchange = 3;  // mode, length, then the Private area's first chunk
    sim->SetFaults(faults);
    const BurnOutcome privateOnly = Burn(FlashImage(1, 1), Areas(false, true, false));
    EXPECT_EQ(privateOnly.failedAreas, 1u << kPrivateArea);
    EXPECT_EQ(privateOnly.closingText,
              std::string(kNothingUpdated) + "\n\nNot updated:\n- Private Area\n");
}

// Refusals come before anything is sent.
TEST_F(BurnTest, RefusalsSendNothing) {
    Start(4);
    const auto exchanges = sim->ExchangeCount();
    struct Case {
        const char* what;
        Bytes image;
        BurnSelection selection;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"no area", FlashImage(1, 1), Areas(false, false, false),
         "No any item is selected in Other Area !"},
        {"short file", FlashImage(1, 1, 3, 0x600000), Areas(true, true, true),
         "too short for the Customized area"},
        {"firmware header overflows", FlashImage(0xFFFFFFFF, 2), Areas(true, false, false),
         "does not fit 32 bits"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.shown.clear();
        const BurnOutcome outcome = Burn(c.image, c.selection);
        EXPECT_TRUE(outcome.refused);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_NE(boxes.shown[0].text.find(c.text), std::string::npos) << boxes.shown[0].text;
        EXPECT_EQ(boxes.shown[0].caption, "Error");
        EXPECT_EQ(sim->ExchangeCount(), exchanges);
    }
    FlashIdentity unknown;
    FixedAreaChoice entire(BurnSelection{});
    const BurnOutcome outcome =
        RunBurn(*device, FlashImage(1, 1), unknown, entire, boxes, &progress);
    EXPECT_EQ(outcome.error, kExecuteGetId);
    EXPECT_EQ(sim->ExchangeCount(), exchanges);
}

// The area choice is read when each decision comes: a box checked during the burn is burned,
// and is checked against the file when the burn reaches it.
TEST_F(BurnTest, ChoiceIsReadWhenEachDecisionComes) {
    class LateChoice final : public BurnAreaChoice {
      public:
        bool EntireFlash() override { return false; }
        bool AreaChecked(std::size_t row) override {
            return row == kFirmwareArea || (row == kCustomizedArea && ++customizedAsked > 1);
        }
        int customizedAsked = 0;
    };
    Start(4);
    LateChoice choice;
    const Bytes image = FlashImage(0x10000, 0x1, 7, 0x600000);  // ends inside Customized
    const BurnOutcome outcome = RunBurn(*device, image, identity, choice, boxes, &progress);
    EXPECT_EQ(outcome.updatedAreas, 1u);
    EXPECT_NE(outcome.error.find("too short for the Customized area"), std::string::npos)
        << outcome.error;
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("Updated before the failure:\n- Firmware Area\n"),
              std::string::npos)
        << boxes.shown[0].text;
    EXPECT_EQ(FlagByte(), 1);
}

// A step that fails ends the burn with a box that says what failed; the flag cleared before
// the firmware stays 0.
TEST_F(BurnTest, FailedStepEndsTheBurnAndSaysWhy) {
    Start(4);
    FillFlash(0x77);
    sim::SimFaults faults;
    faults.failExchange = 9;  // flag read + write (6), firmware mode + length, then its 1st chunk
    sim->SetFaults(faults);
    CaptureDebug debug;
    const BurnOutcome outcome = Burn(FlashImage(0x10000, 0x1), Areas(true, false, false));
    // The failed write is left to the compare, as described; the compare fails.
    EXPECT_TRUE(outcome.compareFailed);
    EXPECT_EQ(FlagByte(), 0);
    EXPECT_TRUE(
        Contains(debug.lines, "Unknown error: Couldn't execute BURST_FLASH_WRITE function\n"));

    boxes.shown.clear();
    faults.failExchange = 1;
    sim->SetFaults(faults);
    const BurnOutcome stopped = Burn(FlashImage(0x10000, 0x1), Areas(true, false, false));
    EXPECT_NE(stopped.error.find("firmware flag"), std::string::npos) << stopped.error;
    EXPECT_TRUE(stopped.closingText.empty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_TRUE(Contains(debug.lines, "Unknown error: Couldn't execute AP_FLASH_READ--case 2\n"));
    EXPECT_EQ(progress.statuses.back(), "Status: Wait");
}

// While the burn runs, commands from other threads are refused as busy, also between bursts.
TEST_F(BurnTest, BurnHoldsTheDeviceForItsWholeRun) {
    Start(4);
    sim::SimFaults faults;
    faults.corruptReadAt = kFirmware;
    sim->SetFaults(faults);
    std::vector<bool> otherThreadGotThrough;
    std::string otherThreadError;
    boxes.onShow = [&] {
        std::thread other([&] {
            std::uint32_t value = 0;
            otherThreadGotThrough.push_back(device->RegisterAccess(kRegisterRead, 0, value));
            otherThreadError = device->LastError();
        });
        other.join();
    };
    Burn(FlashImage(0x10000, 0x1), Areas(true, true, false));
    ASSERT_EQ(otherThreadGotThrough.size(), 2u);  // the compare box and the closing box
    EXPECT_FALSE(otherThreadGotThrough[0]);
    EXPECT_FALSE(otherThreadGotThrough[1]);
    EXPECT_NE(otherThreadError.find("busy"), std::string::npos);
    // The refusal on the other thread leaves the burn's own account of the compare intact.
    EXPECT_EQ(device->LastError().find("busy"), std::string::npos);
}

}  // namespace
}  // namespace brimlo::flash::testing
