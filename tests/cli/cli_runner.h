#pragma once
// Runs the brimlo-hid binary as a user or a script would, with a state directory of its own for
// the emulated device.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "process_runner.h"

namespace brimlo::testing {

using CliRun = ProcessResult;

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state = std::filesystem::temp_directory_path() /
                ("brimlo-cli-" + std::to_string(CurrentProcessId()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(state);
        std::filesystem::create_directories(state);
    }
    void TearDown() override { std::filesystem::remove_all(state); }

    // `args` after the emulated device's options.
    CliRun Cli(const std::string& args) {
        return Run("--simulate --sim-state '" + state.string() + "' " + args);
    }

    // `args` split as a shell would split words and single quotes.
    CliRun Run(const std::string& args) {
        return RunProcess(BRIMLO_HID_BINARY, SplitArguments(args), state);
    }

    std::filesystem::path state;
};

// The one JSON object a --json run printed, or a failure naming what was printed instead.
inline ::testing::AssertionResult OneObject(const CliRun& run, nlohmann::json& object) {
    const auto lineEnd = run.out.find('\n');
    if (lineEnd == std::string::npos || lineEnd + 1 != run.out.size()) {
        return ::testing::AssertionFailure() << "not one line on stdout: '" << run.out << "'";
    }
    object = nlohmann::json::parse(run.out, nullptr, false);
    if (!object.is_object()) {
        return ::testing::AssertionFailure() << "not a JSON object: " << run.out;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace brimlo::testing
