// libFuzzer target for the report-descriptor parser. Any byte string must either parse or fail
// with an offset inside the input; a successful parse must give, for each top-level collection,
// tables that agree with its counts and with each other.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "hid/report_descriptor_parser.h"

namespace {

using namespace brimlo::hid;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

template <typename Caps>
void CheckCaps(const HidPreparsedData& data, const std::vector<Caps>& caps,
               std::uint16_t dataIndices) {
    for (const Caps& cap : caps) {
        Require(cap.LinkCollection < data.linkCollections.size());
        Require(cap.UsageMin <= cap.UsageMax);
        Require(cap.DataIndexMin <= cap.DataIndexMax);
        Require(cap.DataIndexMax < dataIndices);
    }
}

void CheckType(const HidPreparsedData& data, HidReportType type, std::uint16_t buttons,
               std::uint16_t values, std::uint16_t dataIndices, std::uint16_t length) {
    const std::size_t t = ReportTypeIndex(type);
    Require(data.buttonCaps[t].size() == buttons);
    Require(data.valueCaps[t].size() == values);
    Require(buttons + values == 0 || length > 1);
    CheckCaps(data, data.buttonCaps[t], dataIndices);
    CheckCaps(data, data.valueCaps[t], dataIndices);
    MaxUsageListLength(data, type, 0);
}

void CheckCollection(const HidPreparsedData& data) {
    const HidpCaps& caps = data.caps;
    Require(caps.NumberLinkCollectionNodes == data.linkCollections.size());
    Require(!data.linkCollections.empty() && data.linkCollections[0].Parent == 0);
    CheckType(data, HidReportType::Input, caps.NumberInputButtonCaps, caps.NumberInputValueCaps,
              caps.NumberInputDataIndices, caps.InputReportByteLength);
    CheckType(data, HidReportType::Output, caps.NumberOutputButtonCaps, caps.NumberOutputValueCaps,
              caps.NumberOutputDataIndices, caps.OutputReportByteLength);
    CheckType(data, HidReportType::Feature, caps.NumberFeatureButtonCaps,
              caps.NumberFeatureValueCaps, caps.NumberFeatureDataIndices,
              caps.FeatureReportByteLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::vector<HidPreparsedData> collections;
    ReportDescriptorError error;
    if (!ParseReportDescriptor({bytes, size}, collections, error)) {
        Require(error.offset <= size && !error.message.empty());
        return 0;
    }
    Require(!collections.empty());
    for (const HidPreparsedData& data : collections) {
        CheckCollection(data);
    }
    return 0;
}
