#include <gtest/gtest.h>

#include "fake_hid_platform.h"
#include "hid/hid_enumeration.h"

namespace brimlo::hid {
namespace {

using testing::FakeHidPlatform;
using testing::FakeInterface;
using testing::VendorDescriptor;

constexpr std::uint16_t kVid = 0x1209;
constexpr std::uint16_t kPid = 0x0001;

FakeInterface Device(std::string path, std::uint16_t vid = kVid, std::uint16_t pid = kPid) {
    return {std::move(path), vid, pid, VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 64, 64})};
}

HidMatchState Target() {
    HidMatchState match;
    match.targetVendorId = kVid;
    match.targetProductId = kPid;
    return match;
}

struct Enumerated {
    bool ok;
    std::vector<HidDeviceRecord> list;
    std::uint32_t index;
};

Enumerated Enumerate(FakeHidPlatform& platform, HidMatchState& match) {
    Enumerated e;
    e.ok = EnumerateHidInterfaces(platform, match, e.list, e.index);
    return e;
}

TEST(HidEnumeration, NothingPresentRunsToTheEndWithoutAMatch) {
    FakeHidPlatform platform;
    HidMatchState match = Target();
    Enumerated e = Enumerate(platform, match);
    EXPECT_TRUE(e.ok);
    EXPECT_FALSE(match.matchFound);
    EXPECT_EQ(e.index, kNoMatchedIndex);
    EXPECT_EQ(match.matchedIndex, kNoMatchedIndex);

    // A refused listing is a failed walk, not an empty one.
    platform.refuseListing = true;
    e = Enumerate(platform, match);
    EXPECT_FALSE(e.ok);
    EXPECT_TRUE(e.list.empty());
}

TEST(HidEnumeration, FirstMatchWinsAndStopsTheWalk) {
    FakeHidPlatform platform;
    platform.interfaces = {Device("kbd", 0x046D, 0xC31C), Device("a"), Device("b")};
    HidMatchState match = Target();
    const Enumerated e = Enumerate(platform, match);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.index, 1u);
    EXPECT_EQ(platform.opened, (std::vector<std::string>{"kbd", "a"}));
    const HidDeviceRecord& record = e.list[1];
    ASSERT_TRUE(record.IsOpen());
    EXPECT_EQ(record.devicePath, "a");
    ASSERT_EQ(record.outputValueCaps.size(), 3u);
    EXPECT_EQ(record.outputValueCaps[0].ReportCount, 4099);
    EXPECT_EQ(record.outputValueCaps[1].ReportID, 2);
    EXPECT_EQ(record.outputReportBuffer.size(), 4100u);
    EXPECT_EQ(record.inputReportBuffer.size(), 4100u);
    // The non-matching interface was released but keeps what was read of it.
    EXPECT_FALSE(e.list[0].IsOpen());
    EXPECT_EQ(e.list[0].attributes.VendorID, 0x046D);
}

TEST(HidEnumeration, FailuresAreSkippedAndRecordedAndALaterMatchIsFound) {
    FakeHidPlatform platform;
    platform.interfaces = {Device("gone"), Device("denied"), Device("bad"), Device("good")};
    platform.interfaces[0].describeFails = true;
    platform.interfaces[1].openFails = true;
    platform.interfaces[2].descriptor = {0x05};  // truncated item
    HidMatchState match = Target();
    const Enumerated e = Enumerate(platform, match);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.index, 3u);
    ASSERT_EQ(match.skipped.size(), 3u);
    EXPECT_NE(match.skipped[1].find("Permission denied"), std::string::npos);
    EXPECT_NE(match.skipped[2].find("report descriptor"), std::string::npos);
    EXPECT_TRUE(e.list[3].IsOpen());
}

