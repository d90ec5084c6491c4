#pragma once
// The peripheral panel's five buttons without widgets: field texts in, the texts to show and
// the boxes out. The dialog gathers the texts when a button is pressed and writes back what
// comes out; a field without an answer keeps its text.

#include <cstdint>
#include <optional>
#include <string>

#include "commands/message_boxes.h"
#include "commands/uvc_hid_device.h"

namespace brimlo::app {

// What the handlers read from the panel when a button is pressed.
struct PanelTexts {
    bool iicChecked = false;
    bool gpioChecked = false;
    std::string registerAddress;
    std::string registerValue;
    std::string iicAddress;
    std::string iicData;
    std::string gpioValue;
    int gpioNumberIndex = -1;     // selected index of "Number"; -1 when nothing is selected
    int gpioDirectionIndex = -1;  // the same for "Direction"
};

// The texts to show; an empty member leaves its field as it is.
struct PanelAnswers {
    std::optional<std::string> registerValue;
    std::optional<std::string> iicData;
    std::optional<std::string> iicReturnCode;
    std::optional<std::string> gpioValue;
    std::optional<std::string> firmwareVersion;
    std::optional<std::string> hdmiInfo;
};

inline constexpr const char kNoDeviceMessage[] = "HID Device no found !";
inline constexpr const char kSelectGpioModeMessage[] = "Please select GPIO mode !";
inline constexpr const char kErrorCaption[] = "Error";

class PeripheralPanel {
  public:
    PeripheralPanel(UvcHidDevice& device, MessageBoxes& boxes) : device_(device), boxes_(boxes) {}

    PanelAnswers Read(const PanelTexts& texts);
    PanelAnswers Write(const PanelTexts& texts);
    void SetGpio(const PanelTexts& texts);
    PanelAnswers GetFirmwareVersion();
    PanelAnswers GetHdmiInfo();

    // The GPIO selections kept between presses; Open Device selects them in the lists.
    std::uint8_t StoredGpioNumber() const { return gpioNumber_; }
    std::uint8_t StoredGpioDirection() const { return gpioDirection_; }

  private:
    enum class Mode { Register, Iic, Gpio };
    static Mode ModeOf(const PanelTexts& texts);
    bool RefuseWithoutDevice();
    void TakeGpioNumber(const PanelTexts& texts);

    UvcHidDevice& device_;
    MessageBoxes& boxes_;
    std::uint8_t gpioNumber_ = 0;
    std::uint8_t gpioDirection_ = 0;
};

}  // namespace brimlo::app
