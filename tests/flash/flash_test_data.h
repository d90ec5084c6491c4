#pragma once
// Flash images and scratch directories for the flash suites.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
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

inline void PutBigEndian(Bytes& image, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        image[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

// An 8 MB flash image whose firmware header says Header_len + Boot_Size.
inline Bytes FlashImage(std::uint32_t headerLen, std::uint32_t bootSize, std::uint8_t seed = 0x21,
                        std::size_t size = kFlashAreasEnd) {
    Bytes image = Pattern(size, seed);
    if (size >= kFlashAreas[kFirmwareArea].address + kFirmwareHeaderEnd) {
        PutBigEndian(image, kFlashAreas[kFirmwareArea].address + kHeaderLenOffset, headerLen);
        PutBigEndian(image, kFlashAreas[kFirmwareArea].address + kBootSizeOffset, bootSize);
    }
    return image;
}

// A directory of its own, removed with everything in it. In memory where the system offers
// it: a dump flushes every chunk, which costs nothing there.
class TempDir {
  public:
    TempDir() {
        const char* root = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string name = std::string(root) + "/brimlo-flash-XXXXXX";
        if (::mkdtemp(name.data()) != nullptr) {
            path = name;
        }
    }
    ~TempDir() {
        if (!path.empty()) {
            std::filesystem::remove_all(path);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path Write(const std::string& name, const Bytes& bytes) const {
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