TEST(HidEnumeration, ListGrowsFrom20To40KeepingEarlierEntries) {
    FakeHidPlatform platform;
    for (int i = 0; i < 20; ++i) {
        platform.interfaces.push_back(
            Device("other" + std::to_string(i), 0x0100, static_cast<std::uint16_t>(i)));
    }
    platform.interfaces.push_back(Device("target"));
    HidMatchState match = Target();
    const Enumerated e = Enumerate(platform, match);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.list.size(), 40u);
    EXPECT_EQ(e.index, 20u);
    for (std::uint16_t i = 0; i < 20; ++i) {
        EXPECT_EQ(e.list[i].attributes.ProductID, i);
    }
    EXPECT_TRUE(e.list[20].IsOpen());
}

TEST(HidEnumeration, SecondWalkStartsCleanAndFindsTheDeviceByIdentifiers) {
    FakeHidPlatform platform;
    platform.interfaces = {Device("a")};
    HidMatchState match = Target();
    ASSERT_EQ(Enumerate(platform, match).index, 0u);

    platform.interfaces = {Device("x", 1, 1), Device("y", 1, 2), Device("a")};
    const Enumerated second = Enumerate(platform, match);
    EXPECT_EQ(second.index, 2u);

    platform.interfaces = {Device("x", 1, 1)};
    const Enumerated third = Enumerate(platform, match);
    EXPECT_FALSE(match.matchFound);
    EXPECT_EQ(third.index, kNoMatchedIndex);
}

TEST(HidDeviceRecord, RangedValueCapabilityGivesOneItemPerUsage) {
    HidDeviceRecord record;
    auto parsed = std::make_unique<HidPreparsedData>();
    HidpValueCaps ranged;
    ranged.ReportID = 7;
    ranged.UsagePage = 0xFF00;
    ranged.IsRange = true;
    ranged.UsageMin = 1;
    ranged.UsageMax = 4;
    parsed->valueCaps[ReportTypeIndex(HidReportType::Input)].push_back(ranged);
    parsed->caps.NumberInputValueCaps = 1;
    parsed->caps.InputReportByteLength = 5;
    record.caps = parsed->caps;
    record.preparsedData = std::move(parsed);

    ASSERT_TRUE(LoadReportCapabilities(record));
    ASSERT_EQ(record.inputDataLength, 4u);
    for (std::uint16_t i = 0; i < 4; ++i) {
        EXPECT_EQ(record.inputData[i].usage, i + 1);
        EXPECT_EQ(record.inputData[i].reportId, 7u);
        EXPECT_EQ(record.inputData[i].status, kHidpStatusSuccess);
        EXPECT_EQ(record.inputData[i].isButton, 0);
    }
    EXPECT_EQ(record.inputReportBuffer, std::vector<std::uint8_t>(5, 0));

    // Counts that disagree with the parser data are refused, not trusted.
    record.caps.NumberInputValueCaps = 2;
    EXPECT_FALSE(LoadReportCapabilities(record));
}

TEST(HidDeviceRecord, ReleaseIsSafeOnEmptyOpenAndReleasedRecords) {
    HidDeviceRecord empty;
    ReleaseHidRecord(empty);
    ReleaseHidRecord(empty);
    EXPECT_FALSE(empty.devicePath.has_value());

    FakeHidPlatform platform;
    platform.interfaces = {Device("a")};
    HidMatchState match = Target();
    HidDeviceRecord record;
    std::string error;
    ASSERT_TRUE(OpenHidInterface(platform, match, "a", {}, record, error)) << error;
    const std::uint32_t items = record.outputDataLength;
    ReleaseHidRecord(record);
    ReleaseHidRecord(record);
    EXPECT_FALSE(record.IsOpen());
    EXPECT_TRUE(record.outputValueCaps.empty());
    EXPECT_EQ(record.outputDataLength, items);
    EXPECT_EQ(record.attributes.VendorID, kVid);
    EXPECT_EQ(record.caps.NumberOutputValueCaps, 3);
}

}  // namespace
}  // namespace brimlo::hid
