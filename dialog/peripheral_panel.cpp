#include "dialog/peripheral_panel.h"

#include <array>

#include "commands/firmware_version.h"
#include "commands/panel_format.h"

namespace brimlo::app {

// IIC wins over GPIO, and register access is what is left: the "Register" button itself is
// never looked at.
PeripheralPanel::Mode PeripheralPanel::ModeOf(const PanelTexts& texts) {
    if (texts.iicChecked) {
        return Mode::Iic;
    }
    return texts.gpioChecked ? Mode::Gpio : Mode::Register;
}

bool PeripheralPanel::RefuseWithoutDevice() {
    if (device_.IsOpen()) {
        return false;
    }
    boxes_.Show(kNoDeviceMessage, kErrorCaption, MessageIcon::Error);
    return true;
}

// A list without a selection leaves the stored number as it was.
void PeripheralPanel::TakeGpioNumber(const PanelTexts& texts) {
    if (texts.gpioNumberIndex >= 0) {
        gpioNumber_ = static_cast<std::uint8_t>(texts.gpioNumberIndex);
    }
}

PanelAnswers PeripheralPanel::Read(const PanelTexts& texts) {
    PanelAnswers answers;
    if (RefuseWithoutDevice()) {
        return answers;
    }
    switch (ModeOf(texts)) {
        case Mode::Iic: {
            const auto address = static_cast<std::uint8_t>(ParseHexField(texts.iicAddress));
            std::array<std::uint8_t, 2> data = {
                static_cast<std::uint8_t>(ParseHexField(texts.iicData)), 0};
            if (device_.IicAccess(kIicRead, address, 1, data, 1)) {
                answers.iicReturnCode = FormatByte(data[0]);
                answers.iicData = FormatByte(data[1]);
            }
            break;
        }
        case Mode::Gpio: {
            TakeGpioNumber(texts);
            std::uint8_t value = 0;
            if (device_.GpioAccess(kGpioRead, gpioNumber_, value)) {
                answers.gpioValue = FormatByte(value);
            }
            break;
        }
        case Mode::Register: {
            std::uint32_t value = 0;
            if (device_.RegisterAccess(kRegisterRead, ParseHexField(texts.registerAddress),
                                       value)) {
                answers.registerValue = FormatRegister(value);
            }
            break;
        }
    }
    return answers;
}

PanelAnswers PeripheralPanel::Write(const PanelTexts& texts) {
    PanelAnswers answers;
    if (RefuseWithoutDevice()) {
        return answers;
    }
    switch (ModeOf(texts)) {
        case Mode::Iic: {
            const auto address = static_cast<std::uint8_t>(ParseHexField(texts.iicAddress));
            const auto value = static_cast<std::uint16_t>(ParseHexField(texts.iicData));
            std::array<std::uint8_t, 2> data = {static_cast<std::uint8_t>(value >> 8),
                                                static_cast<std::uint8_t>(value)};
            if (device_.IicAccess(kIicWrite, address, 2, data, 0)) {
                answers.iicReturnCode = FormatByte(data[0]);
            }
            break;
        }
        case Mode::Gpio: {
            TakeGpioNumber(texts);
            auto value = static_cast<std::uint8_t>(ParseHexField(texts.gpioValue));
            device_.GpioAccess(kGpioWrite, gpioNumber_, value);
            break;
        }
        case Mode::Register: {
            std::uint32_t value = ParseHexField(texts.registerValue);
            device_.RegisterAccess(kRegisterWrite, ParseHexField(texts.registerAddress), value);
            break;
        }
    }
    return answers;
}

void PeripheralPanel::SetGpio(const PanelTexts& texts) {
    if (RefuseWithoutDevice()) {
        return;
    }
    if (!texts.gpioChecked) {
        boxes_.Show(kSelectGpioModeMessage, kErrorCaption, MessageIcon::Error);
        return;
    }
    TakeGpioNumber(texts);
    if (texts.gpioDirectionIndex >= 0) {
        gpioDirection_ = static_cast<std::uint8_t>(texts.gpioDirectionIndex);
    }
    std::uint8_t direction = gpioDirection_;
    device_.GpioAccess(kGpioSetDirection, gpioNumber_, direction);
}

PanelAnswers PeripheralPanel::GetFirmwareVersion() {
    PanelAnswers answers;
    FirmwareVersion version{};
    if (ReadFirmwareVersion(device_, version)) {
        answers.firmwareVersion = FormatFirmwareVersion(version);
    }
    return answers;
}

// A failed read leaves the field as it was: the bytes at hand would be a stale answer.
PanelAnswers PeripheralPanel::GetHdmiInfo() {
    PanelAnswers answers;
    HdmiInfo info{};
    if (device_.ReadHdmiInfo(info)) {
        answers.hdmiInfo = FormatHexBytes(info);
    }
    return answers;
}

}  // namespace brimlo::app
