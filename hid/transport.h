#pragma once
// The only road bytes take to a device: send an output report, get an input report.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace brimlo::hid {

class Transport {
  public:
    virtual ~Transport() = default;

    // Sends one output report; report[0] is the report ID and report.size() the length.
    virtual bool SendOutputReport(std::span<const std::uint8_t> report) = 0;

    // Gets one input report of `reportId`. `requestedLength` is the length asked of the device
    // (it may carry a command code in its second byte and exceed buffer.size()). The reply is
    // placed from buffer[0] on, exactly as the device sent it, cut to buffer.size(). Returns the
    // number of bytes placed, or nothing when the exchange failed.
    virtual std::optional<std::size_t> GetInputReport(std::uint8_t reportId,
                                                      std::uint32_t requestedLength,
                                                      std::span<std::uint8_t> buffer) = 0;

    // Text of the last failure, naming what failed and why; empty when nothing failed.
    virtual std::string LastError() const = 0;
};

}  // namespace brimlo::hid
