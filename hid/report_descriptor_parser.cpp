// Report-descriptor parser: walks the items of a HID report descriptor and builds the capability
// tables the Windows HID parser would report for it.
//
// Behaviour worth knowing when reading the results:
// - Caps of different main items are listed in descriptor order per report type. Within one main
//   item that names several usages, Windows lists the caps last usage first; so do we.
// - A Variable item gives each usage one field and each usage range one field per usage, in
//   order; the last usage or range takes all remaining fields. Usages left without a field (more
//   usages than ReportCount) make no cap. Every cap of an Array has the item's ReportCount.
// - Items with ReportCount or ReportSize 0, data items that name no usage, Constant Arrays and
//   Constant Variables that name only usage 0 are padding: they take room in the report but
//   make no cap and no data index. A Constant Variable that names a usage gets caps and data
//   indices like a data item, as on Windows; its BitField says it is constant.
// - Each top-level collection is a result of its own, as Windows makes each one an interface:
//   its own caps, data indices and report lengths, its link collection node 0 the top-level
//   collection itself. Global items carry over from one top-level collection to the next.
// - Logical, physical, unit and unit-exponent values are sign-extended from their item's width,
//   as Windows does (a one-byte Logical Maximum of 0xFF reads as -1).
// - A short usage takes the usage page in force when the Usage item is read; a four-byte usage
//   carries its own page. A collection's usage is the first usage named before it.
// - Input, Output and Feature items outside every collection are rejected, and so are Delimiter
//   items (alternative usages), which are not supported.

