#pragma once
// The two locks of a state directory. The queue is held by whoever waits for the device, the
// device by whoever uses the board: a process that lets the device go and wants it straight
// back (a script running commands one after another) thus queues behind one already waiting.

#include <filesystem>
#include <memory>
#include <string>

namespace brimlo::sim {

class StateDirLockFile {
  public:
    enum class Attempt { Locked, Held, Failed };

    // Null with `error` naming the directory when it or its lock file cannot be opened.
    static std::unique_ptr<StateDirLockFile> Open(const std::filesystem::path& dir,
                                                  std::string& error);

    // Neither waits: Held when another holds the lock, Failed with the system's `reason`.
    Attempt TryLockQueue(std::string& reason);
    Attempt TryLockDevice(std::string& reason);
    void UnlockQueue();

    // Lets go of both locks.
    ~StateDirLockFile();
    StateDirLockFile(const StateDirLockFile&) = delete;
    StateDirLockFile& operator=(const StateDirLockFile&) = delete;

  private:
    struct Handles;
    explicit StateDirLockFile(std::unique_ptr<Handles> handles);

    std::unique_ptr<Handles> handles_;
};

}  // namespace brimlo::sim
