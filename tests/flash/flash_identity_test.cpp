#include "flash/flash_identity.h"

#include <gtest/gtest.h>

#include "capture_debug.h"
#include "flash/flash_messages.h"
#include "flash_sim_fixture.h"

namespace brimlo::flash::testing {
namespace {

using brimlo::testing::CaptureDebug;

class IdentifyTest : public FlashSimTest {};

// Rows whose geometry differs from the 64 KB-sector norm, and an ordinary one, as the device
// names them and the Flash Information group shows them.
TEST_F(IdentifyTest, RowsShowTheirGeometry) {
    for (const std::vector<std::string>& expected : std::vector<std::vector<std::string>>{
             {"GD_GD25Q128C", "256 bytes", "4096 bytes", "256", "32", "16", "16", "16384 KB"},
             {"NUMON_M25P20", "256 bytes", "65536 bytes", "4", "34", "256", "1", "256 KB"},
             {"SST_25VF016B", "512 bytes", "65536 bytes", "32", "38", "128", "1", "2048 KB"}}) {
        CaptureDebug debug;
        Start(std::stoul(expected[4]));
        std::vector<std::string> texts;
        for (const InfoField& field : FlashInformation(identity)) {
            texts.push_back(field.text);
        }
        EXPECT_EQ(texts, expected);
        ASSERT_FALSE(debug.lines.empty());
        EXPECT_EQ(debug.lines.back(), "Device ID: " + expected[4] + "\n");
    }
}

// An answer past the table, or a failed exchange, never changes the identification; before any
// identification Burn and Dump keep refusing.
TEST_F(IdentifyTest, OnlyATableRowChangesTheIdentification) {
    Start(32);
    const FlashIdentity before = identity;
    sim::SimFaults past, failed;
    past.chipIndexAnswer = 44;
    failed.failExchange = 1;
    for (const auto& [faults, error] :
         {std::pair{past, "The previous identification (chip 32) stays."},
          std::pair{failed, "REPORT_FLASH_GET_ID"}}) {
        sim->SetFaults(faults);
        std::string message;
        EXPECT_FALSE(IdentifyFlash(*device, identity, message));
        EXPECT_NE(message.find(error), std::string::npos) << message;
        EXPECT_EQ(identity.chipIndex, before.chipIndex);
        EXPECT_EQ(identity.flashSize, before.flashSize);
    }

    FlashIdentity fresh;
    std::string error;
    EXPECT_FALSE(AcceptChipIndex(0xFFFF, fresh, error));
    EXPECT_EQ(BurnRefusal(true, fresh), kExecuteGetId);
    EXPECT_EQ(DumpRefusal(true, fresh), kExecuteGetId);
    EXPECT_EQ(BurnRefusal(false, before), kSelectBurnFile);
    EXPECT_EQ(DumpRefusal(false, before), kSelectDumpFile);
    EXPECT_EQ(BurnRefusal(true, before), std::nullopt);
}

}  // namespace
}  // namespace brimlo::flash::testing
