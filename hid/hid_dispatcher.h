#pragma once
// Runs one HID operation, chosen by its numeric code, on a parameter block.

#include <cstdint>
#include <span>

#include "hid/hid_caps.h"
#include "hid/transport.h"

namespace brimlo::hid {

inline constexpr std::uint32_t kHidOpGetInputReport = 9;
inline constexpr std::uint32_t kHidOpSetOutputReport = 10;

struct HidCallBlock {
    Transport* device = nullptr;
    std::uint32_t reportType = 0;
    const HidPreparsedData* preparsedData = nullptr;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::uint16_t linkCollection = 0;
    std::uint8_t reportId = 0;
    // The report to send, or the buffer that receives a reply. Its size is what the buffer
    // holds; reportLength is what is handed to the device and may be larger for an input read.
    std::span<std::uint8_t> reportBuffer;
    std::uint32_t reportLength = 0;
    // Filled by an input read: how many bytes of the reply were placed in reportBuffer.
    std::uint32_t received = 0;
};

struct HidCallResult {
    std::uint32_t failed = 0;
    std::uint32_t status = 0;
};

// Returns 1 when `code` names an operation this stack carries out, 0 otherwise. The outcome
// of the exchange is in `result.failed`. Only the two report exchanges the device protocol
// uses exist here (codes 9 and 10); every other code returns 0 without touching the device.
std::uint32_t RunHidOperation(std::uint32_t code, HidCallBlock& block, HidCallResult& result);

}  // namespace brimlo::hid
