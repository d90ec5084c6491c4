// What meets the real system: the real hidraw stack on this machine, which need not have any
// HID device (listing must work, and find nothing when the class is empty or absent; opens
// must fail cleanly), the built udev rule, and reading a USB interface from a sysfs-shaped tree.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hid/linux/hidraw_platform.h"
#include "hid/linux/sysfs_usb_interface.h"

namespace brimlo::hid {
namespace {

namespace fs = std::filesystem;

TEST(HidrawLiveTest, ListsEveryNodeOfTheHidrawClassWithoutError) {
    std::error_code ec;
    std::size_t entries = 0;
    for (fs::directory_iterator it("/sys/class/hidraw", ec), end; !ec && it != end;
         it.increment(ec)) {
        ++entries;
    }
    HidrawPlatform platform;
    std::string error;
    const auto set = platform.PresentInterfaces(error);
    ASSERT_NE(set, nullptr) << error;
    std::uint32_t count = 0;
    for (std::string path;
         count < 1024 && set->InterfacePath(count, path) == HidInterfaceSet::Status::Ok; ++count) {
        EXPECT_EQ(path.rfind("/dev/", 0), 0u) << path;
    }
    EXPECT_EQ(count, entries);
}

TEST(HidrawLiveTest, OpeningWhatIsNotAHidrawNodeFailsWithTheCallAndTheCause) {
    HidrawPlatform platform;
    std::string error;
    EXPECT_EQ(platform.Open("/dev/null", HidOpenOptions{}, error), nullptr);
    EXPECT_NE(error.find("ioctl(HIDIOCGRAWINFO) on /dev/null failed: Inappropriate ioctl"),
              std::string::npos)
        << error;
    EXPECT_EQ(platform.Open("/dev/hidraw-absent", HidOpenOptions{}, error), nullptr);
    EXPECT_NE(error.find("open(/dev/hidraw-absent) failed: No such file"), std::string::npos)
        << error;
}

TEST(HidrawLiveTest, TheBuiltUdevRuleGrantsAccessToTheDefaultDevice) {
    std::ifstream file{std::string(DefaultUdevRulePath())};
    ASSERT_TRUE(file) << DefaultUdevRulePath();
    std::stringstream text;
    text << file.rdbuf();
    char ids[80];
    std::snprintf(ids, sizeof ids, "ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\"",
                  static_cast<unsigned>(BRIMLO_DEFAULT_VID),
                  static_cast<unsigned>(BRIMLO_DEFAULT_PID));
    // One active line: the seat's user gets the device's nodes. The group alternative for
    // headless stations stays commented out.
    const std::string match = std::string("SUBSYSTEM==\"hidraw\", ") + ids;
    std::vector<std::string> active;
    std::vector<std::string> commented;
    for (std::string line; std::getline(text, line);) {
        if (line.starts_with('#') && line.find(match) != std::string::npos) {
            commented.push_back(line);
        } else if (!line.empty() && !line.starts_with('#')) {
            active.push_back(line);
        }
    }
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0], match + ", TAG+=\"uaccess\"");
    ASSERT_EQ(commented.size(), 1u);
    EXPECT_EQ(commented[0], "#" + match + ", MODE=\"0660\", GROUP=\"plugdev\"");
    EXPECT_EQ(text.str().find('@'), std::string::npos) << "unreplaced placeholder";
}

void WriteAttribute(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << '\n';
}

// Only directories named ep_* with direction "out" and type "Interrupt" count; the device's
// attributes read as 0 when absent or malformed.
TEST(SysfsUsbInterfaceTest, CountsOnlyInterruptOutEndpointsAndReadsTheDeviceAttributes) {
    const fs::path root =
        fs::temp_directory_path() / ("hidraw-sysfs-" + std::to_string(::getpid()));
    const fs::path device = root / "1-1";
    const fs::path interface = device / "1-1:1.2";
    fs::remove_all(root);
    const auto endpoint = [&](const char* name, const char* direction, const char* type) {
        WriteAttribute(interface / name / "direction", direction);
        WriteAttribute(interface / name / "type", type);
    };
    endpoint("ep_81", "in", "Interrupt");
    endpoint("ep_02", "out", "Interrupt");
    endpoint("ep_03", "out", "Bulk");
    endpoint("ep_04", "out", "Interrupt");
    endpoint("power", "out", "Interrupt");       // not an endpoint at all
    WriteAttribute(interface / "ep_05", "out");  // a file, not an endpoint directory
    WriteAttribute(device / "idVendor", "1209");
    WriteAttribute(device / "idProduct", "f00d");
    WriteAttribute(device / "bcdDevice", "0102");

    auto info = ReadUsbInterfaceInfo(interface, device);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->interruptOutEndpoints, 2u);
    EXPECT_EQ(info->idVendor, 0x1209);
    EXPECT_EQ(info->idProduct, 0xF00D);
    EXPECT_EQ(info->bcdDevice, 0x0102);

    WriteAttribute(device / "bcdDevice", "01x2");
    fs::remove(device / "idVendor");
    info = ReadUsbInterfaceInfo(interface, device);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->bcdDevice, 0) << "malformed";
    EXPECT_EQ(info->idVendor, 0) << "absent";
    EXPECT_FALSE(ReadUsbInterfaceInfo(root / "gone", device).has_value());
    fs::remove_all(root);
}

}  // namespace
}  // namespace brimlo::hid
