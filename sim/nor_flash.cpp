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

// Grows the file to `size` with erased bytes; existing bytes stay.
bool GrowBlank(int fd, off_t from, std::uint32_t size) {
    std::vector<std::uint8_t> blank(64 * 1024, kErased);
    for (off_t at = from; at < static_cast<off_t>(size);) {
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
    flash->fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (flash->fd_ < 0) {
        error = SystemError(file, "cannot open");
        return nullptr;
    }
    struct stat info {};
    if (::fstat(flash->fd_, &info) != 0) {
        error = SystemError(file, "cannot read its size");
        return nullptr;
    }
    if (info.st_size > static_cast<off_t>(size) && ::ftruncate(flash->fd_, size) != 0) {
        error = SystemError(file, "cannot cut to the chip's size");
        return nullptr;
    }
    if (info.st_size < static_cast<off_t>(size) && !GrowBlank(flash->fd_, info.st_size, size)) {
        error = SystemError(file, "cannot grow to the chip's size");
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
