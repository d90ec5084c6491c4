#include "sim/sim_config.h"

#include <set>

#include "chips/flash_chip_table.h"

namespace brimlo::sim {
namespace {

std::string Indexed(const char* key, std::size_t index) {
    return std::string(key) + "[" + std::to_string(index) + "]";
}

std::string CheckChannels(const SimConfig& config) {
    const std::size_t channels = config.reportIds.size();
    if (channels == 0 || channels > kMaxChannels) {
        return "report_ids: expected 1 to 3 report IDs, one per channel";
    }
    if (config.outputReportLengths.size() != channels) {
        return "output_report_lengths: expected one length per report ID";
    }
    if (config.inputReportLengths.size() != channels) {
        return "input_report_lengths: expected one length per report ID";
    }
    std::set<std::uint8_t> seen;
    for (std::size_t i = 0; i < channels; ++i) {
        if (config.reportIds[i] == 0 || !seen.insert(config.reportIds[i]).second) {
            return Indexed("report_ids", i) + ": report IDs must be 1 to 255 and distinct";
        }
        if (config.outputReportLengths[i] < 2) {
            return Indexed("output_report_lengths", i) + ": a report needs at least 2 bytes";
        }
        if (config.inputReportLengths[i] < 2) {
            return Indexed("input_report_lengths", i) + ": a report needs at least 2 bytes";
        }
        // A command read carries its code in the requested length's second byte, so the
        // length itself must fit the first byte.
        if (i != kFlashChannel && config.inputReportLengths[i] > 0xFF) {
            return Indexed("input_report_lengths", i) +
                   ": a command channel's input report must be at most 255 bytes";
        }
    }
    // Flash data starts at byte 4 of the output report.
    if (config.outputReportLengths[kFlashChannel] < 5) {
        return "output_report_lengths[0]: the flash data report needs at least 5 bytes";
    }
    return {};
}

std::string CheckPeripherals(const SimConfig& config) {
    std::set<std::uint8_t> addresses;
    for (std::size_t i = 0; i < config.iicDevices.size(); ++i) {
        const SimIicDeviceConfig& device = config.iicDevices[i];
        if ((device.address & 1) != 0 || !addresses.insert(device.address).second) {
            return Indexed("iic_devices", i) +
                   ".address: expected an even 8-bit address used by no other device";
        }
        if (device.size == 0 || device.size > 256) {
            return Indexed("iic_devices", i) + ".size: expected 1 to 256 bytes";
        }
    }
    for (std::size_t i = 0; i < kGpioCount; ++i) {
        if (config.gpioInputLevels[i] > 1) {
            return Indexed("gpio_input_levels", i) + ": expected 0 or 1";
        }
    }
    return {};
}

}  // namespace

std::uint32_t SimFlashSize(const SimConfig& config) {
    const flash::FlashChip* chip = flash::FindFlashChip(config.chipRow);
    return chip ? flash::FlashSizeBytes(*chip) : 0;
}

std::string ValidateSimConfig(const SimConfig& config) {
    if (SimFlashSize(config) == 0) {
        return "chip_row: expected a row of the flash chip table, 0 to " +
               std::to_string(flash::kFlashChipCount - 1);
    }
    if (std::string error = CheckChannels(config); !error.empty()) {
        return error;
    }
    if (std::string error = CheckPeripherals(config); !error.empty()) {
        return error;
    }
    if (config.faults.failExchange == 0u) {
        return "faults.fail_exchange: exchanges are counted from 1";
    }
    if (config.faults.corruptReadAt && *config.faults.corruptReadAt >= SimFlashSize(config)) {
        return "faults.corrupt_read_at: the address lies beyond the chip";
    }
    return {};
}

}  // namespace brimlo::sim
