// One state directory used by several processes at once, as two commands of the tool started
// together would use it: each holds the directory for its length, the other waits its turn,
// and every file stays whole. Processes are forked, so these run on Linux only.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using testing::Wire;

// Rounds of load, write registers, let go: one command of the tool each. The two processes
// write documents of different lengths, so that a short one landing over a long one would
// leave a broken file, and a round that read the state before the other wrote would lose
// the other's registers.
std::string WriteRounds(const std::filesystem::path& dir, int rounds, std::uint32_t base,
                        std::uint32_t count) {
    for (int round = 0; round < rounds; ++round) {
        std::string error;
        auto device = SimDevice::Load(dir, error);
        if (!device) {
            return error;
        }
        Wire wire(device);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (!wire.WriteRegister(base + 4 * i, static_cast<std::uint32_t>(round))) {
                return wire.Connection().LastError();
            }
        }
    }
    return {};
}

TEST(StateDirSharing, TwoProcessesHammeringOneDirectoryLoseNothing) {
    testing::TempDir dir;  // empty: both processes also race to write device.json
    constexpr int kRounds = 60;
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const std::string error = WriteRounds(dir.path, kRounds, 0x2000, 1);
        if (!error.empty()) {
            std::fprintf(stderr, "child process: %s\n", error.c_str());
        }
        std::_Exit(error.empty() ? 0 : 1);
    }
    const std::string error = WriteRounds(dir.path, kRounds, 0x1000, 40);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the child process failed; its error is above";

    std::string loadError;
    auto device = SimDevice::Load(dir.path, loadError);
    ASSERT_NE(device, nullptr) << loadError;
    Wire wire(device);
    EXPECT_EQ(wire.ReadRegister(0x1000 + 4 * 39), kRounds - 1u);
    EXPECT_EQ(wire.ReadRegister(0x2000), kRounds - 1u);
}

TEST(StateDirSharing, ASecondUserWaitsForTheFirst) {
    testing::TempDir dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::string error;
        auto device = SimDevice::Load(dir.path, error);
        const bool wrote = device && Wire(device).WriteRegister(0x3000, 7);
        const char byte = 1;
        if (::write(ready[1], &byte, 1) != 1 || !wrote) {
            std::_Exit(1);
        }
        ::usleep(300'000);  // a command still running
        std::_Exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the child process could not load the device";
    ::close(ready[0]);

    const auto start = std::chrono::steady_clock::now();
    std::string error;
    auto device = SimDevice::Load(dir.path, error);
    const auto waited = std::chrono::steady_clock::now() - start;
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_NE(device, nullptr) << error;
    EXPECT_GE(waited, std::chrono::milliseconds(200)) << "it went ahead while the first held on";
    EXPECT_EQ(Wire(device).ReadRegister(0x3000), 7u) << "it sees what the first one left";
}

}  // namespace
}  // namespace brimlo::sim
