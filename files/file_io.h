#pragma once
// The few file operations the library needs, the same on Linux and Windows: every file is
// opened in binary mode, a file is replaced only by renaming a complete one over it, and each
// failure comes with the system's own words for it.
//
// Paths are std::filesystem::path. On Windows a path holds UTF-16 and the wide system calls take
// it as it is; text in the library is UTF-8, so build a path from text with PathFromUtf8 and
// name one in a message with Utf8Name.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brimlo::files {

// Why an operation failed. `code` is an errno value on both systems (ENOSPC: the disk is full;
// EEXIST: the name is taken; EISDIR: the name is a folder); `text` is the system's sentence
// for it, without a full stop.
struct Error {
    int code = 0;
    std::string text;
};

std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8Name(const std::filesystem::path& path);

// The system's sentence for an errno value ("No space left on device").
std::string ErrorText(int code);

// A descriptor of its own, closed when it goes. Descriptors are the C runtime's on both systems
// (Windows: _wopen), so they mix with the standard streams' 0, 1 and 2.
class File {
  public:
    File() = default;
    explicit File(int descriptor) : descriptor_(descriptor) {}
    ~File();
    File(File&& other) noexcept : descriptor_(other.Release()) {}
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool IsOpen() const { return descriptor_ >= 0; }
    int Descriptor() const { return descriptor_; }
    // Gives the descriptor up without closing it.
    int Release();
    // Closes now; false with `error` when the system reports a failure (a write it had delayed).
    bool Close(Error& error);

  private:
    int descriptor_ = -1;
};

// Opens an existing file for reading. Never waits: on Linux a named pipe without a writer
// opens at once, so that Examine can refuse it. Windows cannot open a folder; it fails with
// EISDIR.
bool OpenForReading(const std::filesystem::path& path, File& file, Error& error);

struct FileInfo {
    std::uint64_t size = 0;
    bool regular = false;  // not a folder, pipe or device
};
bool Examine(int descriptor, FileInfo& info, Error& error);

// Opens a file for appending in binary mode, created when missing (a log). Null with `error`
// when it cannot be.
std::FILE* OpenForAppending(const std::filesystem::path& path, Error& error);

// Reads until `buffer` is full or the file ends; `done` says how many bytes arrived. False with
// `error` when a read fails.
bool ReadFully(int descriptor, std::span<std::uint8_t> buffer, std::size_t& done, Error& error);

// The whole of a regular file. False with `error` when it cannot be opened or read, or is not a
// regular file; `bytes` is then unchanged.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                   Error& error);

// Creates a new file for writing beside `target`, named `target` + `infix` + six hex digits,
// never one that exists already. `created` is its name. Its permissions are those of any file
// the user creates.
bool CreateBeside(const std::filesystem::path& target, std::string_view infix, File& file,
                  std::filesystem::path& created, Error& error);

// One write and one flush as the system does them, with errno set on failure; WriteAll and
// Flush take others from tests that need errors a real disk rarely shows. SystemFlush flushes
// file data to the disk (Linux: fdatasync; Windows: _commit, and nothing for a pipe or console).
using WriteCall = std::ptrdiff_t (*)(int descriptor, const void* data, std::size_t count);
using FlushCall = int (*)(int descriptor);
std::ptrdiff_t SystemWrite(int descriptor, const void* data, std::size_t count);
int SystemFlush(int descriptor);

// Writes all of `bytes`, going on after interruptions and short writes. Returns the bytes
// written; fewer than given means `error` says why (a write that writes nothing is EIO).
std::size_t WriteAll(int descriptor, std::span<const std::uint8_t> bytes, Error& error,
                     WriteCall write = SystemWrite);
// Flushes what was written to the disk. A special file (a pipe, a terminal) cannot be flushed
// and needs not be: that is no failure.
bool Flush(int descriptor, Error& error, FlushCall flush = SystemFlush);

// Changes a descriptor opened elsewhere (standard output) to binary mode; nothing on Linux.
void UseBinaryMode(int descriptor);

// Renames `from` to `to` in one step: a reader sees the old file or the new one, never neither.
// A file at `to` is replaced only when `replace`; otherwise false with EEXIST, also when one
// appears meanwhile where the file system can tell. Windows writes the move through to the disk.
bool Rename(const std::filesystem::path& from, const std::filesystem::path& to, bool replace,
            Error& error);

bool Remove(const std::filesystem::path& path, Error& error);

}  // namespace brimlo::files
