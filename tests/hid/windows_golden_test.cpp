// Our report-descriptor parser against Windows' own: for each device in windows_golden/, the
// report descriptor (<name>_real.rpt_desc) is parsed here and compared, field by field, with the
// preparsed data Windows made of it (<name>.pp_data), read as the Windows stack reads it.

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "hid/report_descriptor_parser.h"
#include "pp_data_dump.h"

namespace brimlo::hid::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDescriptorSuffix = "_real.rpt_desc";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// One byte written as two hexadecimal digits, with or without "0x" and a trailing comma.
bool ByteToken(std::string_view token, std::uint8_t& value) {
    if (token.ends_with(',')) {
        token.remove_suffix(1);
    }
    if (token.starts_with("0x") || token.starts_with("0X")) {
        token.remove_prefix(2);
    }
    unsigned parsed = 0;
    const char* end = token.data() + token.size();
    const auto [stop, status] = std::from_chars(token.data(), end, parsed, 16);
    if (token.size() != 2 || status != std::errc{} || stop != end) {
        return false;
    }
    value = static_cast<std::uint8_t>(parsed);
    return true;
}

// The files come from several dumping tools: a C array with // comments ("0x05, 0x0C, //
// Usage Page"), a prober listing with each item's bytes at the end of its line ("Usage Page
// (Consumer Devices) 05 0C"), plain rows of bytes under a heading, the same followed by a
// "Parser output:" that repeats one collection, and hid-decode's "R: <length> <bytes>" line
// after a commented listing, or a prober's "Raw Descriptor (hex) 0000: 05 01 ..." rows. The
// bytes of a line are the run of byte tokens that ends it.
bool ReadDescriptorText(const std::string& text, std::vector<std::uint8_t>& bytes,
                        std::string& error) {
    std::string_view rest(text);
    const bool hidDecode = text.starts_with("R:") || text.find("\nR:") != std::string::npos;
    // A prober's hex rows follow a "Length (and contents): 59" line whose length is no byte.
    const bool proberRows = text.find("Raw Descriptor (hex)") != std::string::npos;
    if (const std::size_t repeat = rest.find("Parser output:"); repeat != std::string::npos) {
        rest = rest.substr(0, repeat);
    }
    std::istringstream lines{std::string(rest)};
    for (std::string line; std::getline(lines, line);) {
        if (hidDecode) {
            if (!line.starts_with("R:")) {
                continue;
            }
            line = line.substr(line.find(' ', 3) + 1);  // past the length
        }
        if (proberRows && line.find("Raw Descriptor (hex)") == std::string::npos) {
            continue;
        }
        if (const std::size_t comment = line.find("//"); comment != std::string::npos) {
            line.resize(comment);
        }
        if (line.starts_with("#")) {
            continue;
        }
        std::istringstream tokens(line);
        std::vector<std::string> words{std::istream_iterator<std::string>(tokens), {}};
        std::size_t first = words.size();
        std::uint8_t value = 0;
        while (first > 0 && ByteToken(words[first - 1], value)) {
            --first;
        }
        for (std::size_t i = first; i < words.size(); ++i) {
            ByteToken(words[i], value);
            bytes.push_back(value);
        }
    }
    if (bytes.empty()) {
        error = "no descriptor bytes found";
        return false;
    }
    return true;
}

// Collects "field: ours 3, Windows 4" lines.
class Differences {
  public:
    template <typename T>
    void Check(const std::string& field, T ours, T windows) {
        if (ours != windows) {
            lines_ += field + ": ours " + std::to_string(+ours) + ", Windows " +
                      std::to_string(+windows) + "\n";
        }
    }
    const std::string& Lines() const { return lines_; }

  private:
    std::string lines_;
};

