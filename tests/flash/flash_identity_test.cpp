#include "flash/flash_identity.h"

#include <gtest/gtest.h>

#include "capture_debug.h"
#include "flash/flash_messages.h"
#include "flash_sim_fixture.h"

namespace brimlo::flash::testing {
namespace {

using brimlo::testing::CaptureDebug;

std::vector<std::string> Texts(const FlashIdentity& identity) {
    std::vector<std::string> texts;
    for (const InfoField& field : FlashInformation(identity)) {
        texts.push_back(field.text);
    }
    return texts;
}

class IdentifyTest : public FlashSimTest {};

// The rows whose geometry differs from the 64 KB norm, and two ordinary ones, as the device
// names them and the Flash Information group shows them.
TEST_F(IdentifyTest, RowsShowTheirGeometry) {
    struct Case {
        std::uint32_t row;
        std::vector<std::string> texts;
        std::uint32_t sectorSize;
        std::uint32_t flashSize;
    };
    const std::vector<Case> cases = {
        {32,
         {"GD_GD25Q128C", "256 bytes", "4096 bytes", "256", "32", "16", "16", "16384 KB"},
         4096,
         16777216},
        {34,
         {"NUMON_M25P20", "256 bytes", "65536 bytes", "4", "34", "256", "1", "256 KB"},
         65536,
         262144},
        {26,
         {"MX_25L12835F", "256 bytes", "65536 bytes", "256", "26", "256", "1", "16384 KB"},
         65536,
         16777216},
        {38,
         {"SST_25VF016B", "512 bytes", "65536 bytes", "32", "38", "128", "1", "2048 KB"},
         65536,
         2097152},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        CaptureDebug debug;
        Start(c.row);
        EXPECT_EQ(Texts(identity), c.texts);
        EXPECT_EQ(identity.SectorSize(), c.sectorSize);
        EXPECT_EQ(identity.flashSize, c.flashSize);
        EXPECT_NE(std::find(debug.lines.begin(), debug.lines.end(),
                            "Device ID: " + std::to_string(c.row) + "\n"),
                  debug.lines.end());
    }
    const auto fields = FlashInformation(identity);
    EXPECT_EQ(fields[0].label, "Device Name :");
    EXPECT_EQ(fields[4].label, "Device ID            :");
    EXPECT_EQ(fields[7].label, "Total Size           :");
}

// An answer past the table never becomes the chip index: the previous identification stays,
// and before any identification Burn and Dump keep refusing.
TEST_F(IdentifyTest, AnswersPastTheTableAreRefused) {
    Start(32);
    const FlashIdentity before = identity;
    for (std::uint16_t answer : {std::uint16_t{44}, std::uint16_t{300}, std::uint16_t{0xFFFF}}) {
        SCOPED_TRACE(answer);
        sim::SimFaults faults;
        faults.chipIndexAnswer = answer;
        sim->SetFaults(faults);
        std::string error;
        EXPECT_FALSE(IdentifyFlash(*device, identity, error));
        EXPECT_NE(error.find(std::to_string(answer)), std::string::npos) << error;
        EXPECT_NE(error.find("previous identification (chip 32) stays"), std::string::npos);
        EXPECT_EQ(identity.chipIndex, before.chipIndex);
        EXPECT_EQ(identity.flashSize, before.flashSize);
        EXPECT_EQ(identity.SectorSize(), before.SectorSize());
    }

    FlashIdentity fresh;
    std::string error;
    EXPECT_FALSE(AcceptChipIndex(44, fresh, error));
    EXPECT_FALSE(fresh.Identified());
    EXPECT_EQ(BurnRefusal(true, fresh), kExecuteGetId);
    EXPECT_EQ(DumpRefusal(true, fresh), kExecuteGetId);
    EXPECT_EQ(BurnRefusal(false, fresh), kSelectBurnFile);
    EXPECT_EQ(DumpRefusal(false, before), kSelectDumpFile);
    EXPECT_EQ(BurnRefusal(true, before), std::nullopt);
}

TEST_F(IdentifyTest, FailedExchangeKeepsThePreviousIdentification) {
    Start(34);
    sim::SimFaults faults;
    faults.failExchange = 1;
    sim->SetFaults(faults);
    CaptureDebug debug;
    std::string error;
    EXPECT_FALSE(IdentifyFlash(*device, identity, error));
    EXPECT_NE(error.find("REPORT_FLASH_GET_ID"), std::string::npos) << error;
    EXPECT_EQ(identity.chipIndex, 34);
    ASSERT_EQ(debug.lines.size(), 1u);
    EXPECT_EQ(debug.lines[0], "Unknown error: Couldn't execute REPORT_FLASH_GET_ID function\n");
}

}  // namespace
}  // namespace brimlo::flash::testing
