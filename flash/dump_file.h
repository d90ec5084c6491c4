#pragma once
// The dump file. A dump goes into a new file beside the chosen name ("<name>.partial-XXXXXX")
// that is renamed to the chosen name only once the dump is complete: a file already there is
// never emptied by a dump that then fails, and a half dump never sits under the chosen name.
// Every chunk is written before the burst reads the next one, so a dump that ends early leaves a
// partial file holding exactly the chunks it reported; it is kept under its partial name
// (removed when it holds nothing), and Location() says where.
// A stream (standard output) is written as it is, without a partial file.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "commands/flash_progress.h"
#include "commands/message_boxes.h"
#include "files/file_io.h"

namespace brimlo::flash {

// The two system calls of a chunk; tests swap them to meet errors a real disk rarely shows.
struct DumpFileIo {
    files::WriteCall write = files::SystemWrite;
    files::FlushCall flush = files::SystemFlush;
};

// When the written chunks are flushed to the disk. The dialog flushes every chunk before the next
// is read. Elsewhere one flush before the rename is enough: the file takes its name only when
// complete, an early end keeps the partial file either way, and a flush per chunk costs more
// than the transfer on slow media.
enum class DumpFlush { EveryChunk, BeforeRename };

class DumpFile final : public FlashChunkSink {
  public:
    // `boxes` shows the file's failures; it must outlive the file.
    explicit DumpFile(MessageBoxes& boxes, DumpFileIo io = {},
                      DumpFlush flush = DumpFlush::EveryChunk)
        : boxes_(boxes), io_(io), flush_(flush) {}
    // Abandons a dump that was not committed.
    ~DumpFile() override;
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;

    // Starts a dump into `path`: creates the partial file beside it. Refuses a `path` that
    // exists but is not a regular file (a folder, a pipe, a device), and an existing file
    // unless `replace`. False with `error` saying why and what to do. Abandons a dump opened
    // before.
    bool Open(const std::filesystem::path& path, bool replace, std::string& error);
    // Starts a dump into the open descriptor `fd`, called `name` in messages ("standard
    // output"), switched to binary mode. The descriptor stays open.
    void OpenStream(int fd, std::string name);
    bool IsOpen() const { return fd_ >= 0; }
    bool IsStream() const { return stream_; }

    // Ends a complete dump: flushes and closes the partial file and renames it to the chosen
    // name. False, with an error box and Error(), when that fails; the bytes then stay under
    // the partial name.
    bool Commit();
    // Ends an incomplete dump: closes the partial file and keeps it, or removes it when it
    // holds no byte.
    void Abandon();

    // Writes the chunk, and flushes it when every chunk is. Returns the bytes written; fewer than
    // given means the dump must stop, and Error() says why. The file tells the user itself: a
    // full disk shows the "Dump Filter failure" warning, any other failure an error box.
    std::size_t Write(std::span<const std::uint8_t> chunk) override;
    std::string WriteError() const override { return error_; }

    // Why the last operation failed; empty when none did.
    const std::string& Error() const { return error_; }
    std::uint64_t BytesWritten() const { return written_; }
    // Where the bytes written are: the chosen name after Commit, the partial file's name
    // before and after Abandon, the stream's name; empty when no file holds any.
    std::string Location() const;

  private:
    void Fail(const char* what, const files::Error& failure);
    // Flushes and closes the descriptor; false after a failure it reported.
    bool CloseDescriptor();

    MessageBoxes& boxes_;
    DumpFileIo io_;
    DumpFlush flush_;
    std::filesystem::path target_;   // the chosen name
    std::filesystem::path partial_;  // the file written; empty for a stream or once renamed
    std::string streamName_;
    bool stream_ = false;
    bool replace_ = false;
    files::File file_;  // the partial file; not open for a stream
    int fd_ = -1;       // the descriptor written
    std::uint64_t written_ = 0;
    std::string error_;
};

}  // namespace brimlo::flash
