// On Windows the station, which needs Linux's hotplug events, says so and what to use instead,
// as a usage error, whatever follows it; doctor checks what Windows can tell.

#include <gtest/gtest.h>

#include <string>

#include "cli_runner.h"

namespace {

using brimlo::testing::CliRun;
using brimlo::testing::CliTest;
using brimlo::testing::OneObject;

// One line on stderr saying "Linux-only" and naming what to run instead.
::testing::AssertionResult RefusedAsLinuxOnly(const CliRun& run, const std::string& instead) {
    if (run.exitCode != 2) {
        return ::testing::AssertionFailure() << "exit code " << run.exitCode << ": " << run.err;
    }
    if (run.err.find("Linux-only") == std::string::npos ||
        run.err.find(instead) == std::string::npos || run.err.find('\n') + 1 != run.err.size()) {
        return ::testing::AssertionFailure()
               << "not one line naming " << instead << ": " << run.err;
    }
    return ::testing::AssertionSuccess();
}

TEST_F(CliTest, StationIsLinuxOnlyAndPointsAtFlashAll) {
    for (const char* args : {"station", "station id", "--sim-boards 2 station burn image.bin",
                             "station verify image.bin --count 3 --log station.log"}) {
        EXPECT_TRUE(RefusedAsLinuxOnly(Cli(args), "flash burn --all")) << args;
    }
    EXPECT_FALSE(std::filesystem::exists(state / "station.log")) << "nothing was started";
    const CliRun json = Cli("--json station id");
    nlohmann::json object;
    ASSERT_TRUE(OneObject(json, object));
    EXPECT_NE(object["error"].get<std::string>().find("Linux-only"), std::string::npos);
    // A mistake in the command line is still told as one.
    EXPECT_EQ(Cli("station burn").exitCode, 2);
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
