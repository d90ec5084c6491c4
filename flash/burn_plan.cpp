#include "flash/burn_plan.h"

#include <cstdio>

#include "commands/uvc_hid_device.h"
#include "flash/burn_image.h"

namespace brimlo::flash {
namespace {

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string TargetName(BurnTarget target) {
    switch (target) {
        case BurnTarget::EntireFlash:
            return "Entire Flash";
        case BurnTarget::Firmware:
            return "the Firmware area";
        case BurnTarget::Private:
            return "the Private area";
        case BurnTarget::Customized:
            return "the Customized area";
    }
    return {};
}

// The image must hold [address, address + length) and the chip must too, when its size is known.
bool CheckRange(BurnTarget target, std::span<const std::uint8_t> image, const ChipLimits& chip,
                std::uint64_t address, std::uint64_t length, std::string& error) {
    const std::uint64_t end = address + length;
    if (image.size() < end) {
        error = "The burn file is too short for " + TargetName(target) + ": it has " +
                Hex(image.size()) + " bytes, and the burn needs bytes " + Hex(address) + " to " +
                Hex(end) + ". Choose a complete flash image.";
        return false;
    }
    if (chip.flashSize != 0 && end > chip.flashSize) {
        error = "The flash holds " + Hex(chip.flashSize) + " bytes, but " + TargetName(target) +
                " needs flash addresses up to " + Hex(end) +
                ". This burn file is not meant for this flash chip.";
        return false;
    }
    return true;
}

bool PlanEntire(std::span<const std::uint8_t> image, const ChipLimits& chip, BurnRegion& region,
                std::string& error) {
    if (image.size() < kVersionEnd) {
        error = "The burn file has only " + std::to_string(image.size()) +
                " bytes; a flash image has at least 32 (its version is in bytes 28 to 31).";
        return false;
    }
    if (image.size() > kMaxBurnFileSize) {
        error = "The burn file is 4 GB or larger; the burn's sizes are 32-bit.";
        return false;
    }
    region.accessMode = kAccessEntireFlash;
    region.address = 0;
    region.length = static_cast<std::uint32_t>(image.size());
    return CheckRange(BurnTarget::EntireFlash, image, chip, 0, image.size(), error);
}

bool PlanFirmware(std::span<const std::uint8_t> image, const ChipLimits& chip, BurnRegion& region,
                  std::string& error) {
    const FlashArea& area = kFlashAreas[kFirmwareArea];
    const std::optional<FirmwareHeader> header = ReadFirmwareHeader(image);
    if (!header) {
        error = "The burn file is too short for the Firmware area: its header ends at " +
                Hex(area.address + kFirmwareHeaderEnd) + ", the file at " + Hex(image.size()) +
                ". Choose a complete flash image.";
        return false;
    }
    if (chip.sectorSize == 0) {
        error = "The flash's sector size is not known. Please execute Get ID function !";
        return false;
    }
    region.headerLen = header->headerLen;
    region.bootSize = header->bootSize;
    region.firmwareLength = header->FirmwareLength();
    const std::string fields = "Header_len " + Hex(header->headerLen) + " + Boot_Size " +
                               Hex(header->bootSize) + " = " + Hex(region.firmwareLength);
    if (region.firmwareLength == 0) {
        error = "The firmware header says the firmware is empty (" + fields +
                "). Choose a burn file that holds a firmware.";
        return false;
    }
    const std::optional<std::uint32_t> rounded =
        RoundUpToSectors(region.firmwareLength, chip.sectorSize);
    if (!rounded) {
        error = "The firmware length (" + fields + ") rounded to " +
                std::to_string(chip.sectorSize) +
                "-byte sectors does not fit 32 bits: the header is damaged.";
        return false;
    }
    if (*rounded > area.length) {
        error = "The firmware (" + fields + ", " + Hex(*rounded) +
                " with whole sectors) is longer than the Firmware area (" + Hex(area.length) +
                " bytes) and would overwrite the Private area: the header is damaged.";
        return false;
    }
    region.accessMode = kAccessFirmware;
    region.address = area.address;
    region.length = *rounded;
    return CheckRange(BurnTarget::Firmware, image, chip, area.address, *rounded, error);
}

}  // namespace

BurnTarget AreaTarget(std::size_t row) {
    switch (row) {
        case kFirmwareArea:
            return BurnTarget::Firmware;
        case kPrivateArea:
            return BurnTarget::Private;
        default:
            return BurnTarget::Customized;
    }
}

std::string_view TargetCaption(BurnTarget target) {
    switch (target) {
        case BurnTarget::EntireFlash:
            return kEntireFlashCaption;
        case BurnTarget::Firmware:
            return kFlashAreas[kFirmwareArea].caption;
        case BurnTarget::Private:
            return kFlashAreas[kPrivateArea].caption;
        case BurnTarget::Customized:
            return kFlashAreas[kCustomizedArea].caption;
    }
    return {};
}

bool PlanRegion(BurnTarget target, std::span<const std::uint8_t> image, const ChipLimits& chip,
                BurnRegion& region, std::string& error) {
    region = BurnRegion{};
    region.target = target;
    switch (target) {
        case BurnTarget::EntireFlash:
            return PlanEntire(image, chip, region, error);
        case BurnTarget::Firmware:
            return PlanFirmware(image, chip, region, error);
        case BurnTarget::Private:
        case BurnTarget::Customized: {
            const FlashArea& area =
                kFlashAreas[target == BurnTarget::Private ? kPrivateArea : kCustomizedArea];
            region.accessMode = kAccessOtherArea;
            region.address = area.address;
            region.length = area.length;
            return CheckRange(target, image, chip, area.address, area.length, error);
        }
    }
    return false;
}

bool CheckBurnFile(std::span<const std::uint8_t> image, const ChipLimits& chip,
                   const BurnSelection& selection, std::string& error) {
    BurnRegion region;
    if (selection.entireFlash) {
        return PlanRegion(BurnTarget::EntireFlash, image, chip, region, error);
    }
    for (std::size_t row = 0; row < kFlashAreaCount; ++row) {
        if (selection.areas[row] && !PlanRegion(AreaTarget(row), image, chip, region, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace brimlo::flash
