#include "hid/report_framing.h"

#include <algorithm>

namespace brimlo::hid {

bool PrepareRequest(HidCallBlock& block, const CommandDescriptor& descriptor,
                    HidDeviceRecord& record, std::span<std::uint8_t> transferBuffer) {
    const bool output = descriptor.direction == kDirectionOutput;
    const std::vector<HidpValueCaps>& capsList =
        output ? record.outputValueCaps : record.inputValueCaps;
    if (descriptor.capabilityIndex >= capsList.size()) {
        return false;
    }
    const HidpValueCaps& caps = capsList[descriptor.capabilityIndex];
    const std::uint16_t length = ReportLengthOf(caps);
    const bool hasCode = descriptor.commandCode < kFirstDataCommandCode;

    if (output) {
        if (transferBuffer.size() < length || record.outputReportBuffer.size() < length) {
            return false;
        }
        transferBuffer[0] = caps.ReportID;
        if (hasCode) {
            transferBuffer[1] = static_cast<std::uint8_t>(descriptor.lengthByte);
            transferBuffer[2] = static_cast<std::uint8_t>(descriptor.commandCode);
        }
        std::copy_n(transferBuffer.begin(), length, record.outputReportBuffer.begin());
    } else if (record.inputReportBuffer.empty()) {
        return false;
    }

    block = HidCallBlock{};
    block.device = record.handle.get();
    block.reportType = descriptor.direction;
    block.preparsedData = record.preparsedData.get();
    block.usagePage = caps.UsagePage;
    block.usage = caps.IsRange ? caps.UsageMin : caps.Usage;
    block.linkCollection = caps.LinkCollection;
    block.reportId = caps.ReportID;
    if (output) {
        block.reportBuffer = record.outputReportBuffer;
        block.reportLength = length;
    } else {
        block.reportBuffer = record.inputReportBuffer;
        block.reportLength = hasCode ? (length | (descriptor.commandCode << 8)) : length;
    }
    return true;
}

}  // namespace brimlo::hid
