#include "files/file_io.h"

#include <cerrno>
#include <utility>

namespace brimlo::files {

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Error ignored;
        Close(ignored);
        descriptor_ = other.Release();
    }
    return *this;
}

int File::Release() {
    return std::exchange(descriptor_, -1);
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                   Error& error) {
    File file;
    FileInfo info;
    if (!OpenForReading(path, file, error) || !Examine(file.Descriptor(), info, error)) {
        return false;
    }
    if (!info.regular) {
        error = {EINVAL, "Not a regular file"};
        return false;
    }
    std::vector<std::uint8_t> read(info.size);
    std::size_t done = 0;
    if (!ReadFully(file.Descriptor(), read, done, error)) {
        return false;
    }
    read.resize(done);
    bytes = std::move(read);
    return true;
}

std::size_t WriteAll(int descriptor, std::span<const std::uint8_t> bytes, Error& error,
                     WriteCall write) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::ptrdiff_t n = write(descriptor, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int code = n < 0 ? errno : EIO;
            error = {code, ErrorText(code)};
            return done;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool Flush(int descriptor, Error& error, FlushCall flush) {
    if (flush(descriptor) == 0 || errno == EINVAL || errno == EROFS) {
        return true;
    }
    const int code = errno;
    error = {code, ErrorText(code)};
    return false;
}

}  // namespace brimlo::files
