// The port path and serial number read from a USB device's sysfs directory.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "hid/linux/usb_port.h"

namespace {

namespace fs = std::filesystem;

TEST(UsbPort, PortIsTheDirectoryNameAndSerialLosesItsLineFeed) {
    const fs::path root =
        fs::temp_directory_path() / ("brimlo-usb-port-" + std::to_string(::getpid()));
    const fs::path hub = root / "1-1.4";
    fs::create_directories(hub);
    std::ofstream(hub / "serial") << "A0\x01"
                                     "17\n";
    const brimlo::hid::BoardLocation location = brimlo::hid::ReadUsbLocation(hub);
    EXPECT_EQ(location.port, "1-1.4");
    EXPECT_EQ(location.serial, "A017") << "control bytes would break a table or a log line";

    const fs::path bare = root / "3-2";
    fs::create_directories(bare);
    const brimlo::hid::BoardLocation none = brimlo::hid::ReadUsbLocation(bare);
    EXPECT_EQ(none.port, "3-2");
    EXPECT_TRUE(none.serial.empty()) << "a device without a serial number";
    fs::remove_all(root);
}

}  // namespace
