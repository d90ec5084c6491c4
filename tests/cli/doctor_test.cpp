// `brimlo-hid doctor` as a user runs it, on this machine: whatever it finds, every line is a
// verdict, the exit code follows the verdicts, and --json carries the same checks.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli_runner.h"

namespace brimlo::testing {
namespace {

using DoctorTest = CliTest;

TEST_F(DoctorTest, EveryLineIsAVerdictAndTheExitCodeFollowsThem) {
    const CliRun run = Run("doctor");
    ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode << run.err;
    std::istringstream lines(run.out);
    int problems = 0;
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const bool ok = line.starts_with("OK ");
        const bool problem = line.starts_with("PROBLEM ");
        EXPECT_TRUE(ok || problem) << line;
        if (problem) {
            ++problems;
            EXPECT_NE(line.find("; fix: "), std::string::npos) << line;
        }
    }
    EXPECT_GE(count, 3);  // kernel, rule, and the device or its absence
    const std::string first = run.out.substr(0, run.out.find('\n'));
    EXPECT_TRUE(first.find("Linux ") != std::string::npos ||
                first.find("kernel") != std::string::npos)
        << first;
    EXPECT_EQ(run.exitCode, problems == 0 ? 0 : 1) << run.out;
    EXPECT_EQ(run.err.empty(), problems == 0) << run.err;

    const CliRun json = Run("doctor --json");
    EXPECT_EQ(json.exitCode, run.exitCode);
    const auto object = nlohmann::json::parse(json.out);
    ASSERT_TRUE(object["checks"].is_array());
    EXPECT_EQ(object["checks"].size(), static_cast<std::size_t>(count));
    EXPECT_EQ(object["problems"], problems);
    EXPECT_EQ(object.contains("error"), problems != 0);
    for (const auto& check : object["checks"]) {
        EXPECT_EQ(check.contains("fix"), !check["ok"].get<bool>()) << check.dump();
    }
}

TEST_F(DoctorTest, RefusesTheEmulatedDeviceAndBadIdentifiers) {
    const CliRun simulated = Cli("doctor");
    EXPECT_EQ(simulated.exitCode, 2);
    EXPECT_NE(simulated.err.find("--simulate"), std::string::npos) << simulated.err;
    EXPECT_EQ(Run("doctor --path /dev/hidraw0").exitCode, 2);
    EXPECT_EQ(Run("doctor -d 12:xyz").exitCode, 2);

    // Identifiers no device has: the missing device is a problem named with them.
    const CliRun other = Run("doctor -d fffe:fffd");
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_NE(other.out.find("PROBLEM  no hidraw node of a USB device fffe:fffd"),
              std::string::npos)
        << other.out;
}

}  // namespace
}  // namespace brimlo::testing
