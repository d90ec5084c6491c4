// The device as a HID stack sees it: its report descriptor parsed by the project's parser, and
// the platform that lists and opens it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "hid/hid_enumeration.h"
#include "hid/report_descriptor_parser.h"
#include "sim/report_descriptor.h"
#include "sim/sim_platform.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using hid::HidReportType;

void ExpectParsedLayout(const SimConfig& config) {
    hid::HidPreparsedData data;
    hid::ReportDescriptorError error;
    ASSERT_TRUE(ParseReportDescriptor(BuildReportDescriptor(config), data, error))
        << error.message << " at " << error.offset;

    const std::size_t channels = config.reportIds.size();
    const auto& inputs = data.valueCaps[hid::ReportTypeIndex(HidReportType::Input)];
    const auto& outputs = data.valueCaps[hid::ReportTypeIndex(HidReportType::Output)];
    ASSERT_EQ(inputs.size(), channels);
    ASSERT_EQ(outputs.size(), channels);
    for (std::size_t i = 0; i < channels; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(inputs[i].ReportID, config.reportIds[i]);
        EXPECT_EQ(outputs[i].ReportID, config.reportIds[i]);
        EXPECT_EQ(inputs[i].ReportCount + 1, config.inputReportLengths[i]);
        EXPECT_EQ(outputs[i].ReportCount + 1, config.outputReportLengths[i]);
        EXPECT_EQ(inputs[i].BitSize, 8);
        EXPECT_EQ(outputs[i].UsagePage, kVendorUsagePage);
    }
    EXPECT_EQ(data.caps.UsagePage, kVendorUsagePage);
    EXPECT_EQ(data.caps.NumberOutputValueCaps, channels);
    EXPECT_EQ(data.caps.InputReportByteLength, *std::max_element(config.inputReportLengths.begin(),
                                                                 config.inputReportLengths.end()));
}

TEST(SimDescriptor, ParsesIntoTheConfiguredChannels) {
    ExpectParsedLayout(SimConfig{});

    SimConfig odd;
    odd.reportIds = {0x40, 0x03};
    odd.outputReportLengths = {68, 9};
    odd.inputReportLengths = {300, 255};
    ExpectParsedLayout(odd);

    SimConfig large;
    large.outputReportLengths = {65535, 2, 11};
    ExpectParsedLayout(large);
}

TEST(SimPlatform, ListsAndOpensTheOneDevice) {
    SimConfig config;
    config.vid = 0x1234;
    config.pid = 0x5678;
    config.version = 0x0207;
    auto device = testing::MakeDevice(config);
    SimPlatform platform(device);

    std::string error;
    auto interfaces = platform.PresentInterfaces(error);
    ASSERT_NE(interfaces, nullptr) << error;
    std::string path;
    ASSERT_EQ(interfaces->InterfacePath(0, path), hid::HidInterfaceSet::Status::Ok);
    EXPECT_EQ(path, "sim:memory");
    EXPECT_EQ(interfaces->InterfacePath(1, path), hid::HidInterfaceSet::Status::NoMoreItems);

    auto connection = platform.Open(path, {}, error);
    ASSERT_NE(connection, nullptr) << error;
    hid::HiddAttributes attributes;
    ASSERT_TRUE(connection->GetAttributes(attributes));
    EXPECT_EQ(attributes.VendorID, 0x1234);
    EXPECT_EQ(attributes.ProductID, 0x5678);
    EXPECT_EQ(attributes.VersionNumber, 0x0207);
    std::vector<std::uint8_t> descriptor;
    ASSERT_TRUE(connection->GetReportDescriptor(descriptor));
    EXPECT_EQ(descriptor, BuildReportDescriptor(config));

    EXPECT_EQ(platform.Open("sim:elsewhere", {}, error), nullptr);
    EXPECT_NE(error.find("sim:elsewhere"), std::string::npos);
}

// The enumeration finds the device by its identifiers and loads its capabilities from the
// descriptor, like any HID interface.
TEST(SimPlatform, EnumerationOpensItByItsIdentifiers) {
    SimPlatform platform(testing::MakeDevice());
    hid::HidMatchState match;
    match.targetVendorId = BRIMLO_DEFAULT_VID;
    match.targetProductId = BRIMLO_DEFAULT_PID;
    std::vector<hid::HidDeviceRecord> list;
    std::uint32_t matchedIndex = hid::kNoMatchedIndex;
    ASSERT_TRUE(hid::EnumerateHidInterfaces(platform, match, list, matchedIndex));
    ASSERT_EQ(matchedIndex, 0u);
    const hid::HidDeviceRecord& record = list[0];
    ASSERT_TRUE(record.IsOpen());
    ASSERT_EQ(record.outputValueCaps.size(), 3u);
    EXPECT_EQ(record.outputValueCaps[0].ReportCount + 1, 4100);
    EXPECT_EQ(record.inputValueCaps[1].ReportCount + 1, 64);
}

TEST(SimPlatform, BrokenStateDirectoryIsReportedThroughThePlatform) {
    testing::TempDir dir;
    std::ofstream(dir.Path() / "device.json") << R"({"chip_row": "many"})";
    SimPlatform platform(dir.Path());
    std::string error;
    EXPECT_EQ(platform.PresentInterfaces(error), nullptr);
    EXPECT_NE(error.find("chip_row"), std::string::npos) << error;
}

TEST(SimPlatform, DefaultStateDirectoryIsUnderTheUserCache) {
    const char* savedXdg = std::getenv("XDG_CACHE_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string xdg = savedXdg ? savedXdg : "";
    const std::string home = savedHome ? savedHome : "";
    ::setenv("XDG_CACHE_HOME", "/var/cache-test", 1);
    EXPECT_EQ(DefaultSimStateDir(), std::filesystem::path("/var/cache-test/brimlo-hid/sim"));
    ::setenv("XDG_CACHE_HOME", "relative", 1);  // not absolute: ignored, as XDG says
    ::setenv("HOME", "/home/tester", 1);
    EXPECT_EQ(DefaultSimStateDir(), std::filesystem::path("/home/tester/.cache/brimlo-hid/sim"));
    const auto restore = [](const char* name, const char* saved, const std::string& value) {
        if (saved) {
            ::setenv(name, value.c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    };
    restore("XDG_CACHE_HOME", savedXdg, xdg);
    restore("HOME", savedHome, home);
}

}  // namespace
}  // namespace brimlo::sim
