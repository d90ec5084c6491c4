#pragma once
// The firmware's flash transfer state. REPORT_FLASH_ACCESS_MODE and REPORT_FLASH_SET_LEN set up
// a region; flash data reports then stream it in order, in one direction, and the firmware
// counts the bytes against the announced length. A write region is erased sector by sector as
// the stream first reaches each sector, then programmed.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "sim/nor_flash.h"

namespace brimlo::sim {

inline constexpr std::uint8_t kAccessModeFirmware = 0;
inline constexpr std::uint8_t kAccessModeEntireFlash = 1;
inline constexpr std::uint8_t kAccessModeFlagSector = 2;
inline constexpr std::uint8_t kAccessModeOtherArea = 3;

inline constexpr std::uint32_t kFirmwareAreaAddress = 0x180000;
inline constexpr std::uint32_t kFlagSectorAddress = 0x70000;
inline constexpr std::uint32_t kFlagSectorSize = 4096;

class FlashRegion {
  public:
    FlashRegion(NorFlash& flash, std::uint32_t sectorSize);

    // Each returns false with `error` set for a request the firmware refuses; the region is
    // then left as it was.
    bool SetAccessMode(std::uint8_t mode, std::uint32_t address, std::string& error);
    bool SetLength(std::uint32_t length, std::string& error);

    // Programs the next bytes of the region from `data`; bytes beyond the region's end are
    // padding and ignored.
    bool Write(std::span<const std::uint8_t> data, std::string& error);

    // Fills `out` with the next bytes of the region and zeros behind the region's end.
    // `corruptAt` names a flash address whose byte comes back with bit 0 flipped.
    bool Read(std::span<std::uint8_t> out, std::optional<std::uint32_t> corruptAt,
              std::string& error);

    // Forgets the region (a stopped transfer), syncing what was written.
    void Abandon();

  private:
    enum class Phase { kIdle, kModeSet, kReady, kWriting, kReading };

    bool StartStream(Phase direction, std::string& error);
    void EraseAhead(std::uint32_t end);
    void Advance(std::uint32_t count);

    NorFlash& flash_;
    std::uint32_t sectorSize_;
    Phase phase_ = Phase::kIdle;
    std::uint8_t mode_ = 0;
    std::uint32_t start_ = 0;
    std::uint32_t length_ = 0;
    std::uint32_t done_ = 0;
    std::uint32_t erasedEnd_ = 0;  // flash address up to which this region has been erased
};

}  // namespace brimlo::sim
