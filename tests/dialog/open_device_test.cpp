// Open Device's answers to a HID stack that refuses: what the user is told and whether the
// dialog stays.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog/open_device.h"
#include "fake_hid_platform.h"

namespace brimlo::app {
namespace {

using hid::testing::FakeHidPlatform;
using hid::testing::VendorDescriptor;

class Boxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view, MessageIcon) override {
        texts.emplace_back(text);
    }
    std::vector<std::string> texts;
};

// A node this user may not open can be the device itself: the box names it and says what to do.
TEST(OpenDevice, InterfacesThatCouldNotBeOpenedAreNamedInTheNoDeviceBox) {
    FakeHidPlatform platform;
    platform.interfaces = {{"/dev/hidraw4", 0x1209, 0x0001,
                            VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 64, 64}), false,
                            true}};
    UvcHidDevice device(platform);
    Boxes boxes;
    const OpenDeviceResult result = OpenDevice(device, "1209", "0001", boxes);
    EXPECT_EQ(result.next, OpenDeviceResult::Next::CloseDialog);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0].rfind("HID Device no found !\n\n", 0), 0u) << boxes.texts[0];
    EXPECT_NE(boxes.texts[0].find("/dev/hidraw4"), std::string::npos) << boxes.texts[0];
}

// When the stack cannot even list its interfaces nothing was tried: the user may try again.
TEST(OpenDevice, AStackThatCannotListKeepsTheDialogAndSaysSo) {
    FakeHidPlatform platform;
    platform.refuseListing = true;
    UvcHidDevice device(platform);
    Boxes boxes;
    const OpenDeviceResult result = OpenDevice(device, "1209", "0001", boxes);
    EXPECT_EQ(result.next, OpenDeviceResult::Next::KeepDialog);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find("could not be listed"), std::string::npos) << boxes.texts[0];
    EXPECT_FALSE(device.IsOpen());
}

// Identifiers are read as the fields show them: hexadecimal, the low 16 bits, case-blind.
TEST(OpenDevice, TypedIdentifiersAreHexadecimalLow16Bits) {
    FakeHidPlatform platform;
    platform.interfaces = {
        {"dev", 0xABCD, 0x00EF, VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 64, 64})}};
    UvcHidDevice device(platform);
    Boxes boxes;
    EXPECT_EQ(OpenDevice(device, "1abcd", "0xef", boxes).next, OpenDeviceResult::Next::FillPanels);
    EXPECT_TRUE(boxes.texts.empty());
}

}  // namespace
}  // namespace brimlo::app
