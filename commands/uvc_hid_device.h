#pragma once
// The capture device's vendor HID interface as one object: opening it, and every register,
// IIC, GPIO, HDMI and flash exchange. Front ends and tests drive the same members.

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "hid/hid_enumeration.h"
#include "hid/report_framing.h"

namespace brimlo {

// Operation selectors of RegisterAccess, IicAccess and GpioAccess: one numbering across all three.
inline constexpr std::uint32_t kRegisterWrite = 0;
inline constexpr std::uint32_t kRegisterRead = 1;
inline constexpr std::uint32_t kIicWrite = 2;
inline constexpr std::uint32_t kIicRead = 3;
inline constexpr std::uint32_t kGpioSetDirection = 4;
inline constexpr std::uint32_t kGpioWrite = 5;
inline constexpr std::uint32_t kGpioRead = 6;

inline constexpr std::size_t kHdmiInfoLength = 24;
using HdmiInfo = std::array<std::uint8_t, kHdmiInfoLength>;

// Value-capability indexes of the three channels.
inline constexpr std::size_t kFlashChannel = 0;
inline constexpr std::size_t kControlChannel = 1;
inline constexpr std::size_t kIicChannel = 2;

enum class OpenStatus {
    Opened,
    NotFound,           // no interface with the identifiers
    EnumerationFailed,  // the HID stack could not list its interfaces
    Unusable,           // found, but its reports cannot carry the protocol
};

struct OpenResult {
    OpenStatus status = OpenStatus::NotFound;
    std::string message;  // what went wrong and what the user can do; empty when opened
};

class UvcHidDevice {
  public:
    explicit UvcHidDevice(hid::HidPlatform& platform) : platform_(platform) {}
    UvcHidDevice(const UvcHidDevice&) = delete;
    UvcHidDevice& operator=(const UvcHidDevice&) = delete;
    ~UvcHidDevice();

    // Finds the first interface with these identifiers, takes its record and sizes the three
    // transfer buffers from its output value capabilities. Replaces a device opened before.
    OpenResult Open(std::uint16_t vendorId, std::uint16_t productId);

    // True when a device is open and its three channels and buffers are usable.
    bool IsOpen() const { return open_; }
    std::uint32_t MatchedIndex() const { return matchedIndex_; }
    const hid::HidDeviceRecord& Record() const { return record_; }
    // "Device #%d: VID: 0x%04X  PID: 0x%04X  UsagePage: 0x%X  Usage: 0x%X"
    std::string Description() const;

    // Report lengths (report ID byte included) of one channel.
    std::size_t OutputReportLength(std::size_t channel) const;
    std::size_t InputReportLength(std::size_t channel) const;

    // Selector 0 writes `value` to `address`; selector 1 reads it into `value`.
    bool RegisterAccess(std::uint32_t selector, std::uint32_t address, std::uint32_t& value);
    // Selector 2 writes data[0..count); selector 3 writes data[0..count) then reads readCount
    // bytes. On success data[0] is the device's return code and data[1..readCount] the bytes
    // read; data must hold max(count, readCount + 1) bytes. On failure data is unchanged.
    bool IicAccess(std::uint32_t selector, std::uint8_t deviceAddress, std::uint8_t count,
                   std::span<std::uint8_t> data, std::uint8_t readCount);
    // Selector 4 sets the direction (0 input, 1 output), 5 writes `value`, 6 reads into it.
    bool GpioAccess(std::uint32_t selector, std::uint8_t number, std::uint8_t& value);
    bool ReadHdmiInfo(HdmiInfo& info);

    // Why the last command failed, with what the user can do about it.
    const std::string& LastError() const { return lastError_; }

  private:
    bool RequireOpen();
    bool Fail(std::string message);
    // Frames and sends one output row from `buffer`; writes the row's debug line on failure.
    bool SendRow(hid::CommandRow row, const hid::CommandDescriptor& descriptor,
                 std::span<std::uint8_t> buffer);
    // Reads one input row; the reply is left in the record's input report buffer.
    bool ReceiveRow(hid::CommandRow row, std::span<std::uint8_t> buffer);
    bool ExchangeFailed(hid::CommandRow row);
    std::span<std::uint8_t> ReplyBytes() { return record_.inputReportBuffer; }

    hid::HidPlatform& platform_;
    hid::HidMatchState match_;
    hid::HidDeviceRecord record_;
    std::uint32_t matchedIndex_ = hid::kNoMatchedIndex;
    bool open_ = false;
    std::vector<std::uint8_t> flashBuffer_;
    std::vector<std::uint8_t> rwBuffer_;
    std::vector<std::uint8_t> iicBuffer_;
    std::string lastError_;
    // One request cycle at a time: the record's report buffers and the transfer buffers are
    // shared by every command.
    std::recursive_mutex exchangeMutex_;
};

}  // namespace brimlo
