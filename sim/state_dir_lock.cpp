#include "sim/state_dir_lock.h"

#include <thread>

#include "files/file_io.h"
#include "hid/hid_platform.h"

namespace brimlo::sim {
namespace {

using Attempt = StateDirLockFile::Attempt;

// Polled rather than blocking, so that the wait has an end.
template <typename TryLock>
Attempt LockBefore(TryLock tryLock, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const Attempt attempt = tryLock();
        if (attempt != Attempt::Held || std::chrono::steady_clock::now() >= deadline) {
            return attempt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

StateDirLock::StateDirLock(std::unique_ptr<StateDirLockFile> file) : file_(std::move(file)) {}

StateDirLock::~StateDirLock() = default;  // closing the lock file lets go

std::unique_ptr<StateDirLock> StateDirLock::Acquire(const std::filesystem::path& dir,
                                                    std::chrono::milliseconds wait,
                                                    std::string& error) {
    std::unique_ptr<StateDirLockFile> file = StateDirLockFile::Open(dir, error);
    if (!file) {
        return nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::string reason;
    Attempt attempt = LockBefore([&] { return file->TryLockQueue(reason); }, deadline);
    if (attempt == Attempt::Locked) {
        attempt = LockBefore([&] { return file->TryLockDevice(reason); }, deadline);
    }
    switch (attempt) {
        case Attempt::Locked:
            break;
        case Attempt::Failed:
            error = files::Utf8Name(dir) + ": cannot lock the state directory: " + reason;
            return nullptr;
        case Attempt::Held:
            error = files::Utf8Name(dir) +
                    ": the emulated board is busy: another process has been using this state "
                    "directory for " +
                    std::to_string(wait.count()) + " ms" + std::string(hid::kHeldElsewhere);
            return nullptr;
    }
    file->UnlockQueue();  // for the next waiter
    return std::unique_ptr<StateDirLock>(new StateDirLock(std::move(file)));
}

}  // namespace brimlo::sim
