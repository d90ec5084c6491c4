#pragma once
// Runs brimlo-hid against the emulated device as a script would, in a folder of its own that
// holds the device's state, the files of the test and what the tool printed.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "flash_test_data.h"
#include "process_runner.h"

namespace brimlo::flash::testing {

using CliRun = brimlo::testing::ProcessResult;

class FlashCliTest : public ::testing::Test {
  protected:
    // The tool's arguments for `args` after the emulated device's options; `args` is split as a
    // shell splits words and single quotes.
    std::vector<std::string> Arguments(const std::string& args) const {
        return brimlo::testing::SplitArguments("--simulate --sim-state '" + Path("sim") + "' " +
                                               args);
    }
    // Runs the tool to its end.
    CliRun Cli(const std::string& args) const {
        return brimlo::testing::RunProcess(BRIMLO_HID_BINARY, Arguments(args), dir.path);
    }
    // The files of the test folder whose name starts with `prefix`.
    std::vector<std::string> FilesStartingWith(const std::string& prefix) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
            if (entry.path().filename().string().rfind(prefix, 0) == 0) {
                names.push_back(entry.path().string());
            }
        }
        return names;
    }
    // Sets one key of the emulated device's device.json, a fault unless told.
    void SetFault(const std::string& name, const nlohmann::json& value,
                  const std::string& under = "/faults/") const {
        nlohmann::json json = nlohmann::json::parse(Text("sim/device.json"));
        json[nlohmann::json::json_pointer(under + name)] = value;
        std::ofstream(Path("sim/device.json")) << json.dump(2);
    }
    // The exchanges a run of the tool with `args` makes, from its trace.
    long ExchangesOf(const std::string& args) const {
        EXPECT_EQ(Cli("--trace " + Path("trace") + " " + args).exitCode, 0) << args;
        const std::string trace = Text("trace");
        return std::count(trace.begin(), trace.end(), '\n');
    }
    std::string Path(const std::string& name) const { return (dir.path / name).string(); }
    nlohmann::json Json(const std::string& text) const {
        return nlohmann::json::parse(text, nullptr, false);
    }
    std::string Text(const std::string& name) const {
        const Bytes bytes = TempDir::Read(dir.path / name);
        return {bytes.begin(), bytes.end()};
    }

    TempDir dir;
};

}  // namespace brimlo::flash::testing
