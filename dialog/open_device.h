#pragma once
// The "Open Device" button without widgets: the typed identifiers in, what the dialog does
// next out, and the starting values the panels take once the device is open.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "commands/message_boxes.h"
#include "commands/uvc_hid_device.h"

namespace brimlo::app {

// The peripheral fields Open Device fills.
enum class PanelField {
    GpioValue,
    IicAddress,
    IicReturnCode,
    IicData,
    RegisterAddress,
    RegisterValue
};

struct PanelStart {
    PanelField field;
    std::uint32_t value;
    std::uint8_t width;  // the entry field's SetValue width: 0 two digits, 1 four, 2 eight
    int textLimit;       // characters the user may type
};

inline constexpr std::array<PanelStart, 6> kPanelStart = {{
    {PanelField::GpioValue, 0x00, 0, 2},
    {PanelField::IicAddress, 0x90, 0, 2},
    {PanelField::IicReturnCode, 0x00, 0, 2},
    {PanelField::IicData, 0x0F00, 1, 4},
    {PanelField::RegisterAddress, 0x03FF0000, 2, 8},
    {PanelField::RegisterValue, 0xF6000000, 2, 8},
}};

// The lists' items in index order: an item's index is its number.
inline constexpr std::array<const char*, 4> kGpioNumbers = {"GPIO_0", "GPIO_1", "GPIO_2", "GPIO_3"};
inline constexpr std::array<const char*, 2> kGpioDirections = {"INPUT", "OUTPUT"};

inline constexpr const char kStatusWait[] = "Status: Wait";

struct OpenDeviceResult {
    enum class Next {
        FillPanels,   // the device is open: apply the starting values, show `description`
        KeepDialog,   // nothing changed; the user may try again
        CloseDialog,  // the user was told why; the dialog closes through its Cancel path
    };
    Next next = Next::KeepDialog;
    std::string description;  // the "HID Device Info:" text
};

// Reads the identifiers as the fields show them (hexadecimal, low 16 bits) and opens the
// device. Every failure is told through `boxes` before this returns.
OpenDeviceResult OpenDevice(UvcHidDevice& device, std::string_view vendorText,
                            std::string_view productText, MessageBoxes& boxes);

}  // namespace brimlo::app
