// The real hidraw stack on this machine, which need not have any HID device: listing must
// work (and find nothing when the class is empty or absent), and opens must fail cleanly.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "hid/linux/hidraw_platform.h"

namespace brimlo::hid {
namespace {

namespace fs = std::filesystem;

std::size_t HidrawClassEntries() {
    std::error_code error;
    std::size_t count = 0;
    for (fs::directory_iterator it("/sys/class/hidraw", error), end; !error && it != end;
         it.increment(error)) {
        ++count;
    }
    return count;
}

TEST(HidrawLiveTest, ListsEveryNodeOfTheHidrawClassWithoutError) {
    HidrawPlatform platform;
    std::string error;

    const auto set = platform.PresentInterfaces(error);

    ASSERT_NE(set, nullptr) << error;
    std::size_t count = 0;
    std::string path;
    while (count < 1024 && set->InterfacePath(static_cast<std::uint32_t>(count), path) ==
                               HidInterfaceSet::Status::Ok) {
        EXPECT_EQ(path.rfind("/dev/", 0), 0u) << path;
        ++count;
    }
    EXPECT_EQ(count, HidrawClassEntries());
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

    EXPECT_NE(text.str().find(std::string("SUBSYSTEM==\"hidraw\", ") + ids), std::string::npos)
        << text.str();
    for (const char* part : {"MODE=\"0660\"", "GROUP=\"plugdev\"", "TAG+=\"uaccess\""}) {
        EXPECT_NE(text.str().find(part), std::string::npos) << part;
    }
    EXPECT_EQ(text.str().find('@'), std::string::npos) << "unreplaced placeholder";
}

}  // namespace
}  // namespace brimlo::hid
