#pragma once
// What the emulated device is: identity, report layout, peripherals, flash chip and the faults
// it is told to show. Everything has the defaults of a healthy device as the tool expects it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brimlo::sim {

inline constexpr std::size_t kMaxChannels = 3;
inline constexpr std::size_t kFlashChannel = 0;
inline constexpr std::size_t kCommandChannel = 1;
inline constexpr std::size_t kIicChannel = 2;

inline constexpr std::size_t kHdmiInfoSize = 24;
inline constexpr std::size_t kGpioCount = 4;
inline constexpr std::size_t kFirmwareVersionSize = 4;

struct SimIicDeviceConfig {
    std::uint8_t address = 0x90;  // 8-bit bus address, R/W bit clear
    std::uint16_t size = 256;     // bytes of register space, 1 to 256
};

// An absent value means the fault is off.
struct SimFaults {
    std::optional<std::uint64_t> failExchange{};     // this exchange (1-based) fails
    std::optional<std::uint64_t> unplugAfter{};      // every exchange after this many fails
    std::optional<std::uint32_t> corruptReadAt{};    // flash address read back with bit 0 flipped
    std::optional<std::uint32_t> latencyUs{};        // added to every exchange
    std::optional<std::uint16_t> chipIndexAnswer{};  // GET_ID answers this instead of the chip row
};

struct SimConfig {
    std::uint16_t vid = BRIMLO_DEFAULT_VID;
    std::uint16_t pid = BRIMLO_DEFAULT_PID;
    std::uint16_t version = 0x0100;
    std::uint32_t chipRow = 4;  // an 8 MB part
    // One entry per channel, in channel order: flash data, commands, IIC/HDMI. Lengths count
    // the report ID byte. Fewer than three channels make a device that lacks the later ones.
    std::vector<std::uint8_t> reportIds{1, 2, 3};
    std::vector<std::uint16_t> outputReportLengths{4100, 64, 64};
    std::vector<std::uint16_t> inputReportLengths{4100, 64, 64};
    std::array<std::uint8_t, kFirmwareVersionSize> firmwareVersion{0x01, 0x00, 0x04, 0x10};
    // Meaningless to the tool, which shows it raw; 1920 × 1080 at 60 Hz for a human reader.
    std::array<std::uint8_t, kHdmiInfoSize> hdmiInfo{
        0x07, 0x80, 0x04, 0x38, 0x3C, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::vector<SimIicDeviceConfig> iicDevices{SimIicDeviceConfig{}};
    std::array<std::uint8_t, kGpioCount> gpioInputLevels{1, 1, 1, 1};  // pulled up
    SimFaults faults{};
    // Where the board seems to sit and its serial number, as `list` shows them; empty: unknown.
    std::string port{};
    std::string serial{};
};

// Empty when `config` describes a device that can exist, else why not, naming the key at fault
// as device.json spells it ("report_ids[1]: ...").
std::string ValidateSimConfig(const SimConfig& config);

// Size in bytes of the configured chip; 0 when chip_row names no row.
std::uint32_t SimFlashSize(const SimConfig& config);

}  // namespace brimlo::sim
