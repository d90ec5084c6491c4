#include "flash/burn_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "flash/flash_areas.h"
#include "hid/debug_output.h"

namespace brimlo::flash {
namespace {

std::string Describe(const std::filesystem::path& path, const char* what, int error) {
    return std::string("Cannot ") + what + " the burn file " + path.string() + ": " +
           std::strerror(error) + ". Choose the burn file again.";
}

// Closes the descriptor on every way out.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

std::uint32_t BigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
}

}  // namespace

bool LoadBurnImage(const std::filesystem::path& path, BurnImage& image, std::string& error) {
    // Not blocking: opening a named pipe would otherwise wait for a writer before the check
    // below could refuse it.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0) {
        error = Describe(path, "open", errno);
        return false;
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        error = Describe(path, "examine", errno);
        return false;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    hid::DebugPrintf("FileSize %s = [%d] [%d]\n", "READ", static_cast<int>(size >> 32),
                     static_cast<int>(size & 0xFFFFFFFF));
    if (!S_ISREG(info.st_mode)) {
        error = "The burn file " + path.string() + " is not a regular file. Choose a flash image.";
        return false;
    }
    if (size == 0) {
        error = "The burn file " + path.string() + " is empty. Choose a flash image.";
        return false;
    }
    if (size > kMaxBurnFileSize) {
        error = "The burn file " + path.string() + " is " + std::to_string(size) +
                " bytes; burn files must be smaller than 4 GB. Choose a flash image.";
        return false;
    }

    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        error = "Not enough memory to hold the " + std::to_string(size) + "-byte burn file " +
                path.string() + ".";
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = Describe(path, "read", errno);
            return false;
        }
        if (n == 0) {
            break;  // the file shrank since it was examined: keep what it holds now
        }
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    image.path = path;
    image.bytes = std::move(bytes);
    return true;
}

std::optional<std::string> VersionText(std::span<const std::uint8_t> image) {
    if (image.size() < kVersionEnd) {
        return std::nullopt;
    }
    char text[12];
    std::snprintf(text, sizeof text, "%02x.%02x.%02x.%02x", image[kVersionOffset + 3],
                  image[kVersionOffset + 2], image[kVersionOffset + 1], image[kVersionOffset]);
    return std::string(text);
}

std::optional<FirmwareHeader> ReadFirmwareHeader(std::span<const std::uint8_t> image) {
    const std::size_t start = kFlashAreas[kFirmwareArea].address;
    if (image.size() < start + kFirmwareHeaderEnd) {
        return std::nullopt;
    }
    return FirmwareHeader{BigEndian32(image, start + kHeaderLenOffset),
                          BigEndian32(image, start + kBootSizeOffset)};
}

std::optional<std::uint32_t> RoundUpToSectors(std::uint64_t length, std::uint32_t sectorSize) {
    if (sectorSize == 0) {
        return std::nullopt;
    }
    const std::uint64_t rounded = (length + sectorSize - 1) / sectorSize * sectorSize;
    if (rounded > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(rounded);
}

}  // namespace brimlo::flash
