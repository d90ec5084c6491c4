#pragma once
// An existing file mapped into memory for reading and writing, shared with every process that
// maps it: what one writes, the others see at once.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace brimlo::sim {

class MappedFile {
  public:
    // Opens `file` for reading and writing, not yet mapped. Null with `error` naming the file;
    // `missing` then says whether it failed only because the file does not exist.
    static std::unique_ptr<MappedFile> Open(const std::filesystem::path& file, bool& missing,
                                            std::string& error);

    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::uint64_t Size() const { return size_; }

    // Maps the whole file; false with `error` naming the file.
    bool Map(std::string& error);
    // The mapped bytes; empty until Map.
    std::span<std::uint8_t> Bytes() const { return bytes_; }

    // Starts written bytes on their way to the disk; other mappings see them already.
    void Flush();

  private:
    struct Handles;
    MappedFile(const std::filesystem::path& file, std::unique_ptr<Handles> handles,
               std::uint64_t size);

    std::filesystem::path file_;
    std::unique_ptr<Handles> handles_;
    std::uint64_t size_;
    std::span<std::uint8_t> bytes_;
};

}  // namespace brimlo::sim
