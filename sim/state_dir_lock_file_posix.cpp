#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "files/file_io.h"
#include "sim/state_dir_lock_file.h"
#include "sim/system_error_text.h"

namespace brimlo::sim {

// flock locks a whole open file, so the two locks are two files: the directory itself is the
// queue, .lock in it the device.
struct StateDirLockFile::Handles {
    ~Handles() {
        for (const int fd : {queue, device}) {
            if (fd >= 0) {
                ::close(fd);  // closing releases the lock
            }
        }
    }
    int queue = -1;
    int device = -1;
};

namespace {

StateDirLockFile::Attempt TryLock(int fd, std::string& reason) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        return StateDirLockFile::Attempt::Locked;
    }
    if (errno == EWOULDBLOCK || errno == EINTR) {
        return StateDirLockFile::Attempt::Held;
    }
    reason = LastSystemErrorText();
    return StateDirLockFile::Attempt::Failed;
}

}  // namespace

StateDirLockFile::StateDirLockFile(std::unique_ptr<Handles> handles)
    : handles_(std::move(handles)) {}

StateDirLockFile::~StateDirLockFile() = default;

std::unique_ptr<StateDirLockFile> StateDirLockFile::Open(const std::filesystem::path& dir,
                                                         std::string& error) {
    auto handles = std::make_unique<Handles>();
    handles->queue = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handles->queue < 0) {
        const std::string reason = LastSystemErrorText();
        error = files::Utf8Name(dir) + ": cannot open the state directory: " + reason;
        return nullptr;
    }
    handles->device = ::open((dir / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (handles->device < 0) {
        const std::string reason = LastSystemErrorText();
        error = files::Utf8Name(dir) + ": cannot open the state directory's lock file: " + reason;
        return nullptr;
    }
    return std::unique_ptr<StateDirLockFile>(new StateDirLockFile(std::move(handles)));
}

StateDirLockFile::Attempt StateDirLockFile::TryLockQueue(std::string& reason) {
    return TryLock(handles_->queue, reason);
}

StateDirLockFile::Attempt StateDirLockFile::TryLockDevice(std::string& reason) {
    return TryLock(handles_->device, reason);
}

void StateDirLockFile::UnlockQueue() {
    ::close(handles_->queue);
    handles_->queue = -1;
}

}  // namespace brimlo::sim
