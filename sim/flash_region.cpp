#include "sim/flash_region.h"

#include <algorithm>
#include <cstring>

namespace brimlo::sim {

FlashRegion::FlashRegion(NorFlash& flash, std::uint32_t sectorSize)
    : flash_(flash), sectorSize_(sectorSize) {}

bool FlashRegion::SetAccessMode(std::uint8_t mode, std::uint32_t address, std::string& error) {
    if (mode > kAccessModeOtherArea) {
        error = "access mode " + std::to_string(mode) + " is not one of 0 to 3";
        return false;
    }
    // Modes 0 and 2 name fixed places of the flash layout; an address elsewhere is a host bug
    // the firmware refuses rather than write somewhere unexpected.
    if (mode == kAccessModeFirmware && address != kFirmwareAreaAddress) {
        error = "access mode 0 (firmware area) must start at 0x180000";
        return false;
    }
    if (mode == kAccessModeFlagSector && address != kFlagSectorAddress) {
        error = "access mode 2 (flag sector) must start at 0x70000";
        return false;
    }
    Abandon();
    mode_ = mode;
    start_ = address;
    phase_ = Phase::kModeSet;
    return true;
}

bool FlashRegion::SetLength(std::uint32_t length, std::string& error) {
    if (phase_ != Phase::kModeSet) {
        error = "REPORT_FLASH_SET_LEN without a REPORT_FLASH_ACCESS_MODE just before it";
        return false;
    }
    if (start_ > flash_.Size() || length > flash_.Size() - start_) {
        error = "region of " + std::to_string(length) + " bytes from address " +
                std::to_string(start_) + " runs past the chip's " + std::to_string(flash_.Size()) +
                " bytes";
        return false;
    }
    if (mode_ == kAccessModeFlagSector && length > kFlagSectorSize) {
        error = "access mode 2 (flag sector) covers at most 4096 bytes";
        return false;
    }
    length_ = length;
    done_ = 0;
    erasedEnd_ = start_;
    phase_ = length == 0 ? Phase::kIdle : Phase::kReady;
    return true;
}

bool FlashRegion::StartStream(Phase direction, std::string& error) {
    if (phase_ == Phase::kReady) {
        phase_ = direction;
    }
    if (phase_ == direction) {
        return true;
    }
    if (phase_ == Phase::kWriting || phase_ == Phase::kReading) {
        error = phase_ == Phase::kWriting ? "flash read from a region being written"
                                          : "flash write into a region being read";
    } else {
        error = "flash data with no region set up (or past the announced length)";
    }
    return false;
}

void FlashRegion::EraseAhead(std::uint32_t end) {
    // Only the region's part of each sector is erased: bytes that share a sector with the
    // region but lie outside it keep their contents.
    while (erasedEnd_ < end) {
        const std::uint32_t sectorStart = erasedEnd_ - erasedEnd_ % sectorSize_;
        const std::uint32_t eraseEnd = std::min(sectorStart + sectorSize_, start_ + length_);
        flash_.Erase(erasedEnd_, eraseEnd - erasedEnd_);
        erasedEnd_ = eraseEnd;
    }
}

void FlashRegion::Advance(std::uint32_t count) {
    done_ += count;
    if (done_ == length_) {
        Abandon();
    }
}

bool FlashRegion::Write(std::span<const std::uint8_t> data, std::string& error) {
    if (!StartStream(Phase::kWriting, error)) {
        return false;
    }
    const auto count =
        static_cast<std::uint32_t>(std::min<std::size_t>(data.size(), length_ - done_));
    const std::uint32_t address = start_ + done_;
    EraseAhead(address + count);
    flash_.Program(address, data.first(count));
    Advance(count);
    return true;
}

bool FlashRegion::Read(std::span<std::uint8_t> out, std::optional<std::uint32_t> corruptAt,
                       std::string& error) {
    if (!StartStream(Phase::kReading, error)) {
        return false;
    }
    const auto count =
        static_cast<std::uint32_t>(std::min<std::size_t>(out.size(), length_ - done_));
    const std::uint32_t address = start_ + done_;
    flash_.Read(address, out.first(count));
    std::memset(out.data() + count, 0, out.size() - count);
    if (corruptAt && *corruptAt >= address && *corruptAt - address < count) {
        out[*corruptAt - address] ^= 0x01;
    }
    Advance(count);
    return true;
}

void FlashRegion::Abandon() {
    if (phase_ == Phase::kWriting) {
        flash_.Sync();
    }
    phase_ = Phase::kIdle;
}

}  // namespace brimlo::sim
