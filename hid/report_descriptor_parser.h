#pragma once
// Turns a raw HID report descriptor into the capabilities a HID report parser reports.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "hid/hid_caps.h"

namespace brimlo::hid {

struct ReportDescriptorError {
    std::size_t offset = 0;  // byte offset of the offending item in the descriptor
    std::string message;
};

// Parses `descriptor` into one result per top-level collection, in descriptor order. Returns
// false and fills `error` for a malformed or unsupported descriptor; `collections` is then
// unspecified.
bool ParseReportDescriptor(std::span<const std::uint8_t> descriptor,
                           std::vector<HidPreparsedData>& collections,
                           ReportDescriptorError& error);

// The result of top-level collection number `collection` (0 for the first) alone; false, with
// `error` set, also when the descriptor has no such collection.
bool ParseReportDescriptor(std::span<const std::uint8_t> descriptor, HidPreparsedData& data,
                           ReportDescriptorError& error, std::size_t collection = 0);

// Largest number of usages of `usagePage` that one report of `type` can hold at once.
std::uint32_t MaxUsageListLength(const HidPreparsedData& data, HidReportType type,
                                 std::uint16_t usagePage);

}  // namespace brimlo::hid