#include "hid/report_descriptor_parser.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brimlo::hid {
namespace {

// Bounds that keep a hostile descriptor from making us allocate or loop without limit.
constexpr std::size_t kMaxCollectionDepth = 32;
constexpr std::size_t kMaxPushDepth = 16;
constexpr std::size_t kMaxUsagesPerItem = 256;
constexpr std::size_t kMaxCollections = 1024;
constexpr std::size_t kMaxCapsPerType = 4096;
// The report byte length (report ID byte included) must fit the 16-bit length fields.
constexpr std::uint64_t kMaxReportDataBits = (0xFFFFull - 1) * 8;
constexpr std::size_t kReportIdCount = 256;

enum class ItemType : std::uint8_t { Main = 0, Global = 1, Local = 2, Reserved = 3 };

namespace main_tag {
constexpr std::uint8_t kInput = 0x8;
constexpr std::uint8_t kOutput = 0x9;
constexpr std::uint8_t kCollection = 0xA;
constexpr std::uint8_t kFeature = 0xB;
constexpr std::uint8_t kEndCollection = 0xC;
}  // namespace main_tag

namespace global_tag {
constexpr std::uint8_t kUsagePage = 0x0;
constexpr std::uint8_t kLogicalMin = 0x1;
constexpr std::uint8_t kLogicalMax = 0x2;
constexpr std::uint8_t kPhysicalMin = 0x3;
constexpr std::uint8_t kPhysicalMax = 0x4;
constexpr std::uint8_t kUnitExponent = 0x5;
constexpr std::uint8_t kUnit = 0x6;
constexpr std::uint8_t kReportSize = 0x7;
constexpr std::uint8_t kReportId = 0x8;
constexpr std::uint8_t kReportCount = 0x9;
constexpr std::uint8_t kPush = 0xA;
constexpr std::uint8_t kPop = 0xB;
}  // namespace global_tag

namespace local_tag {
constexpr std::uint8_t kUsage = 0x0;
constexpr std::uint8_t kUsageMin = 0x1;
constexpr std::uint8_t kUsageMax = 0x2;
constexpr std::uint8_t kDesignatorIndex = 0x3;
constexpr std::uint8_t kDesignatorMin = 0x4;
constexpr std::uint8_t kDesignatorMax = 0x5;
constexpr std::uint8_t kStringIndex = 0x7;
constexpr std::uint8_t kStringMin = 0x8;
constexpr std::uint8_t kStringMax = 0x9;
constexpr std::uint8_t kDelimiter = 0xA;
}  // namespace local_tag

// Bits of an Input/Output/Feature item's data.
constexpr std::uint32_t kFlagConstant = 0x01;
constexpr std::uint32_t kFlagVariable = 0x02;
constexpr std::uint32_t kFlagRelative = 0x04;
constexpr std::uint32_t kFlagNullState = 0x40;

constexpr std::uint8_t kLongItemPrefix = 0xFE;

struct Item {
    std::size_t offset = 0;
    ItemType type = ItemType::Main;
    std::uint8_t tag = 0;
    std::uint8_t size = 0;
    std::uint32_t udata = 0;  // data zero-extended
    std::int32_t sdata = 0;   // data sign-extended from its own width
};

struct Globals {
    std::uint16_t usagePage = 0;
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::int32_t physicalMin = 0;
    std::int32_t physicalMax = 0;
    std::uint32_t unitExponent = 0;
    std::uint32_t unit = 0;
    std::uint32_t reportSize = 0;
    std::uint8_t reportId = 0;
    std::uint32_t reportCount = 0;
};

// One usage or usage range named by local items, with its page resolved when it was read.
struct UsageEntry {
    std::uint16_t page = 0;
    std::uint16_t min = 0;
    std::uint16_t max = 0;
    bool isRange = false;
};

// A usage with its page; also a Usage Minimum or Maximum still waiting for its partner.
struct PendingBound {
    std::uint16_t page = 0;
    std::uint16_t usage = 0;
};

struct Locals {
    std::vector<UsageEntry> usages;
    std::optional<PendingBound> usageMin;
    std::optional<PendingBound> usageMax;
    std::uint16_t stringMin = 0;
    std::uint16_t stringMax = 0;
    bool isStringRange = false;
    std::uint16_t designatorMin = 0;
    std::uint16_t designatorMax = 0;
    bool isDesignatorRange = false;
};

// What one top-level collection has collected so far.
struct TopLevelCollection {
    HidPreparsedData data;
    // Data bits per report type and report ID, without the report ID byte; a type has a report
    // as soon as it has a main item, even one of zero bits.
    std::array<std::array<std::uint32_t, kReportIdCount>, kHidReportTypeCount> reportBits{};
    std::array<bool, kHidReportTypeCount> hasReport{};
    std::array<std::uint32_t, kHidReportTypeCount> dataIndexCount{};
};

class Parser {
  public:
    Parser(std::span<const std::uint8_t> descriptor, std::vector<HidPreparsedData>& results,
           ReportDescriptorError& error)
        : bytes_(descriptor), results_(results), error_(error) {}

    bool Run();

  private:
    bool Fail(std::size_t offset, std::string message);
    bool ReadItem(std::size_t offset, Item& item);
    bool HandleMain(const Item& item);
    bool HandleGlobal(const Item& item);
    bool HandleLocal(const Item& item);
    bool OpenCollection(const Item& item);
    bool CloseCollection(const Item& item);
    bool ReserveBits(const Item& item, HidReportType type);
    bool AddDataItem(const Item& item, HidReportType type);
    bool AddUsage(const Item& item);
    bool AddRangeBound(const Item& item, bool isMin);
    PendingBound FullUsage(const Item& item) const;
    bool FlushPendingRange(const Item& item);
    void FinishCollection();
    bool Finish();

    std::span<const std::uint8_t> bytes_;
    std::vector<HidPreparsedData>& results_;
    ReportDescriptorError& error_;

