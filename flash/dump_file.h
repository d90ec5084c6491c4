#pragma once
// The dump file: created, or emptied, when it is chosen; every chunk written and flushed to
// the disk before the burst reads the next one, so a dump that stops leaves a file that holds
// exactly the chunks it reported.

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "commands/flash_progress.h"
#include "commands/message_boxes.h"

namespace brimlo::flash {

// The two system calls of a chunk; tests swap them to meet errors a real disk rarely shows.
struct DumpFileIo {
    ssize_t (*write)(int fd, const void* data, size_t count) = ::write;
    int (*flush)(int fd) = ::fdatasync;
};

class DumpFile final : public FlashChunkSink {
  public:
    // `boxes` shows the file's failures; it must outlive the file.
    explicit DumpFile(MessageBoxes& boxes, DumpFileIo io = {}) : boxes_(boxes), io_(io) {}
    ~DumpFile() override;
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;

    // Creates `path`, or empties it. False with `error` when it cannot be opened for writing.
    // Closes a file opened before.
    bool Open(const std::filesystem::path& path, std::string& error);
    bool IsOpen() const { return fd_ >= 0; }
    // Flushes and closes; true when everything written reached the disk.
    bool Close();

    // Writes the chunk and flushes it. Returns the bytes that reached the disk; fewer than
    // given means the dump must stop, and Error() says why. The file tells the user itself: a
    // full disk shows the "Dump Filter failure" warning, any other failure an error box.
    std::size_t Write(std::span<const std::uint8_t> chunk) override;

    // Why the last operation failed; empty when none did.
    const std::string& Error() const { return error_; }
    std::uint64_t BytesWritten() const { return written_; }

  private:
    void Fail(const char* what, int error);

    MessageBoxes& boxes_;
    DumpFileIo io_;
    std::filesystem::path path_;
    int fd_ = -1;
    std::uint64_t written_ = 0;
    std::string error_;
};

}  // namespace brimlo::flash
