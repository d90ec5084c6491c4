#pragma once
// The emulated device's state directory held by one process at a time: a command of the tool
// holds it from loading the device to letting it go, so two commands started together take
// turns instead of interleaving their writes.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "sim/state_dir_lock_file.h"

namespace brimlo::sim {

class StateDirLock {
  public:
    // Waits up to `wait` for another holder to let go. Null with `error` (the board is busy)
    // when it does not, or when the directory cannot be opened.
    static std::unique_ptr<StateDirLock> Acquire(const std::filesystem::path& dir,
                                                 std::chrono::milliseconds wait,
                                                 std::string& error);

    ~StateDirLock();
    StateDirLock(const StateDirLock&) = delete;
    StateDirLock& operator=(const StateDirLock&) = delete;

  private:
    explicit StateDirLock(std::unique_ptr<StateDirLockFile> file);

    std::unique_ptr<StateDirLockFile> file_;
};

}  // namespace brimlo::sim
