#include "flash/burn_image.h"

#include <cerrno>
#include <cstdio>
#include <new>

#include "files/file_io.h"
#include "flash/flash_areas.h"
#include "hid/debug_output.h"

namespace brimlo::flash {
namespace {

std::string Describe(const std::filesystem::path& path, const char* what,
                     const files::Error& failure) {
    return std::string("Cannot ") + what + " the burn file " + files::Utf8Name(path) + ": " +
           failure.text + ". Choose the burn file again.";
}

std::string NotRegular(const std::filesystem::path& path) {
    return "The burn file " + files::Utf8Name(path) +
           " is not a regular file. Choose a flash image.";
}

std::uint32_t BigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
}

}  // namespace

bool LoadBurnImage(const std::filesystem::path& path, BurnImage& image, std::string& error) {
    files::File file;
    files::Error failure;
    if (!files::OpenForReading(path, file, failure)) {
        error = failure.code == EISDIR ? NotRegular(path) : Describe(path, "open", failure);
        return false;
    }
    files::FileInfo info;
    if (!files::Examine(file.Descriptor(), info, failure)) {
        error = Describe(path, "examine", failure);
        return false;
    }
    const std::uint64_t size = info.size;
    hid::DebugPrintf("FileSize %s = [%d] [%d]\n", "READ", static_cast<int>(size >> 32),
                     static_cast<int>(size & 0xFFFFFFFF));
    if (!info.regular) {
        error = NotRegular(path);
        return false;
    }
    const std::string name = files::Utf8Name(path);
    if (size == 0) {
        error = "The burn file " + name + " is empty. Choose a flash image.";
        return false;
    }
    if (size > kMaxBurnFileSize) {
        error = "The burn file " + name + " is " + std::to_string(size) +
                " bytes; burn files must be smaller than 4 GB. Choose a flash image.";
        return false;
    }

    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        error = "Not enough memory to hold the " + std::to_string(size) + "-byte burn file " +
                name + ".";
        return false;
    }
    // A file that shrank since it was examined ends early: keep what it holds now.
    std::size_t done = 0;
    if (!files::ReadFully(file.Descriptor(), bytes, done, failure)) {
        error = Describe(path, "read", failure);
        return false;
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
