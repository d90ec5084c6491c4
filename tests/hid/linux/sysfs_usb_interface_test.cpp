// Reading a USB interface's endpoints and its device's attributes from a sysfs-shaped tree.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "hid/linux/sysfs_usb_interface.h"

namespace brimlo::hid {
namespace {

namespace fs = std::filesystem;

class SysfsUsbInterfaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("hidraw-sysfs-" + std::to_string(::getpid()));
        device_ = root_ / "1-1";
        interface_ = device_ / "1-1:1.2";
        fs::remove_all(root_);
        fs::create_directories(interface_);
    }
    void TearDown() override { fs::remove_all(root_); }

    static void WriteAttribute(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << '\n';
    }
    void AddEndpoint(const std::string& name, const std::string& direction,
                     const std::string& type) {
        WriteAttribute(interface_ / name / "direction", direction);
        WriteAttribute(interface_ / name / "type", type);
    }

    fs::path root_;
    fs::path device_;
    fs::path interface_;
};

TEST_F(SysfsUsbInterfaceTest, CountsOnlyInterruptOutEndpointsAndReadsTheDeviceAttributes) {
    AddEndpoint("ep_81", "in", "Interrupt");
    AddEndpoint("ep_02", "out", "Interrupt");
    AddEndpoint("ep_03", "out", "Bulk");
    AddEndpoint("ep_04", "out", "Interrupt");
    WriteAttribute(interface_ / "ep_05", "out");  // a file, not an endpoint directory
    AddEndpoint("power", "out", "Interrupt");     // not an endpoint at all
    WriteAttribute(device_ / "idVendor", "1209");
    WriteAttribute(device_ / "idProduct", "f00d");
    WriteAttribute(device_ / "bcdDevice", "0102");

    const auto info = ReadUsbInterfaceInfo(interface_, device_);

    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->interruptOutEndpoints, 2u);
    EXPECT_EQ(info->idVendor, 0x1209);
    EXPECT_EQ(info->idProduct, 0xF00D);
    EXPECT_EQ(info->bcdDevice, 0x0102);
}

TEST_F(SysfsUsbInterfaceTest, InputOnlyInterfaceAndMalformedAttributesReadAsZero) {
    AddEndpoint("ep_81", "in", "Interrupt");
    WriteAttribute(device_ / "bcdDevice", "01x2");

    const auto info = ReadUsbInterfaceInfo(interface_, device_);

    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->interruptOutEndpoints, 0u);
    EXPECT_EQ(info->bcdDevice, 0);
    EXPECT_EQ(info->idVendor, 0);
    EXPECT_FALSE(ReadUsbInterfaceInfo(root_ / "gone", device_).has_value());
}

}  // namespace
}  // namespace brimlo::hid
