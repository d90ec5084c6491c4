#pragma once
// The burn file held in memory, and the fields the burn reads from it: the version bytes and
// the firmware header. Every read is bounded by the image; nothing reads past its end.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brimlo::flash {

// The whole burn file; a byte at offset x belongs at flash address x.
struct BurnImage {
    std::filesystem::path path;
    std::vector<std::uint8_t> bytes;
};

// The burn's sizes are 32-bit: a file must be smaller than 4 GB.
inline constexpr std::uint64_t kMaxBurnFileSize = 0xFFFFFFFFull;
// Bytes 28 to 31 carry the version.
inline constexpr std::size_t kVersionOffset = 28;
inline constexpr std::size_t kVersionEnd = 32;

// Reads the whole file into `image`. False with `error` when the file cannot be opened or read,
// is not a regular file (a named pipe is refused without waiting for a writer), is empty, or
// is 4 GB or larger; `image` is then unchanged.
bool LoadBurnImage(const std::filesystem::path& path, BurnImage& image, std::string& error);

// Bytes 31, 30, 29 and 28 as "%02x" joined by "." ("80.0a.01.00"); nothing when the image is
// shorter than 32 bytes.
std::optional<std::string> VersionText(std::span<const std::uint8_t> image);

struct FirmwareHeader {
    std::uint32_t headerLen = 0;
    std::uint32_t bootSize = 0;
    // Header_len + Boot_Size: the compressed firmware's length, without 32-bit wrap-around.
    std::uint64_t FirmwareLength() const { return std::uint64_t{headerLen} + bootSize; }
};

// The big-endian Header_len and Boot_Size at the Firmware area's start + 12 and + 16; nothing
// when the image ends before them.
std::optional<FirmwareHeader> ReadFirmwareHeader(std::span<const std::uint8_t> image);

// `length` rounded up to whole sectors; nothing when the result does not fit 32 bits or
// `sectorSize` is 0.
std::optional<std::uint32_t> RoundUpToSectors(std::uint64_t length, std::uint32_t sectorSize);

}  // namespace brimlo::flash
