#include "hid/windows/windows_caps.h"

#include <cstdio>
#include <vector>

#include "hid/windows/windows_errors.h"

namespace brimlo::hid {
namespace {

std::string StatusText(const char* call, NTSTATUS status) {
    char text[64];
    std::snprintf(text, sizeof text, "%s failed with status 0x%08lx", call,
                  static_cast<unsigned long>(status));
    return text;
}

template <typename From>
void ConvertCommon(const From& from, HidpCapsCommon& to) {
    to.UsagePage = from.UsagePage;
    to.ReportID = from.ReportID;
    to.IsAlias = from.IsAlias != 0;
    to.BitField = from.BitField;
    to.LinkCollection = from.LinkCollection;
    to.LinkUsage = from.LinkUsage;
    to.LinkUsagePage = from.LinkUsagePage;
    to.IsRange = from.IsRange != 0;
    to.IsStringRange = from.IsStringRange != 0;
    to.IsDesignatorRange = from.IsDesignatorRange != 0;
    to.IsAbsolute = from.IsAbsolute != 0;
    if (from.IsRange) {
        to.UsageMin = from.Range.UsageMin;
        to.UsageMax = from.Range.UsageMax;
        to.DataIndexMin = from.Range.DataIndexMin;
        to.DataIndexMax = from.Range.DataIndexMax;
    } else {
        to.Usage = to.UsageMin = to.UsageMax = from.NotRange.Usage;
        to.DataIndexMin = to.DataIndexMax = from.NotRange.DataIndex;
    }
    if (from.IsStringRange) {
        to.StringMin = from.Range.StringMin;
        to.StringMax = from.Range.StringMax;
    } else {
        to.StringMin = to.StringMax = from.NotRange.StringIndex;
    }
    if (from.IsDesignatorRange) {
        to.DesignatorMin = from.Range.DesignatorMin;
        to.DesignatorMax = from.Range.DesignatorMax;
    } else {
        to.DesignatorMin = to.DesignatorMax = from.NotRange.DesignatorIndex;
    }
}

HidpButtonCaps ConvertButton(const HIDP_BUTTON_CAPS& from) {
    HidpButtonCaps to;
    ConvertCommon(from, to);
    // Newer SDKs publish the field count in the first 16 bits of what mingw-w64 calls Reserved.
    to.ReportCount = static_cast<std::uint16_t>(from.Reserved[0] & 0xFFFF);
    return to;
}

HidpValueCaps ConvertValue(const HIDP_VALUE_CAPS& from) {
    HidpValueCaps to;
    ConvertCommon(from, to);
    to.HasNull = from.HasNull != 0;
    to.BitSize = from.BitSize;
    to.ReportCount = from.ReportCount;
    to.UnitsExp = from.UnitsExp;
    to.Units = from.Units;
    to.LogicalMin = from.LogicalMin;
    to.LogicalMax = from.LogicalMax;
    to.PhysicalMin = from.PhysicalMin;
    to.PhysicalMax = from.PhysicalMax;
    return to;
}

HidpCaps ConvertCaps(const HIDP_CAPS& from) {
    HidpCaps to;
    to.Usage = from.Usage;
    to.UsagePage = from.UsagePage;
    to.InputReportByteLength = from.InputReportByteLength;
    to.OutputReportByteLength = from.OutputReportByteLength;
    to.FeatureReportByteLength = from.FeatureReportByteLength;
    to.NumberLinkCollectionNodes = from.NumberLinkCollectionNodes;
    to.NumberInputButtonCaps = from.NumberInputButtonCaps;
    to.NumberInputValueCaps = from.NumberInputValueCaps;
    to.NumberInputDataIndices = from.NumberInputDataIndices;
    to.NumberOutputButtonCaps = from.NumberOutputButtonCaps;
    to.NumberOutputValueCaps = from.NumberOutputValueCaps;
    to.NumberOutputDataIndices = from.NumberOutputDataIndices;
    to.NumberFeatureButtonCaps = from.NumberFeatureButtonCaps;
    to.NumberFeatureValueCaps = from.NumberFeatureValueCaps;
    to.NumberFeatureDataIndices = from.NumberFeatureDataIndices;
    return to;
}

struct ReportTypeCounts {
    HIDP_REPORT_TYPE windowsType;
    HidReportType type;
    USHORT buttons;
    USHORT values;
};

bool ReadCaps(const WinHidApi& api, PHIDP_PREPARSED_DATA preparsed, HidPreparsedData& data,
              std::string& error) {
    HIDP_CAPS caps{};
    NTSTATUS status = api.HidP_GetCaps(preparsed, &caps);
    if (status != HIDP_STATUS_SUCCESS) {
        error = StatusText("HidP_GetCaps", status);
        return false;
    }
    data = HidPreparsedData{};
    data.caps = ConvertCaps(caps);

    const ReportTypeCounts types[] = {
        {HidP_Input, HidReportType::Input, caps.NumberInputButtonCaps, caps.NumberInputValueCaps},
        {HidP_Output, HidReportType::Output, caps.NumberOutputButtonCaps,
         caps.NumberOutputValueCaps},
        {HidP_Feature, HidReportType::Feature, caps.NumberFeatureButtonCaps,
         caps.NumberFeatureValueCaps},
    };
    for (const ReportTypeCounts& t : types) {
        const std::size_t index = ReportTypeIndex(t.type);
        if (t.buttons > 0) {
            std::vector<HIDP_BUTTON_CAPS> buttons(t.buttons);
            USHORT length = t.buttons;
            status = api.HidP_GetButtonCaps(t.windowsType, buttons.data(), &length, preparsed);
            if (status != HIDP_STATUS_SUCCESS) {
                error = StatusText("HidP_GetButtonCaps", status);
                return false;
            }
            buttons.resize(length);
            for (const HIDP_BUTTON_CAPS& b : buttons) {
                data.buttonCaps[index].push_back(ConvertButton(b));
            }
        }
        if (t.values > 0) {
            std::vector<HIDP_VALUE_CAPS> values(t.values);
            USHORT length = t.values;
            status = api.HidP_GetValueCaps(t.windowsType, values.data(), &length, preparsed);
            if (status != HIDP_STATUS_SUCCESS) {
                error = StatusText("HidP_GetValueCaps", status);
                return false;
            }
            values.resize(length);
            for (const HIDP_VALUE_CAPS& v : values) {
                data.valueCaps[index].push_back(ConvertValue(v));
            }
        }
    }

    if (caps.NumberLinkCollectionNodes > 0) {
        std::vector<HIDP_LINK_COLLECTION_NODE> nodes(caps.NumberLinkCollectionNodes);
        ULONG length = caps.NumberLinkCollectionNodes;
        status = api.HidP_GetLinkCollectionNodes(nodes.data(), &length, preparsed);
        if (status != HIDP_STATUS_SUCCESS) {
            error = StatusText("HidP_GetLinkCollectionNodes", status);
            return false;
        }
        nodes.resize(length);
        for (const HIDP_LINK_COLLECTION_NODE& n : nodes) {
            data.linkCollections.push_back({
                .LinkUsage = n.LinkUsage,
                .LinkUsagePage = n.LinkUsagePage,
                .Parent = n.Parent,
                .NumberOfChildren = n.NumberOfChildren,
                .NextSibling = n.NextSibling,
                .FirstChild = n.FirstChild,
                .CollectionType = static_cast<std::uint8_t>(n.CollectionType),
                .IsAlias = n.IsAlias != 0,
            });
        }
    }
    return true;
}

}  // namespace

bool ReadWindowsCapabilities(const WinHidApi& api, HANDLE handle, HidPreparsedData& data,
                             std::string& error) {
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!api.HidD_GetPreparsedData(handle, &preparsed)) {
        error = "HidD_GetPreparsedData failed: " + WindowsErrorText(api, api.GetLastError());
        return false;
    }
    const bool ok = ReadCaps(api, preparsed, data, error);
    api.HidD_FreePreparsedData(preparsed);
    return ok;
}

}  // namespace brimlo::hid
