#include "flash/dump_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "flash/flash_messages.h"
#include "hid/debug_output.h"

namespace brimlo::flash {
namespace {

namespace fs = std::filesystem;

// Creates a file of its own beside `target`, named "<target>.partial-" and six hex digits.
int CreatePartial(const fs::path& target, fs::path& partial) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".partial-%06x", random() & 0xFFFFFFu);
        partial = target;
        partial += suffix;
        const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Renames without replacing a file that appeared at `to` meanwhile, where the file system
// can; where it cannot, checks first.
int RenameInto(const fs::path& from, const fs::path& to, bool replace) {
    if (replace) {
        return ::rename(from.c_str(), to.c_str());
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

}  // namespace

DumpFile::~DumpFile() {
    Abandon();
}

bool DumpFile::Open(const fs::path& path, bool replace, std::string& error) {
    Abandon();
    error_.clear();
    written_ = 0;
    stream_ = false;
    replace_ = replace;
    target_ = path;
    partial_.clear();

    std::error_code code;
    const fs::file_status status = fs::status(path, code);  // through a link, to its target
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) {
            error = "The dump file " + path.string() +
                    " exists and is not a regular file (a folder, a pipe or a device). Choose a "
                    "file name.";
            return false;
        }
        if (!replace) {
            error = "The dump file " + path.string() + " already exists.";
            return false;
        }
        // A link is replaced by writing its target, not the link itself.
        if (fs::is_symlink(fs::symlink_status(path, code))) {
            target_ = fs::canonical(path, code);
            if (code) {
                error = "Cannot follow the link " + path.string() + ": " + code.message() + ".";
                return false;
            }
        }
    }
    fd_ = CreatePartial(target_, partial_);
    if (fd_ < 0) {
        error = "Cannot create the dump file " + path.string() + ": " + std::strerror(errno) +
                ". Choose a file in a folder you can write to.";
        error_ = error;
        partial_.clear();
        return false;
    }
    hid::DebugPrintf("FileSize %s = [%d] [%d]\n", "WRITE", 0, 0);
    return true;
}

void DumpFile::OpenStream(int fd, std::string name) {
    Abandon();
    error_.clear();
    written_ = 0;
    stream_ = true;
    streamName_ = std::move(name);
    target_.clear();
    partial_.clear();
    fd_ = fd;
}

bool DumpFile::CloseDescriptor() {
    if (fd_ < 0) {
        return error_.empty();
    }
    // A failure already reported is not reported again.
    bool ok = error_.empty();
    if (io_.flush(fd_) != 0 && errno != EINVAL && errno != EROFS && ok) {
        Fail("flush", errno);
        ok = false;
    }
    if (!stream_ && ::close(fd_) != 0 && ok) {
        Fail("close", errno);
        ok = false;
    }
    fd_ = -1;
    return ok;
}

bool DumpFile::Commit() {
    if (!CloseDescriptor()) {
        return false;
    }
    if (stream_ || partial_.empty()) {
        return error_.empty();
    }
    if (RenameInto(partial_, target_, replace_) != 0) {
        const int error = errno;
        error_ = "Cannot rename the complete dump " + partial_.string() + " to " +
                 target_.string() + ": " + std::strerror(error) + ". The dump is kept in " +
                 partial_.string() + ".";
        boxes_.Show(error_, kCaptionError, MessageIcon::Error);
        return false;
    }
    partial_.clear();
    return true;
}

void DumpFile::Abandon() {
    CloseDescriptor();
    if (!stream_ && !partial_.empty() && written_ == 0) {
        ::unlink(partial_.c_str());
        partial_.clear();
    }
}

std::string DumpFile::Location() const {
    if (stream_) {
        return streamName_;
    }
    if (!partial_.empty()) {
        return partial_.string();
    }
    return written_ != 0 || fd_ >= 0 ? target_.string() : std::string();
}

void DumpFile::Fail(const char* what, int error) {
    const std::string name = stream_ ? streamName_ : target_.string();
    if (error == ENOSPC) {
        error_ = "The disk holding the dump file " + name + " is full after " +
                 std::to_string(written_) +
                 " bytes. Free some space or choose a file on another disk, and dump again.";
        boxes_.Show(kDiskFullText, kDiskFullCaption, MessageIcon::Warning);
        return;
    }
    error_ = std::string("Cannot ") + what + " the dump file " + name + " at byte " +
             std::to_string(written_) + ": " + std::strerror(error) +
             ". The dump has been stopped; choose another dump file and dump again.";
    boxes_.Show(error_, kCaptionError, MessageIcon::Error);
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
