// The peripheral panel's handlers and Open Device against the emulated device, without widgets:
// field texts in, the texts to show and the boxes out.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dialog/open_device.h"
#include "dialog/peripheral_panel.h"
#include "sim/sim_device.h"
#include "sim/sim_platform.h"

namespace brimlo::app {
namespace {

class RecordedBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        EXPECT_EQ(caption, "Error");
        EXPECT_EQ(icon, MessageIcon::Error);
        texts.emplace_back(text);
    }
    std::vector<std::string> texts;
};

std::shared_ptr<sim::SimDevice> MakeDevice(const sim::SimConfig& config = {}) {
    std::string error;
    auto device = sim::SimDevice::Create(config, error);
    EXPECT_TRUE(device) << error;
    return device;
}

class PanelTest : public ::testing::Test {
  protected:
    explicit PanelTest(const sim::SimConfig& config = {})
        : sim(MakeDevice(config)), platform(sim) {}

    void Open() {
        const OpenDeviceResult result = OpenDevice(device, "1209", "0001", boxes);
        ASSERT_EQ(result.next, OpenDeviceResult::Next::FillPanels);
    }

    std::uint64_t Exchanges() const { return sim->ExchangeCount(); }

    std::shared_ptr<sim::SimDevice> sim;
    sim::SimPlatform platform;
    UvcHidDevice device{platform};
    RecordedBoxes boxes;
    PeripheralPanel panel{device, boxes};
};

TEST_F(PanelTest, WithoutADeviceReadWriteAndSetGpioRefuseAndSendNothing) {
    PanelTexts gpio;
    gpio.gpioChecked = true;
    gpio.gpioNumberIndex = 2;
    EXPECT_FALSE(panel.Read({}).registerValue);
    EXPECT_FALSE(panel.Write({}).iicReturnCode);
    panel.SetGpio(gpio);
    EXPECT_EQ(boxes.texts, std::vector<std::string>(3, "HID Device no found !"));
    EXPECT_EQ(Exchanges(), 0u);
    EXPECT_EQ(panel.StoredGpioNumber(), 0);
}

TEST_F(PanelTest, OpenDeviceDescribesTheDeviceFromTheTypedIdentifiers) {
    const OpenDeviceResult result = OpenDevice(device, " 0x1209", "1", boxes);
    EXPECT_EQ(result.next, OpenDeviceResult::Next::FillPanels);
    EXPECT_EQ(result.description,
              "Device #0: VID: 0x1209  PID: 0x0001  UsagePage: 0xFF00  Usage: 0x1");
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(PanelTest, OpenDeviceWithUnknownIdentifiersSaysSoAndClosesTheDialog) {
    const OpenDeviceResult result = OpenDevice(device, "", "", boxes);
    EXPECT_EQ(result.next, OpenDeviceResult::Next::CloseDialog);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"HID Device no found !"});
    EXPECT_FALSE(device.IsOpen());
}

TEST_F(PanelTest, RegisterWriteThenReadShowsTheValueInLowerCase) {
    Open();
    PanelTexts texts;
    texts.registerAddress = "0x03FF0000";
    texts.registerValue = "0xF6000000";  // what two presses of Convert leave in the field
    EXPECT_FALSE(panel.Write(texts).registerValue);
    texts.registerValue = "junk";  // a read never looks at the value field
    EXPECT_EQ(panel.Read(texts).registerValue, "f6000000");
}

TEST_F(PanelTest, IicWriteSendsTheDataHighByteFirstAndReadReplacesTheSubAddress) {
    Open();
    PanelTexts texts;
    texts.iicChecked = true;
    texts.gpioChecked = true;  // IIC wins
    texts.iicAddress = "90";
    texts.iicData = "0F5A";  // sub-address 0F, data byte 5A
    EXPECT_EQ(panel.Write(texts).iicReturnCode, "00");

    texts.iicData = "1F0F";  // only the low byte is the sub-address
    const PanelAnswers read = panel.Read(texts);
    EXPECT_EQ(read.iicReturnCode, "00");
    EXPECT_EQ(read.iicData, "5a");

    texts.iicAddress = "92";  // no device there
    EXPECT_EQ(panel.Read(texts).iicReturnCode, "01");
}

