#pragma once
// A serial NOR flash array: erasing sets bytes to 0xFF, programming can only clear bits. The
// array lives in memory or in a file mapped into memory, so that a user can inspect the file
// and a later process sees what an earlier one wrote.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/mapped_file.h"

namespace brimlo::sim {

class NorFlash {
  public:
    // A blank (all 0xFF) array of `size` bytes in memory.
    static std::unique_ptr<NorFlash> InMemory(std::uint32_t size);

    // The array kept in `file`, created blank when missing. Null with `error` naming the file,
    // and the file left as it is, when it is not exactly `size` bytes (another chip's image).
    static std::unique_ptr<NorFlash> MapFile(const std::filesystem::path& file, std::uint32_t size,
                                             std::string& error);

    ~NorFlash();
    NorFlash(const NorFlash&) = delete;
    NorFlash& operator=(const NorFlash&) = delete;

    std::uint32_t Size() const { return static_cast<std::uint32_t>(bytes_.size()); }

    // The caller keeps every range inside the array.
    void Erase(std::uint32_t address, std::uint32_t length);
    void Program(std::uint32_t address, std::span<const std::uint8_t> data);
    void Read(std::uint32_t address, std::span<std::uint8_t> out) const;

    // Loads bytes as they are, bypassing NOR rules: a programmer clip on the board.
    void Load(std::uint32_t address, std::span<const std::uint8_t> data);

    // Hands written bytes to the file's page cache write-back; a no-op in memory. Other
    // processes see mapped writes at once; this only starts them on their way to the disk.
    void Sync();

  private:
    NorFlash() = default;

    std::span<std::uint8_t> bytes_;
    std::vector<std::uint8_t> memory_;  // backing store of an in-memory array
    std::unique_ptr<MappedFile> file_;  // backing store of an array in a file
};

}  // namespace brimlo::sim
