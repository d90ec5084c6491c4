#include "flash/dump_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "flash/flash_messages.h"
#include "hid/debug_output.h"

namespace brimlo::flash {

DumpFile::~DumpFile() {
    Close();
}

bool DumpFile::Open(const std::filesystem::path& path, std::string& error) {
    Close();
    error_.clear();
    written_ = 0;
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error = "Cannot create the dump file " + path.string() + ": " + std::strerror(errno) +
                ". Choose a file in a folder you can write to.";
        error_ = error;
        return false;
    }
    struct stat info {};
    const std::uint64_t size =
        ::fstat(fd_, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    hid::DebugPrintf("FileSize %s = [%d] [%d]\n", "WRITE", static_cast<int>(size >> 32),
                     static_cast<int>(size & 0xFFFFFFFF));
    return true;
}

bool DumpFile::Close() {
    if (fd_ < 0) {
        return true;
    }
    // A failure already reported is not reported again.
    bool ok = error_.empty();
    if (io_.flush(fd_) != 0 && errno != EINVAL && errno != EROFS && ok) {
        Fail("flush", errno);
        ok = false;
    }
    if (::close(fd_) != 0 && ok) {
        Fail("close", errno);
        ok = false;
    }
    fd_ = -1;
    return ok;
}

void DumpFile::Fail(const char* what, int error) {
    error_ = std::string("Cannot ") + what + " the dump file " + path_.string() + " at byte " +
             std::to_string(written_) + ": " + std::strerror(error) +
             ". The dump has been stopped; choose another dump file and dump again.";
    if (error == ENOSPC) {
        boxes_.Show(kDiskFullText, kDiskFullCaption, MessageIcon::Warning);
    } else {
        boxes_.Show(error_, kCaptionError, MessageIcon::Error);
    }
}

std::size_t DumpFile::Write(std::span<const std::uint8_t> chunk) {
    if (fd_ < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < chunk.size()) {
        const ssize_t n = io_.write(fd_, chunk.data() + done, chunk.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            written_ += done;
            Fail("write", error);
            return done;
        }
        done += static_cast<std::size_t>(n);
    }
    // A special file (a pipe, a terminal) cannot be flushed, and needs not be.
    if (io_.flush(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        Fail("flush", errno);
        return 0;
    }
    written_ += done;
    return done;
}

}  // namespace brimlo::flash