TEST_F(PanelTest, GpioModeUsesTheNumberListAndKeepsTheLastSelection) {
    Open();
    PanelTexts texts;
    texts.gpioChecked = true;
    texts.gpioNumberIndex = 3;
    texts.gpioDirectionIndex = 1;
    panel.SetGpio(texts);
    EXPECT_EQ(panel.StoredGpioNumber(), 3);
    EXPECT_EQ(panel.StoredGpioDirection(), 1);

    texts.gpioValue = "0";
    panel.Write(texts);
    // No selection in the list: the stored number 3 is used.
    texts.gpioNumberIndex = -1;
    EXPECT_EQ(panel.Read(texts).gpioValue, "00");
    texts.gpioNumberIndex = 0;  // an input, pulled up
    EXPECT_EQ(panel.Read(texts).gpioValue, "01");
    EXPECT_EQ(panel.StoredGpioNumber(), 0);
}

TEST_F(PanelTest, SetGpioOutsideGpioModeAsksForItAndKeepsTheStoredSelection) {
    Open();
    const std::uint64_t before = Exchanges();
    PanelTexts texts;
    texts.iicChecked = true;
    texts.gpioNumberIndex = 2;
    texts.gpioDirectionIndex = 1;
    panel.SetGpio(texts);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Please select GPIO mode !"});
    EXPECT_EQ(Exchanges(), before);
    EXPECT_EQ(panel.StoredGpioNumber(), 0);
    EXPECT_EQ(panel.StoredGpioDirection(), 0);
}

TEST_F(PanelTest, FirmwareVersionAndHdmiInfoAreShownRaw) {
    Open();
    EXPECT_EQ(panel.GetFirmwareVersion().firmwareVersion, "01.00.04.10");
    EXPECT_EQ(panel.GetHdmiInfo().hdmiInfo,
              "07 80 04 38 3c 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
}

// A failed exchange leaves every field as it was, the HDMI field included.
TEST_F(PanelTest, FailedReadsLeaveTheFieldsAlone) {
    Open();
    // The third register read of the version: exchanges 1-2, 3-4, then 5 fails and the fourth
    // register is not asked for.
    sim->SetFaults({.failExchange = 5});
    EXPECT_FALSE(panel.GetFirmwareVersion().firmwareVersion);
    EXPECT_EQ(Exchanges(), 5u);
    sim->SetFaults({.failExchange = 1});
    EXPECT_FALSE(panel.GetHdmiInfo().hdmiInfo);
    sim->SetFaults({.failExchange = 2});
    PanelTexts texts;
    texts.registerAddress = "54";
    EXPECT_FALSE(panel.Read(texts).registerValue);
    EXPECT_TRUE(boxes.texts.empty());
}

class TwoChannelPanelTest : public PanelTest {
  protected:
    static sim::SimConfig TwoChannels() {
        sim::SimConfig config;
        config.reportIds = {1, 2};
        config.outputReportLengths = {4100, 64};
        config.inputReportLengths = {4100, 64};
        return config;
    }
    TwoChannelPanelTest() : PanelTest(TwoChannels()) {}
};

// A device that cannot carry the commands is not taken for open: the user learns why.
TEST_F(TwoChannelPanelTest, OpenDeviceTellsWhyTheMatchCannotBeUsed) {
    const OpenDeviceResult result = OpenDevice(device, "1209", "0001", boxes);
    EXPECT_EQ(result.next, OpenDeviceResult::Next::CloseDialog);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find("three"), std::string::npos) << boxes.texts[0];
    EXPECT_FALSE(device.IsOpen());
}

}  // namespace
}  // namespace brimlo::app
