#pragma once
// Everything known about one opened HID interface, and the loading of its capabilities.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_caps.h"
#include "hid/hid_platform.h"

namespace brimlo::hid {

// One entry of a data list. A button item uses usageMin..usageMax, maxUsageListLength and
// usages; a value item uses usage and leaves those zero.
struct HidDataItem {
    std::uint8_t isButton = 0;
    std::uint16_t usagePage = 0;
    std::uint32_t status = 0;
    std::uint32_t reportId = 0;
    std::uint32_t usageMin = 0;
    std::uint32_t usageMax = 0;
    std::uint32_t maxUsageListLength = 0;
    std::vector<std::uint16_t> usages;
    std::uint16_t usage = 0;
};

// The record owns its connection, parser data and arrays; it moves but never copies, so one
// owner at a time releases it.
struct HidDeviceRecord {
    std::optional<std::string> devicePath;  // empty when released
    std::unique_ptr<HidConnection> handle;  // null when not open
    std::uint32_t openedForRead = 0;
    std::uint32_t openedForWrite = 0;
    std::uint32_t openedOverlapped = 0;
    std::uint32_t openedExclusive = 0;
    std::unique_ptr<HidPreparsedData> preparsedData;
    HidpCaps caps;
    HiddAttributes attributes;

    std::vector<std::uint8_t> inputReportBuffer;
    std::vector<HidDataItem> inputData;
    std::uint32_t inputDataLength = 0;
    std::vector<HidpButtonCaps> inputButtonCaps;
    std::vector<HidpValueCaps> inputValueCaps;

    std::vector<std::uint8_t> outputReportBuffer;
    std::vector<HidDataItem> outputData;
    std::uint32_t outputDataLength = 0;
    std::vector<HidpButtonCaps> outputButtonCaps;
    std::vector<HidpValueCaps> outputValueCaps;

    std::vector<std::uint8_t> featureReportBuffer;
    std::vector<HidDataItem> featureData;
    std::uint32_t featureDataLength = 0;
    std::vector<HidpButtonCaps> featureButtonCaps;
    std::vector<HidpValueCaps> featureValueCaps;

    HidDeviceRecord() = default;
    HidDeviceRecord(HidDeviceRecord&&) noexcept = default;
    HidDeviceRecord& operator=(HidDeviceRecord&&) noexcept = default;
    HidDeviceRecord(const HidDeviceRecord&) = delete;
    HidDeviceRecord& operator=(const HidDeviceRecord&) = delete;

    // True while the connection is open and the capabilities are loaded.
    bool IsOpen() const { return handle != nullptr && preparsedData != nullptr; }
};

// Fills the report buffers, capability arrays and data lists of the three report types from
// `preparsedData` and `caps`. False when the parser data is missing or inconsistent.
bool LoadReportCapabilities(HidDeviceRecord& record);

// Closes and frees everything the record holds. caps, attributes, the data-list lengths and
// the open flags keep their values. Safe on empty, partly filled and released records.
void ReleaseHidRecord(HidDeviceRecord& record);

}  // namespace brimlo::hid
