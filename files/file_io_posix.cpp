#include "files/file_io.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

namespace brimlo::files {
namespace {

namespace fs = std::filesystem;

bool Failed(Error& error) {
    const int code = errno;
    error = {code, ErrorText(code)};
    return false;
}

}  // namespace

fs::path PathFromUtf8(std::string_view text) {
    return fs::path(text);
}

std::string Utf8Name(const fs::path& path) {
    return path.string();
}

std::string ErrorText(int code) {
    return std::strerror(code);
}

File::~File() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

bool File::Close(Error& error) {
    if (descriptor_ < 0) {
        return true;
    }
    return ::close(std::exchange(descriptor_, -1)) == 0 || Failed(error);
}

bool OpenForReading(const fs::path& path, File& file, Error& error) {
    // Not blocking: opening a named pipe would otherwise wait for a writer.
    File opened(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!opened.IsOpen()) {
        return Failed(error);
    }
    file = std::move(opened);
    return true;
}

std::FILE* OpenForAppending(const fs::path& path, Error& error) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        Failed(error);
    }
    return file;
}

bool Examine(int descriptor, FileInfo& info, Error& error) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return Failed(error);
    }
    info.size = static_cast<std::uint64_t>(status.st_size);
    info.regular = S_ISREG(status.st_mode);
    return true;
}

bool ReadFully(int descriptor, std::span<std::uint8_t> buffer, std::size_t& done, Error& error) {
    done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(descriptor, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Failed(error);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool CreateBeside(const fs::path& target, std::string_view infix, File& file, fs::path& created,
                  Error& error) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%06x", random() & 0xFFFFFFu);
        fs::path name = target;
        name += infix;
        name += digits;
        File opened(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (opened.IsOpen()) {
            file = std::move(opened);
            created = std::move(name);
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return Failed(error);
}

std::ptrdiff_t SystemWrite(int descriptor, const void* data, std::size_t count) {
    return ::write(descriptor, data, count);
}

int SystemFlush(int descriptor) {
    return ::fdatasync(descriptor);
}

void UseBinaryMode(int) {}

bool Rename(const fs::path& from, const fs::path& to, bool replace, Error& error) {
    if (replace) {
        return ::rename(from.c_str(), to.c_str()) == 0 || Failed(error);
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    // Where the file system cannot refuse to replace, check first.
    if (errno != EINVAL && errno != ENOSYS) {
        return Failed(error);
    }
    struct stat status {};
    if (::lstat(to.c_str(), &status) == 0) {
        errno = EEXIST;
        return Failed(error);
    }
    return ::rename(from.c_str(), to.c_str()) == 0 || Failed(error);
}

bool Remove(const fs::path& path, Error& error) {
    return ::unlink(path.c_str()) == 0 || Failed(error);
}

}  // namespace brimlo::files