void CompareCommon(Differences& d, const std::string& p, const HidpCapsCommon& a,
                   const HidpCapsCommon& b) {
    d.Check(p + "UsagePage", a.UsagePage, b.UsagePage);
    d.Check(p + "ReportID", a.ReportID, b.ReportID);
    d.Check(p + "IsAlias", a.IsAlias, b.IsAlias);
    d.Check(p + "BitField", a.BitField, b.BitField);
    d.Check(p + "LinkCollection", a.LinkCollection, b.LinkCollection);
    d.Check(p + "LinkUsage", a.LinkUsage, b.LinkUsage);
    d.Check(p + "LinkUsagePage", a.LinkUsagePage, b.LinkUsagePage);
    d.Check(p + "IsRange", a.IsRange, b.IsRange);
    d.Check(p + "IsStringRange", a.IsStringRange, b.IsStringRange);
    d.Check(p + "IsDesignatorRange", a.IsDesignatorRange, b.IsDesignatorRange);
    d.Check(p + "IsAbsolute", a.IsAbsolute, b.IsAbsolute);
    d.Check(p + "Usage", a.Usage, b.Usage);
    d.Check(p + "UsageMin", a.UsageMin, b.UsageMin);
    d.Check(p + "UsageMax", a.UsageMax, b.UsageMax);
    d.Check(p + "StringMin", a.StringMin, b.StringMin);
    d.Check(p + "StringMax", a.StringMax, b.StringMax);
    d.Check(p + "DesignatorMin", a.DesignatorMin, b.DesignatorMin);
    d.Check(p + "DesignatorMax", a.DesignatorMax, b.DesignatorMax);
    d.Check(p + "DataIndexMin", a.DataIndexMin, b.DataIndexMin);
    d.Check(p + "DataIndexMax", a.DataIndexMax, b.DataIndexMax);
}

void CompareCaps(Differences& d, const HidpCaps& a, const HidpCaps& b) {
    d.Check("Usage", a.Usage, b.Usage);
    d.Check("UsagePage", a.UsagePage, b.UsagePage);
    d.Check("InputReportByteLength", a.InputReportByteLength, b.InputReportByteLength);
    d.Check("OutputReportByteLength", a.OutputReportByteLength, b.OutputReportByteLength);
    d.Check("FeatureReportByteLength", a.FeatureReportByteLength, b.FeatureReportByteLength);
    d.Check("NumberLinkCollectionNodes", a.NumberLinkCollectionNodes, b.NumberLinkCollectionNodes);
    d.Check("NumberInputButtonCaps", a.NumberInputButtonCaps, b.NumberInputButtonCaps);
    d.Check("NumberInputValueCaps", a.NumberInputValueCaps, b.NumberInputValueCaps);
    d.Check("NumberInputDataIndices", a.NumberInputDataIndices, b.NumberInputDataIndices);
    d.Check("NumberOutputButtonCaps", a.NumberOutputButtonCaps, b.NumberOutputButtonCaps);
    d.Check("NumberOutputValueCaps", a.NumberOutputValueCaps, b.NumberOutputValueCaps);
    d.Check("NumberOutputDataIndices", a.NumberOutputDataIndices, b.NumberOutputDataIndices);
    d.Check("NumberFeatureButtonCaps", a.NumberFeatureButtonCaps, b.NumberFeatureButtonCaps);
    d.Check("NumberFeatureValueCaps", a.NumberFeatureValueCaps, b.NumberFeatureValueCaps);
    d.Check("NumberFeatureDataIndices", a.NumberFeatureDataIndices, b.NumberFeatureDataIndices);
}

// Every field of the capability types, caps in order per report type.
std::string Compare(const HidPreparsedData& ours, const HidPreparsedData& windows) {
    Differences d;
    CompareCaps(d, ours.caps, windows.caps);
    static const char* const kTypes[] = {"input", "output", "feature"};
    for (std::size_t t = 0; t < kHidReportTypeCount; ++t) {
        const auto& ab = ours.buttonCaps[t];
        const auto& bb = windows.buttonCaps[t];
        for (std::size_t i = 0; i < std::min(ab.size(), bb.size()); ++i) {
            const std::string p = std::string(kTypes[t]) + " button " + std::to_string(i) + " ";
            CompareCommon(d, p, ab[i], bb[i]);
            d.Check(p + "ReportCount", ab[i].ReportCount, bb[i].ReportCount);
        }
        const auto& av = ours.valueCaps[t];
        const auto& bv = windows.valueCaps[t];
        for (std::size_t i = 0; i < std::min(av.size(), bv.size()); ++i) {
            const std::string p = std::string(kTypes[t]) + " value " + std::to_string(i) + " ";
            CompareCommon(d, p, av[i], bv[i]);
            d.Check(p + "HasNull", av[i].HasNull, bv[i].HasNull);
            d.Check(p + "BitSize", av[i].BitSize, bv[i].BitSize);
            d.Check(p + "ReportCount", av[i].ReportCount, bv[i].ReportCount);
            d.Check(p + "UnitsExp", av[i].UnitsExp, bv[i].UnitsExp);
            d.Check(p + "Units", av[i].Units, bv[i].Units);
            d.Check(p + "LogicalMin", av[i].LogicalMin, bv[i].LogicalMin);
            d.Check(p + "LogicalMax", av[i].LogicalMax, bv[i].LogicalMax);
            d.Check(p + "PhysicalMin", av[i].PhysicalMin, bv[i].PhysicalMin);
            d.Check(p + "PhysicalMax", av[i].PhysicalMax, bv[i].PhysicalMax);
        }
    }
    d.Check("link collections", ours.linkCollections.size(), windows.linkCollections.size());
    for (std::size_t i = 0;
         i < std::min(ours.linkCollections.size(), windows.linkCollections.size()); ++i) {
        const HidpLinkCollectionNode& a = ours.linkCollections[i];
        const HidpLinkCollectionNode& b = windows.linkCollections[i];
        const std::string p = "node " + std::to_string(i) + " ";
        d.Check(p + "LinkUsage", a.LinkUsage, b.LinkUsage);
        d.Check(p + "LinkUsagePage", a.LinkUsagePage, b.LinkUsagePage);
        d.Check(p + "Parent", a.Parent, b.Parent);
        d.Check(p + "NumberOfChildren", a.NumberOfChildren, b.NumberOfChildren);
        d.Check(p + "NextSibling", a.NextSibling, b.NextSibling);
        d.Check(p + "FirstChild", a.FirstChild, b.FirstChild);
        d.Check(p + "CollectionType", a.CollectionType, b.CollectionType);
        d.Check(p + "IsAlias", a.IsAlias, b.IsAlias);
    }
    return d.Lines();
}

