#pragma once
// Flash images and scratch directories for the flash suites.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "flash/flash_areas.h"

namespace brimlo::flash::testing {

using Bytes = std::vector<std::uint8_t>;

// Differs from address to address, never 0x00 or 0xFF.
inline Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(((i * 13 + seed + (i >> 9)) % 0xFD) + 1);
    }
    return bytes;
}

// A flash image (8 MB unless told) whose firmware header says Header_len + Boot_Size,
// big-endian, when the image reaches that far.
inline Bytes FlashImage(std::uint32_t headerLen, std::uint32_t bootSize, std::uint8_t seed = 0x21,
                        std::size_t size = kFlashAreasEnd) {
    Bytes image = Pattern(size, seed);
    const std::size_t header = kFlashAreas[kFirmwareArea].address;
    for (std::size_t i = 0; i < 4 && size >= header + kFirmwareHeaderEnd; ++i) {
        image[header + kHeaderLenOffset + i] = static_cast<std::uint8_t>(headerLen >> (24 - 8 * i));
        image[header + kBootSizeOffset + i] = static_cast<std::uint8_t>(bootSize >> (24 - 8 * i));
    }
    return image;
}

// A directory of its own, removed with everything in it; in memory where the system offers it,
// as a dump flushes every chunk. Its path is absolute with the drive where there are drives
// (under Wine, /dev/shm is on Z:): a command line may take "/dev" for an option.
struct TempDir {
    TempDir() {
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? std::filesystem::absolute("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
            const auto name = base / ("brimlo-flash-" + std::to_string(random()));
            std::error_code taken;
            if (std::filesystem::create_directory(name, taken)) {
                path = name;
            }
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path Write(const std::filesystem::path& name, const Bytes& bytes) const {
        std::ofstream(path / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path / name;
    }
    static Bytes Read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path path;
};

}  // namespace brimlo::flash::testing
