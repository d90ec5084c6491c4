#include "hid/hid_device_record.h"

#include <limits>
#include <new>

#include "hid/report_descriptor_parser.h"

namespace brimlo::hid {
namespace {

// The parts of a record that belong to one report type.
struct ReportTypeSlots {
    HidReportType type;
    std::uint16_t reportByteLength;
    std::uint16_t buttonCount;
    std::uint16_t valueCount;
    std::vector<std::uint8_t>& reportBuffer;
    std::vector<HidDataItem>& data;
    std::uint32_t& dataLength;
    std::vector<HidpButtonCaps>& buttonCaps;
    std::vector<HidpValueCaps>& valueCaps;
};

bool LoadReportType(const HidPreparsedData& parsed, const ReportTypeSlots& slots) {
    const std::size_t t = ReportTypeIndex(slots.type);
    if (parsed.buttonCaps[t].size() != slots.buttonCount ||
        parsed.valueCaps[t].size() != slots.valueCount) {
        return false;
    }
    slots.reportBuffer.assign(slots.reportByteLength, 0);
    slots.buttonCaps = parsed.buttonCaps[t];
    slots.valueCaps = parsed.valueCaps[t];

    std::uint64_t itemCount = slots.buttonCaps.size();
    for (const HidpValueCaps& caps : slots.valueCaps) {
        if (caps.IsRange) {
            if (caps.UsageMin > caps.UsageMax) {
                return false;
            }
            itemCount += static_cast<std::uint64_t>(caps.UsageMax - caps.UsageMin) + 1;
        } else {
            itemCount += 1;
        }
    }
    if (itemCount > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }

    slots.data.assign(itemCount, HidDataItem{});
    slots.dataLength = static_cast<std::uint32_t>(itemCount);
    std::size_t next = 0;
    for (const HidpButtonCaps& caps : slots.buttonCaps) {
        HidDataItem& item = slots.data[next++];
        item.isButton = 1;
        item.status = kHidpStatusSuccess;
        item.usagePage = caps.UsagePage;
        item.usageMin = caps.IsRange ? caps.UsageMin : caps.Usage;
        item.usageMax = caps.IsRange ? caps.UsageMax : caps.Usage;
        item.maxUsageListLength = MaxUsageListLength(parsed, slots.type, caps.UsagePage);
        item.usages.assign(item.maxUsageListLength, 0);
        item.reportId = caps.ReportID;
    }
    for (const HidpValueCaps& caps : slots.valueCaps) {
        const std::uint32_t first = caps.IsRange ? caps.UsageMin : caps.Usage;
        const std::uint32_t last = caps.IsRange ? caps.UsageMax : caps.Usage;
        for (std::uint32_t usage = first; usage <= last; ++usage) {
            HidDataItem& item = slots.data[next++];
            item.isButton = 0;
            item.status = kHidpStatusSuccess;
            item.usagePage = caps.UsagePage;
            item.usage = static_cast<std::uint16_t>(usage);
            item.reportId = caps.ReportID;
        }
    }
    return true;
}

}  // namespace

bool LoadReportCapabilities(HidDeviceRecord& record) {
    if (!record.preparsedData) {
        return false;
    }
    const HidPreparsedData& parsed = *record.preparsedData;
    const HidpCaps& caps = record.caps;
    try {
        return LoadReportType(
                   parsed,
                   {HidReportType::Input, caps.InputReportByteLength, caps.NumberInputButtonCaps,
                    caps.NumberInputValueCaps, record.inputReportBuffer, record.inputData,
                    record.inputDataLength, record.inputButtonCaps, record.inputValueCaps}) &&
               LoadReportType(
                   parsed,
                   {HidReportType::Output, caps.OutputReportByteLength, caps.NumberOutputButtonCaps,
                    caps.NumberOutputValueCaps, record.outputReportBuffer, record.outputData,
                    record.outputDataLength, record.outputButtonCaps, record.outputValueCaps}) &&
               LoadReportType(parsed, {HidReportType::Feature, caps.FeatureReportByteLength,
                                       caps.NumberFeatureButtonCaps, caps.NumberFeatureValueCaps,
                                       record.featureReportBuffer, record.featureData,
                                       record.featureDataLength, record.featureButtonCaps,
                                       record.featureValueCaps});
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void ReleaseHidRecord(HidDeviceRecord& record) {
    record.devicePath.reset();
    record.handle.reset();
    record.preparsedData.reset();
    // clear() keeps the capacity; swapping with empties frees it.
    std::vector<std::uint8_t>().swap(record.inputReportBuffer);
    std::vector<HidDataItem>().swap(record.inputData);
    std::vector<HidpButtonCaps>().swap(record.inputButtonCaps);
    std::vector<HidpValueCaps>().swap(record.inputValueCaps);
    std::vector<std::uint8_t>().swap(record.outputReportBuffer);
    std::vector<HidDataItem>().swap(record.outputData);
    std::vector<HidpButtonCaps>().swap(record.outputButtonCaps);
    std::vector<HidpValueCaps>().swap(record.outputValueCaps);
    std::vector<std::uint8_t>().swap(record.featureReportBuffer);
    std::vector<HidDataItem>().swap(record.featureData);
    std::vector<HidpButtonCaps>().swap(record.featureButtonCaps);
    std::vector<HidpValueCaps>().swap(record.featureValueCaps);
}

}  // namespace brimlo::hid
