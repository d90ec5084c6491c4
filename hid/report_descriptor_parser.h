#pragma once
// Turns a raw HID report descriptor into the capabilities a HID report parser reports.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "hid/hid_caps.h"

namespace brimlo::hid {

struct ReportDescriptorError {
    std::size_t offset = 0;  // byte offset of the offending item in the descriptor
    std::string message;
};

// Parses `descriptor` into `data`. Returns false and fills `error` for a malformed or
// unsupported descriptor; `data` is then unspecified.
bool ParseReportDescriptor(std::span<const std::uint8_t> descriptor, HidPreparsedData& data,
                           ReportDescriptorError& error);

// Largest number of usages of `usagePage` that one report of `type` can hold at once.
std::uint32_t MaxUsageListLength(const HidPreparsedData& data, HidReportType type,
                                 std::uint16_t usagePage);

}  // namespace brimlo::hid
