// The commands whose system calls differ on Windows, on Wine's own devices: the station's
// device notifications and doctor's checks.

#include <gtest/gtest.h>

#include <string>

#include "cli_runner.h"

namespace {

using brimlo::testing::CliRun;
using brimlo::testing::CliTest;
using brimlo::testing::OneObject;

// The station on the system's stack under Wine, whose cfgmgr32 has no device notifications: it
// says why in one line and what to run instead. (On emulated boards it runs:
// scripts/build-windows.sh burns four.)
TEST_F(CliTest, StationWithoutDeviceNotificationsPointsAtFlashAll) {
    const CliRun text = Run("station id --count 3");
    EXPECT_EQ(text.exitCode, 1) << text.err;
    EXPECT_NE(text.err.find("CM_Register_Notification"), std::string::npos) << text.err;
    EXPECT_NE(text.err.find("flash burn --all"), std::string::npos) << text.err;
    EXPECT_EQ(text.err.find('\n') + 1, text.err.size()) << text.err;
    const CliRun json = Run("--json station id");
    nlohmann::json object;
    ASSERT_TRUE(OneObject(json, object));
    EXPECT_NE(object["error"].get<std::string>().find("flash burn --all"), std::string::npos);
    // A mistake in the command line is still told as one.
    EXPECT_EQ(Run("station burn").exitCode, 2);
}

TEST_F(CliTest, DoctorOnWindowsFindsNoDeviceAmongWinesAndSaysWhatToDo) {
    // None of Wine's own HID devices is the device.
    const CliRun text = Run("doctor");
    EXPECT_EQ(text.exitCode, 1) << text.err;
    EXPECT_NE(text.out.find("PROBLEM  no HID interface with 1209:0001 is present; fix: plug the "
                            "device in"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.err.find("1 check found a problem"), std::string::npos) << text.err;
    const CliRun json = Run("--json doctor -d 1209:00ff");
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_NE(json.out.find("\"check\":\"device\",\"fix\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"problems\":1"), std::string::npos) << json.out;
    EXPECT_EQ(Run("doctor --simulate").exitCode, 2);
    EXPECT_EQ(Run("doctor -d 12z").exitCode, 2);
}

}  // namespace