struct GoldenCase {
    std::string name;
    PpDataDump windows;
    std::vector<std::uint8_t> descriptor;
    std::vector<HidPreparsedData> ours;  // every top-level collection of the descriptor
};

GoldenCase LoadCase(const fs::path& descriptorPath) {
    GoldenCase c;
    const std::string file = descriptorPath.filename().string();
    c.name = file.substr(0, file.size() - kDescriptorSuffix.size());
    std::vector<std::uint8_t>& descriptor = c.descriptor;
    std::string error;
    EXPECT_TRUE(ReadDescriptorText(ReadText(descriptorPath), descriptor, error))
        << c.name << ": " << error;
    const fs::path dumpPath = descriptorPath.parent_path() / (c.name + ".pp_data");
    EXPECT_TRUE(fs::exists(dumpPath)) << c.name << ": no " << dumpPath;
    EXPECT_TRUE(ReadPpDataDump(ReadText(dumpPath), c.windows, error)) << c.name << ": " << error;
    ReportDescriptorError parseError;
    EXPECT_TRUE(ParseReportDescriptor(descriptor, c.ours, parseError))
        << c.name << ": byte " << parseError.offset << ": " << parseError.message;
    return c;
}

// Where a device's collections come one per file, Windows still parsed them as one descriptor
// (global items such as Logical Maximum carry over from one collection to the next), so each
// such case is parsed again from its device's files joined in Windows' order (col01, col02, ...).
void JoinSplitDevices(std::vector<GoldenCase>& cases) {
    for (GoldenCase& c : cases) {
        if (c.ours.size() != 1 || c.windows.collection == 0) {
            continue;
        }
        const std::string device = c.name.substr(0, c.name.find('_', 5));  // VID_PID
        std::vector<const GoldenCase*> parts(c.windows.collection + 1, nullptr);
        for (const GoldenCase& other : cases) {
            if (other.name.starts_with(device + "_") && other.ours.size() == 1 &&
                other.windows.collection < parts.size()) {
                parts[other.windows.collection] = &other;
            }
        }
        if (std::find(parts.begin(), parts.end(), nullptr) != parts.end()) {
            continue;
        }
        std::vector<std::uint8_t> joined;
        for (const GoldenCase* part : parts) {
            joined.insert(joined.end(), part->descriptor.begin(), part->descriptor.end());
        }
        ReportDescriptorError error;
        std::vector<HidPreparsedData> whole;
        EXPECT_TRUE(ParseReportDescriptor(joined, whole, error)) << c.name << ": " << error.message;
        c.ours = std::move(whole);
    }
}

std::vector<GoldenCase> LoadCases() {
    std::vector<fs::path> descriptors;
    for (const auto& entry : fs::directory_iterator(BRIMLO_WINDOWS_GOLDEN_DIR)) {
        if (entry.path().filename().string().ends_with(kDescriptorSuffix)) {
            descriptors.push_back(entry.path());
        }
    }
    std::sort(descriptors.begin(), descriptors.end());
    std::vector<GoldenCase> cases;
    for (const fs::path& path : descriptors) {
        cases.push_back(LoadCase(path));
    }
    JoinSplitDevices(cases);
    return cases;
}

