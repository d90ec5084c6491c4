#pragma once
// The vendor command table and the framing that turns a row into report bytes and a call block.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "hid/hid_device_record.h"
#include "hid/hid_dispatcher.h"

namespace brimlo::hid {

struct CommandDescriptor {
    std::uint32_t direction;        // 1 output report, 0 input report
    std::uint32_t capabilityIndex;  // into outputValueCaps or inputValueCaps
    std::uint32_t commandCode;      // 0..11 control, 16 and 17 flash data
    std::uint32_t lengthByte;       // payload length + 2 for output control rows
};

inline constexpr std::uint32_t kDirectionInput = 0;
inline constexpr std::uint32_t kDirectionOutput = 1;
// Command codes from this one up carry flash data: no length byte, no code on the wire.
inline constexpr std::uint32_t kFirstDataCommandCode = 16;

// Row numbers of kCommandTable.
enum CommandRow : std::size_t {
    REPORT_REG_WRITE = 0,
    REPORT_REG_WRITE_ADDR,
    REPORT_REG_READ,
    REPORT_FLASH_ACCESS_MODE,
    REPORT_FLASH_GET_ID,
    REPORT_FLASH_SET_LEN,
    REPORT_FLASH_WRITE,
    REPORT_FLASH_READ,
    REPORT_IIC_WRITE_OUTPUT,
    REPORT_IIC_WRITE_INPUT,
    REPORT_IIC_READ_OUTPUT,
    REPORT_IIC_READ_INPUT,
    REPORT_GPIO_SET,
    REPORT_GPIO_WRITE,
    REPORT_GPIO_READ_OUTPUT,
    REPORT_GPIO_READ_INPUT,
    REPORT_HDMI_INFO,
    kCommandRowCount
};
inline constexpr CommandRow BURST_FLASH_WRITE = REPORT_FLASH_WRITE;
inline constexpr CommandRow BURST_FLASH_READ = REPORT_FLASH_READ;

inline constexpr std::array<CommandDescriptor, kCommandRowCount> kCommandTable{{
    {1, 1, 0, 10},
    {1, 1, 1, 6},
    {0, 1, 2, 2},
    {1, 1, 3, 7},
    {0, 1, 4, 2},
    {1, 1, 5, 6},
    {1, 0, 16, 255},
    {0, 0, 17, 255},
    {1, 2, 6, 4},
    {0, 2, 6, 2},
    {1, 2, 7, 4},
    {0, 2, 7, 2},
    {1, 1, 8, 4},
    {1, 1, 9, 4},
    {1, 1, 10, 3},
    {0, 1, 10, 2},
    {0, 2, 11, 2},
}};

// The names the messages use for each row.
inline constexpr std::array<std::string_view, kCommandRowCount> kCommandNames{{
    "REPORT_REG_WRITE",
    "REPORT_REG_WRITE_ADDR",
    "REPORT_REG_READ",
    "REPORT_FLASH_ACCESS_MODE",
    "REPORT_FLASH_GET_ID",
    "REPORT_FLASH_SET_LEN",
    "REPORT_FLASH_WRITE",
    "REPORT_FLASH_READ",
    "REPORT_IIC_WRITE(OUTPUT)",
    "REPORT_IIC_WRITE(INPUT)",
    "REPORT_IIC_READ(OUTPUT)",
    "REPORT_IIC_READ(INPUT)",
    "REPORT_GPIO_SET",
    "REPORT_GPIO_WRITE",
    "REPORT_GPIO_READ(OUTPUT)",
    "REPORT_GPIO_READ(INPUT)",
    "REPORT_HDMI_INFO",
}};

// Report length of a value capability: its ReportCount plus the report ID byte.
inline std::uint16_t ReportLengthOf(const HidpValueCaps& caps) {
    return static_cast<std::uint16_t>(caps.ReportCount + 1);
}

// Fills `block` for `descriptor` on the open `record`. For an output row it writes the report
// ID (and, below code 16, the length byte and command code) into `transferBuffer` and copies
// the report into the record's output report buffer. For an input row it points the block at
// the record's input report buffer with the requested length L | code << 8 (codes below 16).
// False, with nothing written, when the record lacks the capability or a buffer is shorter
// than the report.
bool PrepareRequest(HidCallBlock& block, const CommandDescriptor& descriptor,
                    HidDeviceRecord& record, std::span<std::uint8_t> transferBuffer);

}  // namespace brimlo::hid
