#pragma once
// Runs the brimlo-hid binary in a shell, as a user or a script would, with a state directory of
// its own for the emulated device.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace brimlo::testing {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state = std::filesystem::temp_directory_path() /
                ("brimlo-cli-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(state);
        std::filesystem::create_directories(state);
    }
    void TearDown() override { std::filesystem::remove_all(state); }

    // `args` after the emulated device's options.
    CliRun Cli(const std::string& args) {
        return Run("--simulate --sim-state '" + state.string() + "' " + args);
    }

    // `args` exactly as given (shell syntax).
    CliRun Run(const std::string& args) {
        const std::filesystem::path errFile = state / "stderr.txt";
        const std::string command =
            std::string(BRIMLO_HID_BINARY) + " " + args + " 2>'" + errFile.string() + "'";
        CliRun run;
        std::FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return run;
        }
        std::array<char, 4096> chunk;
        std::size_t n;
        while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
            run.out.append(chunk.data(), n);
        }
        const int status = ::pclose(pipe);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream err(errFile);
        run.err.assign(std::istreambuf_iterator<char>(err), {});
        return run;
    }

    std::filesystem::path state;
};

}  // namespace brimlo::testing
