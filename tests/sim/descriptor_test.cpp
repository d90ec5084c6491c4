// The device as a HID stack sees it: the platform that lists and opens it, and its report
// descriptor as the enumeration parses it.

#include <gtest/gtest.h>

#include "hid/hid_enumeration.h"
#include "sim/report_descriptor.h"
#include "sim/sim_platform.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

// The enumeration finds the device by its identifiers and loads its capabilities from the
// descriptor, like any HID interface: one value cap per configured channel and direction.
TEST(SimPlatform, EnumerationOpensTheDeviceWithItsConfiguredChannels) {
    SimConfig config;
    config.version = 0x0207;
    config.reportIds = {0x40, 0x03};
    config.outputReportLengths = {65535, 9};
    config.inputReportLengths = {300, 255};
    SimPlatform platform(testing::MakeDevice(config));
    hid::HidMatchState match;
    match.targetVendorId = BRIMLO_DEFAULT_VID;
    match.targetProductId = BRIMLO_DEFAULT_PID;
    std::vector<hid::HidDeviceRecord> list;
    std::uint32_t matchedIndex = hid::kNoMatchedIndex;
    ASSERT_TRUE(hid::EnumerateHidInterfaces(platform, match, list, matchedIndex));
    ASSERT_EQ(matchedIndex, 0u);
    const hid::HidDeviceRecord& record = list[0];
    ASSERT_TRUE(record.IsOpen());
    EXPECT_EQ(record.attributes.VersionNumber, 0x0207);
    EXPECT_EQ(record.caps.UsagePage, kVendorUsagePage);
    ASSERT_EQ(record.inputValueCaps.size(), 2u);
    ASSERT_EQ(record.outputValueCaps.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(record.inputValueCaps[i].ReportID, config.reportIds[i]);
        EXPECT_EQ(record.outputValueCaps[i].ReportID, config.reportIds[i]);
        EXPECT_EQ(record.inputValueCaps[i].ReportCount + 1, config.inputReportLengths[i]);
        EXPECT_EQ(record.outputValueCaps[i].ReportCount + 1, config.outputReportLengths[i]);
    }

    std::string error;
    EXPECT_EQ(platform.Open("sim:elsewhere", {}, error), nullptr);
    EXPECT_NE(error.find("sim:elsewhere"), std::string::npos);
}

}  // namespace
}  // namespace brimlo::sim