// Some files hold the whole device's descriptor, some only the collection Windows dumped: ours
// is the collection the dump's path names when its usage agrees, else the one of that usage.
const HidPreparsedData* OursFor(const GoldenCase& c) {
    const HidpCaps& windows = c.windows.data.caps;
    auto sameUsage = [&](const HidPreparsedData& ours) {
        return ours.caps.UsagePage == windows.UsagePage && ours.caps.Usage == windows.Usage;
    };
    if (c.windows.collection < c.ours.size() && sameUsage(c.ours[c.windows.collection])) {
        return &c.ours[c.windows.collection];
    }
    const auto found = std::find_if(c.ours.begin(), c.ours.end(), sameUsage);
    return found == c.ours.end() ? nullptr : &*found;
}

TEST(WindowsGolden, EveryTopLevelCollectionMatchesWhatWindowsMadeOfIt) {
    const std::vector<GoldenCase> cases = LoadCases();
    ASSERT_FALSE(cases.empty()) << "no *" << kDescriptorSuffix << " in "
                                << BRIMLO_WINDOWS_GOLDEN_DIR;
    for (const GoldenCase& c : cases) {
        const HidPreparsedData* ours = OursFor(c);
        ASSERT_NE(ours, nullptr) << c.name << ": no top-level collection of usage page 0x"
                                 << std::hex << c.windows.data.caps.UsagePage << " usage 0x"
                                 << c.windows.data.caps.Usage;
        EXPECT_EQ(Compare(*ours, c.windows.data), "") << c.name;
    }
}

// The comparison itself must see a difference in any field group, or a pass proves nothing.
TEST(WindowsGolden, TheComparisonSeesADifferenceInEachPart) {
    const std::vector<GoldenCase> cases = LoadCases();
    ASSERT_FALSE(cases.empty());
    const HidPreparsedData& windows = cases.front().windows.data;
    HidPreparsedData changed = windows;
    ASSERT_EQ(Compare(changed, windows), "");
    ++changed.caps.InputReportByteLength;
    EXPECT_NE(Compare(changed, windows).find("InputReportByteLength: ours"), std::string::npos);

    changed = windows;
    ASSERT_FALSE(changed.linkCollections.empty());
    ++changed.linkCollections[0].LinkUsage;
    EXPECT_NE(Compare(changed, windows), "");

    for (std::size_t t = 0; t < kHidReportTypeCount; ++t) {
        changed = windows;
        if (!changed.buttonCaps[t].empty()) {
            ++changed.buttonCaps[t][0].DataIndexMax;
            EXPECT_NE(Compare(changed, windows).find("DataIndexMax"), std::string::npos);
        }
        if (!changed.valueCaps[t].empty()) {
            ++changed.valueCaps[t][0].LogicalMax;
            EXPECT_NE(Compare(changed, windows).find("LogicalMax"), std::string::npos);
        }
    }
}

// What a dump says, checked against values read off the file by hand.
TEST(WindowsGolden, DumpIsReadAsTheWindowsStackReadsIt) {
    PpDataDump dump;
    std::string error;
    ASSERT_TRUE(ReadPpDataDump(
        ReadText(fs::path(BRIMLO_WINDOWS_GOLDEN_DIR) / "046D_C52F_0001_000C.pp_data"), dump, error))
        << error;
    EXPECT_EQ(dump.collection, 0u);  // "&col01" in its path
    EXPECT_EQ(dump.data.caps.UsagePage, 0x0C);
    EXPECT_EQ(dump.data.caps.InputReportByteLength, 5);
    EXPECT_EQ(dump.data.caps.NumberInputDataIndices, 652);
    ASSERT_EQ(dump.data.buttonCaps[0].size(), 1u);
    const HidpButtonCaps& keys = dump.data.buttonCaps[0][0];
    EXPECT_TRUE(keys.IsRange);
    EXPECT_EQ(keys.Usage, 0);
    EXPECT_EQ(keys.UsageMax, 0x028C);
    EXPECT_EQ(keys.ReportID, 3);
    EXPECT_EQ(keys.ReportCount, 2);

    EXPECT_FALSE(ReadPpDataDump("pp_data->Usage = 0x0001\n", dump, error));
    EXPECT_NE(error.find("MagicKey"), std::string::npos);
}

}  // namespace
}  // namespace brimlo::hid::testing
