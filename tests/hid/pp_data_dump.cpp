#include "pp_data_dump.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <sstream>
#include <stdexcept>

namespace brimlo::hid::testing {
namespace {

class Fields {
  public:
    explicit Fields(const std::string& text) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t equals = line.find(" = ");
            if (line.empty() || line[0] == '#' || equals == std::string::npos) {
                continue;
            }
            std::string key = line.substr(0, equals);
            key.erase(key.find_last_not_of(' ') + 1);
            std::string value = line.substr(equals + 3);
            value.erase(0, value.find_first_not_of(' '));
            values_[key] = value;
        }
    }

    bool Has(const std::string& key) const { return values_.count(key) != 0; }

    // A number as the dump writes it: decimal, possibly negative, or 0x hexadecimal.
    std::int64_t Number(const std::string& key) const {
        const auto found = values_.find(key);
        if (found == values_.end()) {
            throw std::runtime_error("no line " + key);
        }
        const std::string& text = found->second;
        const bool hex = text.starts_with("0x") || text.starts_with("0X");
        std::int64_t value = 0;
        const char* begin = text.data() + (hex ? 2 : 0);
        const char* end = text.data() + text.size();
        const auto [stop, status] = std::from_chars(begin, end, value, hex ? 16 : 10);
        if (status != std::errc{} || stop != end) {
            throw std::runtime_error("not a number: " + key + " = " + text);
        }
        return value;
    }
    std::uint16_t U16(const std::string& key) const {
        return static_cast<std::uint16_t>(Number(key));
    }
    bool Flag(const std::string& key) const { return Number(key) != 0; }

    std::string Text(const std::string& key) const {
        const auto found = values_.find(key);
        return found == values_.end() ? "" : found->second;
    }

  private:
    std::map<std::string, std::string> values_;
};

// The eight 16-bit slots that Range and NotRange share, in their order.
constexpr std::array<const char*, 8> kRangeNames = {
    "Range.UsageMin",      "Range.UsageMax",      "Range.StringMin",    "Range.StringMax",
    "Range.DesignatorMin", "Range.DesignatorMax", "Range.DataIndexMin", "Range.DataIndexMax"};
constexpr std::array<const char*, 8> kNotRangeNames = {
    "NotRange.Usage",           "NotRange.Reserved1", "NotRange.StringIndex", "NotRange.Reserved2",
    "NotRange.DesignatorIndex", "NotRange.Reserved3", "NotRange.DataIndex",   "NotRange.Reserved4"};

// Reads the shared fields the way the HIDP_*_CAPS union is read by the Windows stack.
void ReadCommon(const Fields& f, const std::string& p, HidpCapsCommon& cap) {
    cap.UsagePage = f.U16(p + "UsagePage");
    cap.ReportID = static_cast<std::uint8_t>(f.Number(p + "ReportID"));
    cap.IsAlias = f.Flag(p + "IsAlias");
    cap.BitField = f.U16(p + "BitField");
    cap.LinkCollection = f.U16(p + "LinkCollection");
    cap.LinkUsage = f.U16(p + "LinkUsage");
    cap.LinkUsagePage = f.U16(p + "LinkUsagePage");
    cap.IsRange = f.Flag(p + "IsRange");
    cap.IsStringRange = f.Flag(p + "IsStringRange");
    cap.IsDesignatorRange = f.Flag(p + "IsDesignatorRange");
    cap.IsAbsolute = f.Flag(p + "IsAbsolute");

    const auto& names = cap.IsRange ? kRangeNames : kNotRangeNames;
    std::array<std::uint16_t, 8> slot{};
    for (std::size_t i = 0; i < slot.size(); ++i) {
        slot[i] = f.U16(p + names[i]);
    }
    const auto pair = [&](std::size_t first, bool isRange, std::uint16_t& min, std::uint16_t& max) {
        min = slot[first];
        max = isRange ? slot[first + 1] : slot[first];
    };
    pair(0, cap.IsRange, cap.UsageMin, cap.UsageMax);
    cap.Usage = cap.IsRange ? 0 : cap.UsageMin;
    pair(2, cap.IsStringRange, cap.StringMin, cap.StringMax);
    pair(4, cap.IsDesignatorRange, cap.DesignatorMin, cap.DesignatorMax);
    pair(6, cap.IsRange, cap.DataIndexMin, cap.DataIndexMax);
}

