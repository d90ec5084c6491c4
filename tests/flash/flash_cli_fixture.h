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
    // Sets one fault of the emulated device, as its device.json names it.
    void SetFault(const std::string& name, const nlohmann::json& value) const {
        nlohmann::json json = nlohmann::json::parse(Text("sim/device.json"));
        json["faults"][name] = value;
        std::ofstream(Path("sim/device.json")) << json.dump(2);
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
