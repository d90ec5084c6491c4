// On Windows the commands that need Linux (doctor's udev and hidraw checks, the station's
// hotplug events) say so and what to use instead, as a usage error, whatever follows them.

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

TEST_F(CliTest, DoctorIsLinuxOnlyAndPointsAtList) {
    EXPECT_TRUE(RefusedAsLinuxOnly(Run("doctor"), "list"));
    EXPECT_TRUE(RefusedAsLinuxOnly(Run("doctor -d 1209:0001"), "list"));
}

}  // namespace
