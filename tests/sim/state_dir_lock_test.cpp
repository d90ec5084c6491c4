// The state directory's lock on every system: a second opener waits its turn and is told the
// board is busy when the turn does not come, and a waiter is not overtaken by a holder that
// lets go and wants the board straight back.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "hid/hid_platform.h"
#include "sim/state_dir_lock.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using namespace std::chrono_literals;
using testing::Wire;

TEST(StateDirLock, AHolderWantingItBackQueuesBehindAWaiter) {
    testing::TempDir dir;
    std::string error;
    auto holder = StateDirLock::Acquire(dir.path, 0ms, error);
    ASSERT_NE(holder, nullptr) << error;
    // The waiter's lock is kept until the test has looked.
    auto waiter = std::async(std::launch::async, [&dir] {
        std::string waitError;
        return StateDirLock::Acquire(dir.path, 5000ms, waitError);
    });
    std::this_thread::sleep_for(200ms);  // the waiter is in the queue
    holder.reset();
    EXPECT_EQ(StateDirLock::Acquire(dir.path, 0ms, error), nullptr)
        << "stepped in front of the waiter";
    EXPECT_NE(error.find("busy"), std::string::npos) << error;
    EXPECT_NE(waiter.get(), nullptr);
}

TEST(StateDirLock, AMissingDirectoryIsNamed) {
    testing::TempDir dir;
    std::string error;
    EXPECT_EQ(StateDirLock::Acquire(dir.path / "gone", 0ms, error), nullptr);
    EXPECT_NE(error.find((dir.path / "gone").string() + ": cannot open the state directory"),
              std::string::npos)
        << error;
}

// Through the device, as each command of the tool loads it.
TEST(StateDirSharing, AUserThatWaitsTooLongIsToldTheBoardIsBusy) {
    testing::TempDir dir;
    std::string error;
    auto holder = SimDevice::Load(dir.path, error);
    ASSERT_NE(holder, nullptr) << error;

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SimDevice::Load(dir.path, error, 100ms), nullptr);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_NE(error.find(dir.path.string()), std::string::npos) << error;
    EXPECT_NE(error.find("the emulated board is busy"), std::string::npos) << error;
    EXPECT_NE(error.find("100 ms"), std::string::npos) << error;
    EXPECT_TRUE(hid::HeldElsewhere(error)) << "front ends tell busy from missing: " << error;

    holder.reset();
    EXPECT_NE(SimDevice::Load(dir.path, error, 100ms), nullptr) << error;
}

TEST(StateDirSharing, FilesAreReplacedWholeAndNoTemporaryIsLeft) {
    testing::TempDir dir;
    {
        std::string error;
        auto device = SimDevice::Load(dir.path, error);
        ASSERT_NE(device, nullptr) << error;
        ASSERT_TRUE(Wire(device).WriteRegister(0x10, 1));
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".lock", "device.json", "flash.bin", "state.json"}));
    const auto permissions = std::filesystem::status(dir.path / "state.json").permissions();
    EXPECT_NE(permissions & std::filesystem::perms::others_read, std::filesystem::perms::none)
        << "as readable as a file written in place";
}

}  // namespace
}  // namespace brimlo::sim