    Globals globals_;
    std::vector<Globals> pushStack_;
    Locals locals_;
    // Node index (within the current top-level collection) and descriptor offset of each
    // Collection not yet ended, innermost last.
    std::vector<std::pair<std::uint16_t, std::size_t>> openCollections_;
    TopLevelCollection current_;
    // Collections of the whole descriptor, for its limit.
    std::size_t collectionCount_ = 0;
};

bool Parser::Fail(std::size_t offset, std::string message) {
    error_.offset = offset;
    error_.message = std::move(message);
    return false;
}

bool Parser::ReadItem(std::size_t offset, Item& item) {
    const std::uint8_t prefix = bytes_[offset];
    if (prefix == kLongItemPrefix) {
        return Fail(offset, "long items are not supported");
    }
    static constexpr std::uint8_t kSizes[4] = {0, 1, 2, 4};
    item.offset = offset;
    item.size = kSizes[prefix & 0x03];
    item.type = static_cast<ItemType>((prefix >> 2) & 0x03);
    item.tag = static_cast<std::uint8_t>(prefix >> 4);
    if (bytes_.size() - offset - 1 < item.size) {
        return Fail(offset, "item data runs past the end of the descriptor");
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < item.size; ++i) {
        value |= static_cast<std::uint32_t>(bytes_[offset + 1 + i]) << (8 * i);
    }
    item.udata = value;
    switch (item.size) {
        case 1:
            item.sdata = static_cast<std::int8_t>(value);
            break;
        case 2:
            item.sdata = static_cast<std::int16_t>(value);
            break;
        default:
            item.sdata = static_cast<std::int32_t>(value);
            break;
    }
    return true;
}

bool Parser::Run() {
    results_.clear();
    std::size_t offset = 0;
    while (offset < bytes_.size()) {
        Item item;
        if (!ReadItem(offset, item)) {
            return false;
        }
        bool ok = true;
        switch (item.type) {
            case ItemType::Main:
                ok = HandleMain(item);
                break;
            case ItemType::Global:
                ok = HandleGlobal(item);
                break;
            case ItemType::Local:
                ok = HandleLocal(item);
                break;
            case ItemType::Reserved:
                ok = Fail(item.offset, "reserved item type");
                break;
        }
        if (!ok) {
            return false;
        }
        offset += 1 + item.size;
    }
    return Finish();
}

bool Parser::HandleMain(const Item& item) {
    if (!FlushPendingRange(item)) {
        return false;
    }
    bool ok = true;
    switch (item.tag) {
        case main_tag::kInput:
            ok = AddDataItem(item, HidReportType::Input);
            break;
        case main_tag::kOutput:
            ok = AddDataItem(item, HidReportType::Output);
            break;
        case main_tag::kFeature:
            ok = AddDataItem(item, HidReportType::Feature);
            break;
        case main_tag::kCollection:
            ok = OpenCollection(item);
            break;
        case main_tag::kEndCollection:
            ok = CloseCollection(item);
            break;
        default:
            ok = Fail(item.offset, "unknown main item");
            break;
    }
    locals_ = Locals{};
    return ok;
}

bool Parser::HandleGlobal(const Item& item) {
    switch (item.tag) {
        case global_tag::kUsagePage:
            if (item.udata > 0xFFFF) {
                return Fail(item.offset, "Usage Page above 0xFFFF");
            }
            globals_.usagePage = static_cast<std::uint16_t>(item.udata);
            return true;
        case global_tag::kLogicalMin:
            globals_.logicalMin = item.sdata;
            return true;
        case global_tag::kLogicalMax:
            globals_.logicalMax = item.sdata;
            return true;
        case global_tag::kPhysicalMin:
            globals_.physicalMin = item.sdata;
            return true;
        case global_tag::kPhysicalMax:
            globals_.physicalMax = item.sdata;
            return true;
        case global_tag::kUnitExponent:
            globals_.unitExponent = static_cast<std::uint32_t>(item.sdata);
            return true;
        case global_tag::kUnit:
            globals_.unit = static_cast<std::uint32_t>(item.sdata);
            return true;
        case global_tag::kReportSize:
            if (item.udata > 0xFFFF) {
                return Fail(item.offset, "Report Size above 65535 bits");
            }
            globals_.reportSize = item.udata;
            return true;
        case global_tag::kReportId:
            if (item.udata == 0 || item.udata > 0xFF) {
                return Fail(item.offset, "Report ID must be 1 to 255");
            }
            globals_.reportId = static_cast<std::uint8_t>(item.udata);
            return true;
        case global_tag::kReportCount:
            if (item.udata > 0xFFFF) {
                return Fail(item.offset, "Report Count above 65535");
            }
            globals_.reportCount = item.udata;
            return true;
        case global_tag::kPush:
            if (pushStack_.size() >= kMaxPushDepth) {
                return Fail(item.offset, "Push nested too deeply");
            }
            pushStack_.push_back(globals_);
            return true;
        case global_tag::kPop:
            if (pushStack_.empty()) {
                return Fail(item.offset, "Pop without Push");
            }
            globals_ = pushStack_.back();
            pushStack_.pop_back();
            return true;
        default:
            return Fail(item.offset, "unknown global item");
    }
}

bool Parser::HandleLocal(const Item& item) {
    const auto value16 = static_cast<std::uint16_t>(item.udata);
    switch (item.tag) {
        case local_tag::kUsage:
            return AddUsage(item);
        case local_tag::kUsageMin:
            return AddRangeBound(item, true);
        case local_tag::kUsageMax:
            return AddRangeBound(item, false);
        case local_tag::kDesignatorIndex:
            locals_.designatorMin = locals_.designatorMax = value16;
            locals_.isDesignatorRange = false;
            return true;
        case local_tag::kDesignatorMin:
            locals_.designatorMin = value16;
            locals_.isDesignatorRange = true;
            return true;
        case local_tag::kDesignatorMax:
            locals_.designatorMax = value16;
            locals_.isDesignatorRange = true;
            return true;
        case local_tag::kStringIndex:
            locals_.stringMin = locals_.stringMax = value16;
            locals_.isStringRange = false;
            return true;
        case local_tag::kStringMin:
            locals_.stringMin = value16;
            locals_.isStringRange = true;
            return true;
        case local_tag::kStringMax:
            locals_.stringMax = value16;
            locals_.isStringRange = true;
            return true;
        case local_tag::kDelimiter:
            return Fail(item.offset, "Delimiter items are not supported");
        default:
            return Fail(item.offset, "unknown local item");
    }
}

// A 4-byte usage carries its own page in the high half; a shorter one, or one whose page half
// is the undefined page 0, takes the current page.
PendingBound Parser::FullUsage(const Item& item) const {
    const auto ownPage = static_cast<std::uint16_t>(item.udata >> 16);
    const std::uint16_t page = item.size == 4 && ownPage != 0 ? ownPage : globals_.usagePage;
    return PendingBound{page, static_cast<std::uint16_t>(item.udata & 0xFFFF)};
}

bool Parser::AddUsage(const Item& item) {
    if (locals_.usageMin || locals_.usageMax) {
        return Fail(item.offset, "Usage inside an unfinished usage range");
    }
    if (locals_.usages.size() >= kMaxUsagesPerItem) {
        return Fail(item.offset, "too many usages for one main item");
    }
    const PendingBound usage = FullUsage(item);
    locals_.usages.push_back(UsageEntry{usage.page, usage.usage, usage.usage, false});
    return true;
}

bool Parser::AddRangeBound(const Item& item, bool isMin) {
    auto& slot = isMin ? locals_.usageMin : locals_.usageMax;
    if (slot) {
        return Fail(item.offset, isMin ? "Usage Minimum repeated before its Usage Maximum"
                                       : "Usage Maximum repeated before its Usage Minimum");
    }
    slot = FullUsage(item);
    if (!locals_.usageMin || !locals_.usageMax) {
        return true;
    }
    const PendingBound lo = *locals_.usageMin;
    const PendingBound hi = *locals_.usageMax;
    locals_.usageMin.reset();
    locals_.usageMax.reset();
    if (lo.page != hi.page) {
        return Fail(item.offset, "usage range spans two usage pages");
    }
    if (lo.usage > hi.usage) {
        return Fail(item.offset, "Usage Minimum above Usage Maximum");
    }
    if (locals_.usages.size() >= kMaxUsagesPerItem) {
        return Fail(item.offset, "too many usages for one main item");
    }
    locals_.usages.push_back(UsageEntry{lo.page, lo.usage, hi.usage, true});
    return true;
}

bool Parser::FlushPendingRange(const Item& item) {
    if (locals_.usageMin) {
        return Fail(item.offset, "Usage Minimum without Usage Maximum");
    }
    if (locals_.usageMax) {
        return Fail(item.offset, "Usage Maximum without Usage Minimum");
    }
    return true;
}

bool Parser::OpenCollection(const Item& item) {
    if (openCollections_.size() >= kMaxCollectionDepth) {
        return Fail(item.offset, "collections nested too deeply");
    }
    if (collectionCount_ >= kMaxCollections) {
        return Fail(item.offset, "too many collections");
    }
    if (item.udata > 0xFF) {
        return Fail(item.offset, "collection type above 0xFF");
    }
    ++collectionCount_;
    std::vector<HidpLinkCollectionNode>& nodes = current_.data.linkCollections;
    const auto index = static_cast<std::uint16_t>(nodes.size());
    HidpLinkCollectionNode node;
    if (!locals_.usages.empty()) {
        node.LinkUsage = locals_.usages.front().min;
        node.LinkUsagePage = locals_.usages.front().page;
    } else {
        node.LinkUsagePage = globals_.usagePage;
    }
    node.CollectionType = static_cast<std::uint8_t>(item.udata);
    if (!openCollections_.empty()) {
        // Children are chained newest first, as the Windows parser links them.
        const std::uint16_t parentIndex = openCollections_.back().first;
        HidpLinkCollectionNode& parent = nodes[parentIndex];
        node.Parent = parentIndex;
        node.NextSibling = parent.FirstChild;
        parent.FirstChild = index;
        ++parent.NumberOfChildren;
    }
    nodes.push_back(node);
    openCollections_.emplace_back(index, item.offset);
    return true;
}

bool Parser::CloseCollection(const Item& item) {
    if (openCollections_.empty()) {
        return Fail(item.offset, "End Collection without Collection");
    }
    openCollections_.pop_back();
    if (openCollections_.empty()) {
        FinishCollection();
    }
    return true;
}

HidpCapsCommon MakeCommon(const Globals& g, const Locals& l, const UsageEntry& usage,
                          std::uint32_t flags, std::uint16_t collection,
                          const HidpLinkCollectionNode& node) {
    HidpCapsCommon cap;
    cap.UsagePage = usage.page;
    cap.ReportID = g.reportId;
    cap.BitField = static_cast<std::uint16_t>(flags);
    cap.LinkCollection = collection;
    cap.LinkUsage = node.LinkUsage;
    cap.LinkUsagePage = node.LinkUsagePage;
    cap.IsRange = usage.isRange;
    cap.IsStringRange = l.isStringRange;
    cap.IsDesignatorRange = l.isDesignatorRange;
    cap.IsAbsolute = (flags & kFlagRelative) == 0;
    cap.Usage = usage.isRange ? 0 : usage.min;
    cap.UsageMin = usage.min;
    cap.UsageMax = usage.max;
    cap.StringMin = l.stringMin;
    cap.StringMax = l.stringMax;
    cap.DesignatorMin = l.designatorMin;
    cap.DesignatorMax = l.designatorMax;
    return cap;
}

HidpValueCaps MakeValueCap(const HidpCapsCommon& common, const Globals& g, std::uint32_t flags,
                           std::uint16_t reportCount) {
    HidpValueCaps cap{common};
    cap.HasNull = (flags & kFlagNullState) != 0;
    cap.BitSize = static_cast<std::uint16_t>(g.reportSize);
    cap.ReportCount = reportCount;
    cap.UnitsExp = g.unitExponent;
    cap.Units = g.unit;
    cap.LogicalMin = g.logicalMin;
    cap.LogicalMax = g.logicalMax;
    cap.PhysicalMin = g.physicalMin;
    cap.PhysicalMax = g.physicalMax;
    return cap;
}

bool Parser::ReserveBits(const Item& item, HidReportType type) {
    std::uint32_t& bits = current_.reportBits[ReportTypeIndex(type)][globals_.reportId];
    const std::uint64_t itemBits =
        static_cast<std::uint64_t>(globals_.reportSize) * globals_.reportCount;
    if (bits + itemBits > kMaxReportDataBits) {
        return Fail(item.offset, "report longer than 65534 data bytes");
    }
    bits += static_cast<std::uint32_t>(itemBits);
    current_.hasReport[ReportTypeIndex(type)] = true;
    return true;
}

// Fields per usage entry. Every field of an Array can hold any of its usages. A Variable item
// gives each entry one field per usage it names and the last entry the rest; entries left
// without a field (more usages than fields) make no cap.
std::vector<std::uint16_t> FieldCounts(const std::vector<UsageEntry>& usages, bool isArray,
                                       std::uint32_t reportCount) {
    std::vector<std::uint16_t> counts;
    std::uint32_t remaining = reportCount;
    for (std::size_t u = 0; u < usages.size() && remaining > 0; ++u) {
        std::uint32_t take = remaining;
        if (isArray) {
            take = reportCount;
        } else if (u + 1 < usages.size()) {
            take = std::min<std::uint32_t>(remaining, usages[u].max - usages[u].min + 1u);
            remaining -= take;
        }
        counts.push_back(static_cast<std::uint16_t>(take));
    }
    return counts;
}

bool Parser::AddDataItem(const Item& item, HidReportType type) {
    if (openCollections_.empty()) {
        return Fail(item.offset, "Input, Output or Feature item outside any collection");
    }
    if (!ReserveBits(item, type)) {
        return false;
    }
    const std::uint32_t flags = item.udata;
    const bool isArray = (flags & kFlagVariable) == 0;
    const bool noField = globals_.reportSize == 0 || globals_.reportCount == 0;
    const bool namesUsage = std::any_of(locals_.usages.begin(), locals_.usages.end(),
                                        [](const UsageEntry& usage) { return usage.max != 0; });
    const bool constant = (flags & kFlagConstant) != 0;
    if (noField || locals_.usages.empty() || (constant && (isArray || !namesUsage))) {
        return true;  // padding
    }
    const std::vector<std::uint16_t> counts =
        FieldCounts(locals_.usages, isArray, globals_.reportCount);
    const std::size_t n = counts.size();
    const std::size_t t = ReportTypeIndex(type);
    auto& buttons = current_.data.buttonCaps[t];
    auto& values = current_.data.valueCaps[t];
    if (buttons.size() + values.size() + n > kMaxCapsPerType) {
        return Fail(item.offset, "too many capabilities in one report type");
    }

    // The Windows parser lists one item's caps last usage first. It numbers the data indices
    // of a Variable item in that list order and those of an Array in usage order; a range
    // takes one index per usage.
    std::vector<std::uint32_t> firstIndex(n);
    std::uint32_t next = current_.dataIndexCount[t];
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t u = isArray ? k : n - 1 - k;
        firstIndex[u] = next;
        next += locals_.usages[u].max - locals_.usages[u].min + 1u;
    }
    if (next > 0xFFFF) {
        return Fail(item.offset, "too many data indices in one report type");
    }
    current_.dataIndexCount[t] = next;

