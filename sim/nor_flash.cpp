#include "sim/nor_flash.h"

#include <cstring>

#include "files/file_io.h"
#include "sim/replace_file.h"

namespace brimlo::sim {
namespace {

constexpr std::uint8_t kErased = 0xFF;

}  // namespace

std::unique_ptr<NorFlash> NorFlash::InMemory(std::uint32_t size) {
    std::unique_ptr<NorFlash> flash(new NorFlash);
    flash->memory_.assign(size, kErased);
    flash->bytes_ = flash->memory_;
    return flash;
}

std::unique_ptr<NorFlash> NorFlash::MapFile(const std::filesystem::path& file, std::uint32_t size,
                                            std::string& error) {
    bool missing = false;
    std::unique_ptr<MappedFile> mapped = MappedFile::Open(file, missing, error);
    if (!mapped && missing) {
        // A blank chip, written whole before it takes the file's name, so that a run stopped
        // half-way never leaves a short flash.bin.
        if (!ReplaceFile(file, std::string(size, static_cast<char>(kErased)), error)) {
            return nullptr;
        }
        mapped = MappedFile::Open(file, missing, error);
    }
    if (!mapped) {
        return nullptr;
    }
    // Cutting would lose the end of someone's image, growing would hide a mix-up: the file is
    // the user's to sort out.
    if (mapped->Size() != size) {
        error = files::Utf8Name(file) + ": " + std::to_string(mapped->Size()) +
                " bytes, but the chip holds " + std::to_string(size) +
                " bytes; the file is left as it is (move it away for a blank chip, or configure "
                "the chip it was made for)";
        return nullptr;
    }
    if (!mapped->Map(error)) {
        return nullptr;
    }
    std::unique_ptr<NorFlash> flash(new NorFlash);
    flash->bytes_ = mapped->Bytes();
    flash->file_ = std::move(mapped);
    return flash;
}

NorFlash::~NorFlash() = default;

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
    if (file_) {
        file_->Flush();
    }
}

}  // namespace brimlo::sim
