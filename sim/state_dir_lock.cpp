#include "sim/state_dir_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace brimlo::sim {
namespace {

enum class Outcome { Locked, TimedOut, Failed };

// Polled rather than blocking, so that the wait has an end.
Outcome LockBefore(int fd, std::chrono::steady_clock::time_point deadline) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return Outcome::Failed;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return Outcome::TimedOut;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Outcome::Locked;
}

// Closes the descriptor when the scope ends.
struct Descriptor {
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int fd;
};

}  // namespace

std::unique_ptr<StateDirLock> StateDirLock::Acquire(const std::filesystem::path& dir,
                                                    std::chrono::milliseconds wait,
                                                    std::string& error) {
    const auto systemError = [&](const char* what) {
        error = dir.string() + ": " + what + ": " + std::strerror(errno);
        return nullptr;
    };
    // The directory is the queue, the lock file the device: a waiter holds the queue while it
    // waits, so a process that lets the device go and wants it straight back (a script running
    // commands one after another) cannot step in front of one that was already waiting.
    const Descriptor queue{::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (queue.fd < 0) {
        return systemError("cannot open the state directory");
    }
    Descriptor device{::open((dir / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)};
    if (device.fd < 0) {
        return systemError("cannot open the state directory's lock file");
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    Outcome outcome = LockBefore(queue.fd, deadline);
    if (outcome == Outcome::Locked) {
        outcome = LockBefore(device.fd, deadline);
    }
    switch (outcome) {
        case Outcome::Locked:
            break;
        case Outcome::Failed:
            return systemError("cannot lock the state directory");
        case Outcome::TimedOut:
            error = dir.string() +
                    ": the emulated board is busy: another process has been using this state "
                    "directory for " +
                    std::to_string(wait.count()) + " ms; try again when it has finished";
            return nullptr;
    }
    std::unique_ptr<StateDirLock> lock(new StateDirLock(device.fd));
    device.fd = -1;
    return lock;  // the queue is let go here, for the next waiter
}

StateDirLock::~StateDirLock() {
    ::close(fd_);  // closing releases the lock
}

}  // namespace brimlo::sim