    const bool isButton = isArray || globals_.reportSize == 1;
    const std::uint16_t collection = openCollections_.back().first;
    const HidpLinkCollectionNode& node = current_.data.linkCollections[collection];
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t u = n - 1 - k;
        const UsageEntry& usage = locals_.usages[u];
        HidpCapsCommon common = MakeCommon(globals_, locals_, usage, flags, collection, node);
        common.DataIndexMin = static_cast<std::uint16_t>(firstIndex[u]);
        common.DataIndexMax = static_cast<std::uint16_t>(firstIndex[u] + usage.max - usage.min);
        if (isButton) {
            HidpButtonCaps cap{common};
            cap.ReportCount = counts[u];
            buttons.push_back(cap);
        } else {
            values.push_back(MakeValueCap(common, globals_, flags, counts[u]));
        }
    }
    return true;
}

// Completes the counts of the top-level collection just ended and hands it over.
void Parser::FinishCollection() {
    HidPreparsedData& data = current_.data;
    HidpCaps& caps = data.caps;
    caps.Usage = data.linkCollections.front().LinkUsage;
    caps.UsagePage = data.linkCollections.front().LinkUsagePage;
    caps.NumberLinkCollectionNodes = static_cast<std::uint16_t>(data.linkCollections.size());

    std::array<std::uint16_t, kHidReportTypeCount> lengths{};
    for (std::size_t t = 0; t < kHidReportTypeCount; ++t) {
        const auto& bits = current_.reportBits[t];
        const std::uint32_t maxBits = *std::max_element(bits.begin(), bits.end());
        lengths[t] = current_.hasReport[t] ? static_cast<std::uint16_t>(1 + (maxBits + 7) / 8) : 0;
    }
    caps.InputReportByteLength = lengths[0];
    caps.OutputReportByteLength = lengths[1];
    caps.FeatureReportByteLength = lengths[2];

    const auto count = [&](HidReportType type, std::uint16_t& buttons, std::uint16_t& values,
                           std::uint16_t& indices) {
        const std::size_t t = ReportTypeIndex(type);
        buttons = static_cast<std::uint16_t>(data.buttonCaps[t].size());
        values = static_cast<std::uint16_t>(data.valueCaps[t].size());
        indices = static_cast<std::uint16_t>(current_.dataIndexCount[t]);
    };
    count(HidReportType::Input, caps.NumberInputButtonCaps, caps.NumberInputValueCaps,
          caps.NumberInputDataIndices);
    count(HidReportType::Output, caps.NumberOutputButtonCaps, caps.NumberOutputValueCaps,
          caps.NumberOutputDataIndices);
    count(HidReportType::Feature, caps.NumberFeatureButtonCaps, caps.NumberFeatureValueCaps,
          caps.NumberFeatureDataIndices);
    results_.push_back(std::move(data));
    current_ = TopLevelCollection{};
}

