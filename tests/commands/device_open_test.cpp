#include <gtest/gtest.h>

#include "capture_debug.h"
#include "commands/uvc_hid_device.h"
#include "fake_hid_platform.h"

namespace brimlo {
namespace {

using hid::testing::FakeHidPlatform;
using hid::testing::VendorDescriptor;

TEST(DeviceOpen, DescribesTheFirstMatchByItsPositionAndWritesTheDebugLine) {
    FakeHidPlatform platform;
    for (std::uint16_t i = 0; i < 3; ++i) {
        platform.interfaces.push_back(
            {"other" + std::to_string(i), 0x0BDA, i, VendorDescriptor({1}, {8}, {8})});
    }
    platform.interfaces.push_back(
        {"dev", 0x1209, 0x00AB, VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 64, 64})});
    platform.interfaces.push_back(platform.interfaces.back());
    platform.interfaces.back().path = "twin";

    testing::CaptureDebug debug;
    UvcHidDevice device(platform);
    const OpenResult result = device.Open(0x1209, 0x00AB);
    ASSERT_EQ(result.status, OpenStatus::Opened) << result.message;
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.Description(),
              "Device #3: VID: 0x1209  PID: 0x00AB  UsagePage: 0xFF00  Usage: 0x1");
    ASSERT_FALSE(debug.lines.empty());
    EXPECT_EQ(debug.lines[0], "Open Device Info--VID/PID (0x1209~0x00ab) \n");
    EXPECT_EQ(device.OutputReportLength(kFlashChannel), 4100u);
    EXPECT_EQ(device.InputReportLength(kIicChannel), 64u);
    ASSERT_FALSE(platform.opened.empty());
    EXPECT_EQ(platform.opened.back(), "dev");  // the twin is never opened
}

// Only an interface another program holds makes it read as busy rather than missing.
TEST(DeviceOpen, NothingMatchingIsNotFoundAndSaysWhatWasSkipped) {
    FakeHidPlatform platform;
    platform.interfaces = {
        {"locked", 0x1209, 0x0001, VendorDescriptor({1}, {8}, {8}), false, true}};
    UvcHidDevice device(platform);
    OpenResult result = device.Open(0x1209, 0x0001);
    EXPECT_EQ(result.status, OpenStatus::NotFound);
    EXPECT_FALSE(result.heldElsewhere);
    EXPECT_NE(result.message.find("1209:0001 is present"), std::string::npos);
    EXPECT_NE(result.message.find("Permission denied"), std::string::npos);

    platform.interfaces.push_back(platform.interfaces.back());
    platform.interfaces.back().path = "held";
    platform.interfaces.back().heldElsewhere = true;
    result = device.Open(0x1209, 0x0001);
    EXPECT_EQ(result.status, OpenStatus::NotFound);
    EXPECT_TRUE(result.heldElsewhere);
    EXPECT_NE(result.message.find("another program holds one"), std::string::npos)
        << result.message;
    EXPECT_NE(result.message.find("held: Device or resource busy"), std::string::npos);
    EXPECT_FALSE(device.IsOpen());
    std::uint32_t value = 7;
    EXPECT_FALSE(device.RegisterAccess(kRegisterRead, 0x54, value));
    EXPECT_EQ(value, 7u);
}

TEST(DeviceOpen, TwoChannelDeviceIsUnusableAndNeverUsedAsOpen) {
    FakeHidPlatform platform;
    platform.interfaces = {{"dev", 1, 2, VendorDescriptor({1, 2}, {4100, 64}, {4100, 64})}};
    testing::CaptureDebug debug;
    UvcHidDevice device(platform);
    const OpenResult result = device.Open(1, 2);
    EXPECT_EQ(result.status, OpenStatus::Unusable);
    EXPECT_FALSE(device.IsOpen());
    ASSERT_FALSE(debug.lines.empty());
    EXPECT_EQ(debug.lines.back(), "Error initializing flash and RW buffer\n");
    std::uint8_t value = 1;
    EXPECT_FALSE(device.GpioAccess(kGpioWrite, 0, value));
    EXPECT_TRUE(platform.log.sent.empty());
}

TEST(DeviceOpen, ReportsTooSmallOrOddForTheCommandsMakeTheDeviceUnusable) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> descriptor;
    };
    std::vector<std::uint8_t> nibbles = VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 64, 64});
    // Make the command channel's output field 4 bits wide (its Report Size item).
    const std::size_t at = 7 + 2 + 14 + 14 + 2 + 7;
    ASSERT_EQ(nibbles[at], 0x75);
    nibbles[at + 1] = 4;
    const std::vector<Case> cases = {
        {"short command reports", VendorDescriptor({1, 2, 3}, {4100, 6, 64}, {4100, 64, 64})},
        {"long command answers", VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 512, 64})},
        {"nibble fields", nibbles},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeHidPlatform platform;
        platform.interfaces = {{"dev", 1, 2, c.descriptor}};
        UvcHidDevice device(platform);
        const OpenResult result = device.Open(1, 2);
        EXPECT_EQ(result.status, OpenStatus::Unusable);
        EXPECT_NE(result.message.find("command channel"), std::string::npos) << result.message;
        std::uint32_t value = 0;
        EXPECT_FALSE(device.RegisterAccess(kRegisterWrite, 0x54, value));
        EXPECT_TRUE(platform.log.sent.empty());
    }
}

TEST(DeviceOpen, EnumerationFailureKeepsThePreviousDevice) {
    FakeHidPlatform platform;
    platform.interfaces = {
        {"dev", 1, 2, VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 64, 64})}};
    UvcHidDevice device(platform);
    ASSERT_EQ(device.Open(1, 2).status, OpenStatus::Opened);
    platform.refuseListing = true;
    EXPECT_EQ(device.Open(1, 2).status, OpenStatus::EnumerationFailed);
    EXPECT_TRUE(device.IsOpen());
}

}  // namespace
}  // namespace brimlo
