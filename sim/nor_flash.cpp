#include "sim/nor_flash.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace brimlo::sim {
namespace {

constexpr std::uint8_t kErased = 0xFF;

std::string SystemError(const std::filesystem::path& file, const char* what) {
    return file.string() + ": " + what + ": " + std::strerror(errno);
}

// Fills a new file with `size` erased bytes.
bool WriteBlank(int fd, std::uint32_t size) {
    std::vector<std::uint8_t> blank(64 * 1024, kErased);
    for (off_t at = 0; at < static_cast<off_t>(size);) {
        const std::size_t chunk =
            std::min<std::size_t>(blank.size(), static_cast<std::size_t>(size - at));
        const ssize_t written = ::pwrite(fd, blank.data(), chunk, at);
        if (written <= 0) {
            return false;
        }
        at += written;
    }
    return true;
}

// A blank chip of `size` bytes, written beside `file` and renamed into place once whole, so
// that a run stopped half-way never leaves a short flash.bin. The open file, or -1 with `error`.
int CreateBlank(const std::filesystem::path& file, std::uint32_t size, std::string& error) {
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = SystemError(file, "cannot create");
        return -1;
    }
    if (::fchmod(fd, 0644) != 0 || !WriteBlank(fd, size) ||
        ::rename(temporary.c_str(), file.c_str()) != 0) {
        error = SystemError(file, "cannot create");
        ::close(fd);
        ::unlink(temporary.c_str());
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<NorFlash> NorFlash::InMemory(std::uint32_t size) {
    std::unique_ptr<NorFlash> flash(new NorFlash);
    flash->memory_.assign(size, kErased);
    flash->bytes_ = flash->memory_;
    return flash;
}

std::unique_ptr<NorFlash> NorFlash::MapFile(const std::filesystem::path& file, std::uint32_t size,
                                            std::string& error) {
    std::unique_ptr<NorFlash> flash(new NorFlash);
    flash->fd_ = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (flash->fd_ < 0 && errno == ENOENT) {
        flash->fd_ = CreateBlank(file, size, error);
        if (flash->fd_ < 0) {
            return nullptr;
        }
    } else if (flash->fd_ < 0) {
        error = SystemError(file, "cannot open");
        return nullptr;
    }
    struct stat info {};
    if (::fstat(flash->fd_, &info) != 0) {
        error = SystemError(file, "cannot read its size");
        return nullptr;
    }
    // Cutting would lose the end of someone's image, growing would hide a mix-up: the file is
    // the user's to sort out.
    if (info.st_size != static_cast<off_t>(size)) {
        error = file.string() + ": " + std::to_string(info.st_size) +
                " bytes, but the chip holds " + std::to_string(size) +
                " bytes; the file is left as it is (move it away for a blank chip, or configure "
                "the chip it was made for)";
        return nullptr;
    }
    void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, flash->fd_, 0);
    if (mapped == MAP_FAILED) {
        error = SystemError(file, "cannot map");
        return nullptr;
    }
    flash->bytes_ = {static_cast<std::uint8_t*>(mapped), size};
    return flash;
}

NorFlash::~NorFlash() {
    if (fd_ >= 0) {
        if (!bytes_.empty()) {
            ::munmap(bytes_.data(), bytes_.size());
        }
        ::close(fd_);
    }
}

void NorFlash::Erase(std::uint32_t address, std::uint32_t length) {
    std::memset(bytes_.data() + address, kErased, length);
}

void NorFlash::Program(std::uint32_t address, std::span<const std::uint8_t> data) {
    std::uint8_t* cell = bytes_.data() + address;
    for (std::uint8_t byte : data) {
        *cell++ &= byte;
    }
}

void NorFlash::Read(std::uint32_t address, std::span<std::uint8_t> out) const {
    std::memcpy(out.data(), bytes_.data() + address, out.size());
}

void NorFlash::Load(std::uint32_t address, std::span<const std::uint8_t> data) {
    std::memcpy(bytes_.data() + address, data.data(), data.size());
}

void NorFlash::Sync() {
    if (fd_ >= 0) {
        ::msync(bytes_.data(), bytes_.size(), MS_ASYNC);
    }
}

}  // namespace brimlo::sim
