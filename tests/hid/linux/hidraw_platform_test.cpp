// Listing and opening hidraw nodes against a fake kernel: the walking order, what an open
// reads, and the errors a failed open gives.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "hid/linux/hidraw_platform.h"
#include "tests/hid/linux/fake_hidraw_system.h"
#include "tests/hid/linux/test_support.h"

namespace brimlo::hid::testing {
namespace {

constexpr const char* kRule = "res/70-test.rules";

std::vector<std::string> WalkAll(HidInterfaceSet& set) {
    std::vector<std::string> paths;
    std::string path;
    for (std::uint32_t index = 0; set.InterfacePath(index, path) == HidInterfaceSet::Status::Ok;
         ++index) {
        paths.push_back(path);
    }
    return paths;
}

TEST(HidrawEnumerationTest, NodesAreWalkedInDeviceNumberOrder) {
    auto system = std::make_shared<FakeHidrawSystem>();
    system->listing = std::vector<HidrawNode>{{"/dev/hidraw10", 240, 10},
                                              {"/dev/hidraw2", 240, 2},
                                              {"/dev/hidraw0", 240, 0},
                                              {"/dev/hidraw1", 240, 1}};
    HidrawPlatform platform(system, kRule);
    std::string error;

    const auto set = platform.PresentInterfaces(error);

    ASSERT_NE(set, nullptr) << error;
    EXPECT_EQ(WalkAll(*set), (std::vector<std::string>{"/dev/hidraw0", "/dev/hidraw1",
                                                       "/dev/hidraw2", "/dev/hidraw10"}));
    std::string path;
    EXPECT_EQ(set->InterfacePath(4, path), HidInterfaceSet::Status::NoMoreItems);
}

TEST(HidrawEnumerationTest, AnEmptyClassListsNothingAndAFailedListingSaysWhy) {
    auto system = std::make_shared<FakeHidrawSystem>();
    HidrawPlatform platform(system, kRule);
    std::string error;
    const auto empty = platform.PresentInterfaces(error);
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(WalkAll(*empty).empty());

    system->listing.reset();
    system->listingError = "udev_enumerate_scan_devices(hidraw) failed: Out of memory";
    EXPECT_EQ(platform.PresentInterfaces(error), nullptr);
    EXPECT_EQ(error, system->listingError);
}

TEST(HidrawOpenTest, ReadsIdentifiersReleaseAndDescriptorAndClosesWithTheConnection) {
    auto system = std::make_shared<FakeHidrawSystem>();
    auto& node = system->nodes["/dev/hidraw1"];
    node.vendor = static_cast<std::int16_t>(0xF00D);  // above 0x7FFF: negative in the kernel
    node.product = 0x0001;
    node.descriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0};
    node.usb = UsbInterfaceInfo{0xF00D, 0x0001, 0x0102, 0};
    system->nodes["/dev/hidraw2"].vendor = 0x1234;  // not on USB: no release number
    HidrawPlatform platform(system, kRule);
    std::string error;

    auto connection = platform.Open("/dev/hidraw1", HidOpenOptions{}, error);
    ASSERT_NE(connection, nullptr) << error;
    HiddAttributes attributes;
    ASSERT_TRUE(connection->GetAttributes(attributes));
    EXPECT_EQ(attributes.VendorID, 0xF00D);
    EXPECT_EQ(attributes.ProductID, 0x0001);
    EXPECT_EQ(attributes.VersionNumber, 0x0102);
    std::vector<std::uint8_t> descriptor;
    ASSERT_TRUE(connection->GetReportDescriptor(descriptor));
    EXPECT_EQ(descriptor, node.descriptor);

    auto other = platform.Open("/dev/hidraw2", HidOpenOptions{}, error);
    ASSERT_NE(other, nullptr) << error;
    ASSERT_TRUE(other->GetAttributes(attributes));
    EXPECT_EQ(attributes.VendorID, 0x1234);
    EXPECT_EQ(attributes.VersionNumber, 0);

    EXPECT_EQ(system->openFds.size(), 2u);
    connection.reset();
    other.reset();
    EXPECT_TRUE(system->openFds.empty());
}

TEST(HidrawOpenTest, PermissionDeniedNamesTheUdevRuleAndHowToInstallIt) {
    for (const int denied : {EACCES, EPERM}) {
        auto system = std::make_shared<FakeHidrawSystem>();
        auto& node = system->nodes["/dev/hidraw4"];
        node.openErrno = denied;
        node.usb = UsbInterfaceInfo{0x1209, 0x0001, 0x0100, 1};
        HidrawPlatform platform(system, kRule);
        CapturedDebugOutput debug;
        std::string error;

        EXPECT_EQ(platform.Open("/dev/hidraw4", HidOpenOptions{}, error), nullptr);

        for (const char* part : {"open(/dev/hidraw4)", "1209:0001", kRule, "/etc/udev/rules.d/",
                                 "udevadm control --reload-rules", "udevadm trigger", "replug"}) {
            EXPECT_NE(error.find(part), std::string::npos) << part << " missing in: " << error;
        }
        EXPECT_NE(error.find(std::strerror(denied)), std::string::npos) << error;
        EXPECT_EQ(debug.LinesContaining(error), 1u);
    }
}

TEST(HidrawOpenTest, OtherFailuresNameTheCallAndLeaveNothingOpen) {
    auto system = std::make_shared<FakeHidrawSystem>();
    system->nodes["/dev/hidraw5"].rawInfoErrno = EIO;
    system->nodes["/dev/hidraw6"].descriptorErrno = ENODEV;
    HidrawPlatform platform(system, kRule);
    std::string error;

    EXPECT_EQ(platform.Open("/dev/hidraw9", HidOpenOptions{}, error), nullptr);
    EXPECT_NE(error.find("open(/dev/hidraw9) failed: No such file"), std::string::npos) << error;
    EXPECT_EQ(error.find("udev"), std::string::npos) << error;

    EXPECT_EQ(platform.Open("/dev/hidraw5", HidOpenOptions{}, error), nullptr);
    EXPECT_NE(error.find("ioctl(HIDIOCGRAWINFO) on /dev/hidraw5 failed"), std::string::npos)
        << error;
    EXPECT_EQ(platform.Open("/dev/hidraw6", HidOpenOptions{}, error), nullptr);
    EXPECT_NE(error.find("ioctl(HIDIOCGRDESCSIZE) on /dev/hidraw6 failed: No such device"),
              std::string::npos)
        << error;
    EXPECT_TRUE(system->openFds.empty());
}

}  // namespace
}  // namespace brimlo::hid::testing
