#pragma once
// Portable equivalents of the HID report parser's capability types. Field names follow the
// parser's published structures so that code reading them looks the same on every stack.

#include <array>
#include <cstdint>
#include <vector>

namespace brimlo::hid {

enum class HidReportType : std::uint32_t { Input = 0, Output = 1, Feature = 2 };
inline constexpr std::size_t kHidReportTypeCount = 3;

// The parser's success status, as a data item's status.
inline constexpr std::uint32_t kHidpStatusSuccess = 0x00110000;

struct HidpCaps {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;
    std::uint16_t NumberLinkCollectionNodes = 0;
    std::uint16_t NumberInputButtonCaps = 0;
    std::uint16_t NumberInputValueCaps = 0;
    std::uint16_t NumberInputDataIndices = 0;
    std::uint16_t NumberOutputButtonCaps = 0;
    std::uint16_t NumberOutputValueCaps = 0;
    std::uint16_t NumberOutputDataIndices = 0;
    std::uint16_t NumberFeatureButtonCaps = 0;
    std::uint16_t NumberFeatureValueCaps = 0;
    std::uint16_t NumberFeatureDataIndices = 0;
};

// One capability, button or value. The parser's union of Range and NotRange is flattened:
// for a single usage, UsageMin == UsageMax == Usage and IsRange is false.
struct HidpCapsCommon {
    std::uint16_t UsagePage = 0;
    std::uint8_t ReportID = 0;
    bool IsAlias = false;
    std::uint16_t BitField = 0;
    std::uint16_t LinkCollection = 0;
    std::uint16_t LinkUsage = 0;
    std::uint16_t LinkUsagePage = 0;
    bool IsRange = false;
    bool IsStringRange = false;
    bool IsDesignatorRange = false;
    bool IsAbsolute = false;
    std::uint16_t Usage = 0;
    std::uint16_t UsageMin = 0;
    std::uint16_t UsageMax = 0;
    std::uint16_t StringMin = 0;
    std::uint16_t StringMax = 0;
    std::uint16_t DesignatorMin = 0;
    std::uint16_t DesignatorMax = 0;
    std::uint16_t DataIndexMin = 0;
    std::uint16_t DataIndexMax = 0;
};

struct HidpButtonCaps : HidpCapsCommon {
    // Fields of this control in its report (newer parser versions publish it too); the usage
    // list length of a report is the sum of these.
    std::uint16_t ReportCount = 0;
};

struct HidpValueCaps : HidpCapsCommon {
    bool HasNull = false;
    std::uint16_t BitSize = 0;
    std::uint16_t ReportCount = 0;
    std::uint32_t UnitsExp = 0;
    std::uint32_t Units = 0;
    std::int32_t LogicalMin = 0;
    std::int32_t LogicalMax = 0;
    std::int32_t PhysicalMin = 0;
    std::int32_t PhysicalMax = 0;
};

struct HidpLinkCollectionNode {
    std::uint16_t LinkUsage = 0;
    std::uint16_t LinkUsagePage = 0;
    std::uint16_t Parent = 0;
    std::uint16_t NumberOfChildren = 0;
    std::uint16_t NextSibling = 0;
    std::uint16_t FirstChild = 0;
    std::uint8_t CollectionType = 0;
    bool IsAlias = false;
};

// What the report-descriptor parser makes of one interface's descriptor: the collection's
// capabilities, and per report type (indexed by HidReportType) its button and value capabilities.
struct HidPreparsedData {
    HidpCaps caps;
    std::array<std::vector<HidpButtonCaps>, kHidReportTypeCount> buttonCaps;
    std::array<std::vector<HidpValueCaps>, kHidReportTypeCount> valueCaps;
    std::vector<HidpLinkCollectionNode> linkCollections;
};

inline std::size_t ReportTypeIndex(HidReportType type) {
    return static_cast<std::size_t>(type);
}

}  // namespace brimlo::hid
