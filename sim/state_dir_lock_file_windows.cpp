#include "files/file_io.h"
#include "hid/windows/windows_headers.h"
#include "sim/state_dir_lock_file.h"
#include "sim/system_error_text.h"

namespace brimlo::sim {

// Windows locks byte ranges of a handle, so both locks are bytes of .lock: the device at
// offset 0, the queue at offset 1 (a lock may lie past the end of the file).
struct StateDirLockFile::Handles {
    HANDLE file;
    bool queueLocked = false;
    bool deviceLocked = false;
};

namespace {

constexpr DWORD kDeviceByte = 0;
constexpr DWORD kQueueByte = 1;

StateDirLockFile::Attempt TryLock(HANDLE file, DWORD byte, bool& locked, std::string& reason) {
    OVERLAPPED at{};
    at.Offset = byte;
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        locked = true;
        return StateDirLockFile::Attempt::Locked;
    }
    if (GetLastError() == ERROR_LOCK_VIOLATION) {
        return StateDirLockFile::Attempt::Held;
    }
    reason = LastSystemErrorText();
    return StateDirLockFile::Attempt::Failed;
}

void Unlock(HANDLE file, DWORD byte, bool& locked) {
    if (locked) {
        OVERLAPPED at{};
        at.Offset = byte;
        UnlockFileEx(file, 0, 1, 0, &at);
        locked = false;
    }
}

}  // namespace

StateDirLockFile::StateDirLockFile(std::unique_ptr<Handles> handles)
    : handles_(std::move(handles)) {}

StateDirLockFile::~StateDirLockFile() {
    // Unlocked before closing: the system frees the locks of a closed handle only in its own time.
    Unlock(handles_->file, kQueueByte, handles_->queueLocked);
    Unlock(handles_->file, kDeviceByte, handles_->deviceLocked);
    CloseHandle(handles_->file);
}

std::unique_ptr<StateDirLockFile> StateDirLockFile::Open(const std::filesystem::path& dir,
                                                         std::string& error) {
    const HANDLE file = CreateFileW((dir / ".lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const bool noDirectory = GetLastError() == ERROR_PATH_NOT_FOUND;
        const std::string reason = LastSystemErrorText();
        error = files::Utf8Name(dir) +
                (noDirectory ? ": cannot open the state directory: "
                             : ": cannot open the state directory's lock file: ") +
                reason;
        return nullptr;
    }
    return std::unique_ptr<StateDirLockFile>(new StateDirLockFile(std::make_unique<Handles>(file)));
}

StateDirLockFile::Attempt StateDirLockFile::TryLockQueue(std::string& reason) {
    return TryLock(handles_->file, kQueueByte, handles_->queueLocked, reason);
}

StateDirLockFile::Attempt StateDirLockFile::TryLockDevice(std::string& reason) {
    return TryLock(handles_->file, kDeviceByte, handles_->deviceLocked, reason);
}

void StateDirLockFile::UnlockQueue() {
    Unlock(handles_->file, kQueueByte, handles_->queueLocked);
}

}  // namespace brimlo::sim
