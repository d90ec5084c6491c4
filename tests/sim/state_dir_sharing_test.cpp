// One state directory used by several processes at once, as two commands of the tool started
// together would use it: each holds the directory for its length, the other waits its turn,
// and every file stays whole. The other process is state_dir_user.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "process_runner.h"
#include "state_dir_rounds.h"

namespace brimlo::sim {
namespace {

using namespace std::chrono_literals;
using testing::Wire;

// The other process, run on a thread of its own so that this one works meanwhile.
std::future<brimlo::testing::ProcessResult> StartOther(std::vector<std::string> arguments,
                                                       const std::filesystem::path& scratch) {
    return std::async(std::launch::async, [arguments = std::move(arguments), scratch] {
        return brimlo::testing::RunProcess(SIM_STATE_DIR_USER, arguments, scratch);
    });
}

// The two processes write documents of different lengths, so that a short one landing over a
// long one would leave a broken file, and a round that read the state before the other wrote
// would lose the other's registers.
TEST(StateDirSharing, TwoProcessesHammeringOneDirectoryLoseNothing) {
    testing::TempDir dir;  // empty: both processes also race to write device.json
    testing::TempDir scratch;
    constexpr int kRounds = 60;
    auto other = StartOther({"rounds", dir.path.string(), std::to_string(kRounds), "0x2000", "1"},
                            scratch.path);
    EXPECT_EQ(testing::WriteRounds(dir.path, kRounds, 0x1000, 40), "");
    const brimlo::testing::ProcessResult result = other.get();
    EXPECT_EQ(result.exitCode, 0) << result.err;

    std::string error;
    auto device = SimDevice::Load(dir.path, error);
    ASSERT_NE(device, nullptr) << error;
    Wire wire(device);
    EXPECT_EQ(wire.ReadRegister(0x1000 + 4 * 39), kRounds - 1u);
    EXPECT_EQ(wire.ReadRegister(0x2000), kRounds - 1u);
}

TEST(StateDirSharing, ASecondUserWaitsForTheFirst) {
    testing::TempDir dir;
    testing::TempDir scratch;
    const std::filesystem::path ready = scratch.path / "ready";
    auto other = StartOther({"hold", dir.path.string(), ready.string(), "300"}, scratch.path);
    const auto giveUp = std::chrono::steady_clock::now() + 30s;
    while (!std::filesystem::exists(ready) && other.wait_for(5ms) != std::future_status::ready &&
           std::chrono::steady_clock::now() < giveUp) {
    }
    ASSERT_TRUE(std::filesystem::exists(ready)) << "the other process did not load the device";

    const auto start = std::chrono::steady_clock::now();
    std::string error;
    auto device = SimDevice::Load(dir.path, error);
    const auto waited = std::chrono::steady_clock::now() - start;
    const brimlo::testing::ProcessResult result = other.get();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    ASSERT_NE(device, nullptr) << error;
    EXPECT_GE(waited, 200ms) << "it went ahead while the first held on";
    EXPECT_EQ(Wire(device).ReadRegister(0x3000), 7u) << "it sees what the first one left";
}

}  // namespace
}  // namespace brimlo::sim