bool Parser::Finish() {
    if (!openCollections_.empty()) {
        return Fail(openCollections_.back().second, "Collection without End Collection");
    }
    if (results_.empty()) {
        return Fail(bytes_.size(), "descriptor has no collection");
    }
    return true;
}

}  // namespace

bool ParseReportDescriptor(std::span<const std::uint8_t> descriptor,
                           std::vector<HidPreparsedData>& collections,
                           ReportDescriptorError& error) {
    return Parser(descriptor, collections, error).Run();
}

bool ParseReportDescriptor(std::span<const std::uint8_t> descriptor, HidPreparsedData& data,
                           ReportDescriptorError& error, std::size_t collection) {
    std::vector<HidPreparsedData> collections;
    if (!ParseReportDescriptor(descriptor, collections, error)) {
        return false;
    }
    if (collection >= collections.size()) {
        error.offset = descriptor.size();
        error.message = "the descriptor has " + std::to_string(collections.size()) +
                        " top-level collections, not " + std::to_string(collection + 1);
        return false;
    }
    data = std::move(collections[collection]);
    return true;
}

std::uint32_t MaxUsageListLength(const HidPreparsedData& data, HidReportType type,
                                 std::uint16_t usagePage) {
    std::uint32_t total = 0;
    for (const HidpButtonCaps& cap : data.buttonCaps[ReportTypeIndex(type)]) {
        if (usagePage != 0 && cap.UsagePage != usagePage) {
            continue;
        }
        total += cap.ReportCount;
    }
    return total;
}

}  // namespace brimlo::hid