void ReadCaps(const Fields& f, HidPreparsedData& data) {
    const auto lengthFields = {&HidpCaps::InputReportByteLength, &HidpCaps::OutputReportByteLength,
                               &HidpCaps::FeatureReportByteLength};
    std::array<std::uint16_t, kHidReportTypeCount> dataIndices{};
    std::size_t t = 0;
    for (auto length : lengthFields) {
        const std::string info = "pp_data->caps_info[" + std::to_string(t) + "]->";
        data.caps.*length = f.U16(info + "ReportByteLength");
        const auto first = f.Number(info + "FirstCap");
        const auto last = f.Number(info + "LastCap");
        for (auto i = first; i < last; ++i) {
            const std::string p = "pp_data->cap[" + std::to_string(i) + "]->";
            HidpCapsCommon common;
            ReadCommon(f, p, common);
            dataIndices[t] = std::max<std::uint16_t>(dataIndices[t], common.DataIndexMax + 1);
            if (f.Flag(p + "IsButtonCap")) {
                HidpButtonCaps button{common};
                button.ReportCount = f.U16(p + "ReportCount");
                data.buttonCaps[t].push_back(button);
                continue;
            }
            HidpValueCaps value{common};
            value.HasNull = f.Flag(p + "NotButton.HasNull");
            value.BitSize = f.U16(p + "BitSize");
            value.ReportCount = f.U16(p + "ReportCount");
            value.UnitsExp = static_cast<std::uint32_t>(f.Number(p + "UnitsExp"));
            value.Units = static_cast<std::uint32_t>(f.Number(p + "Units"));
            value.LogicalMin = static_cast<std::int32_t>(f.Number(p + "NotButton.LogicalMin"));
            value.LogicalMax = static_cast<std::int32_t>(f.Number(p + "NotButton.LogicalMax"));
            value.PhysicalMin = static_cast<std::int32_t>(f.Number(p + "NotButton.PhysicalMin"));
            value.PhysicalMax = static_cast<std::int32_t>(f.Number(p + "NotButton.PhysicalMax"));
            data.valueCaps[t].push_back(value);
        }
        ++t;
    }
    HidpCaps& caps = data.caps;
    caps.Usage = f.U16("pp_data->Usage");
    caps.UsagePage = f.U16("pp_data->UsagePage");
    caps.NumberLinkCollectionNodes = f.U16("pp_data->NumberLinkCollectionNodes");
    const auto count = [&](std::size_t type, std::uint16_t& buttons, std::uint16_t& values,
                           std::uint16_t& indices) {
        buttons = static_cast<std::uint16_t>(data.buttonCaps[type].size());
        values = static_cast<std::uint16_t>(data.valueCaps[type].size());
        indices = dataIndices[type];
    };
    count(0, caps.NumberInputButtonCaps, caps.NumberInputValueCaps, caps.NumberInputDataIndices);
    count(1, caps.NumberOutputButtonCaps, caps.NumberOutputValueCaps, caps.NumberOutputDataIndices);
    count(2, caps.NumberFeatureButtonCaps, caps.NumberFeatureValueCaps,
          caps.NumberFeatureDataIndices);
}

void ReadLinkCollections(const Fields& f, HidPreparsedData& data) {
    for (std::uint16_t i = 0; i < data.caps.NumberLinkCollectionNodes; ++i) {
        const std::string p = "pp_data->LinkCollectionArray[" + std::to_string(i) + "]->";
        data.linkCollections.push_back({
            .LinkUsage = f.U16(p + "LinkUsage"),
            .LinkUsagePage = f.U16(p + "LinkUsagePage"),
            .Parent = f.U16(p + "Parent"),
            .NumberOfChildren = f.U16(p + "NumberOfChildren"),
            .NextSibling = f.U16(p + "NextSibling"),
            .FirstChild = f.U16(p + "FirstChild"),
            .CollectionType = static_cast<std::uint8_t>(f.Number(p + "CollectionType")),
            .IsAlias = f.Flag(p + "IsAlias"),
        });
    }
}

// "...&col02#..." in the interface path: the second top-level collection.
std::size_t CollectionOfPath(const std::string& path) {
    const std::size_t mark = path.find("&col");
    if (mark == std::string::npos) {
        return 0;
    }
    std::size_t number = 0;
    const char* digits = path.data() + mark + 4;
    std::from_chars(digits, digits + std::min<std::size_t>(2, path.size() - mark - 4), number);
    return number == 0 ? 0 : number - 1;
}

}  // namespace

bool ReadPpDataDump(const std::string& text, PpDataDump& dump, std::string& error) {
    const Fields fields(text);
    dump = PpDataDump{};
    try {
        if (!fields.Has("pp_data->MagicKey")) {
            throw std::runtime_error("no pp_data->MagicKey line: not a preparsed data dump");
        }
        ReadCaps(fields, dump.data);
        ReadLinkCollections(fields, dump.data);
    } catch (const std::runtime_error& e) {
        error = e.what();
        return false;
    }
    dump.collection = CollectionOfPath(fields.Text("dev->path"));
    return true;
}

}  // namespace brimlo::hid::testing
