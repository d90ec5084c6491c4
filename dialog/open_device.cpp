#include "dialog/open_device.h"

#include "commands/hex_field.h"
#include "dialog/peripheral_panel.h"

namespace brimlo::app {

OpenDeviceResult OpenDevice(UvcHidDevice& device, std::string_view vendorText,
                            std::string_view productText, MessageBoxes& boxes) {
    const auto vendorId = static_cast<std::uint16_t>(ParseHexField(vendorText));
    const auto productId = static_cast<std::uint16_t>(ParseHexField(productText));
    const OpenResult result = device.Open(vendorId, productId);
    OpenDeviceResult outcome;
    switch (result.status) {
        case OpenStatus::Opened:
            outcome.next = OpenDeviceResult::Next::FillPanels;
            outcome.description = device.Description();
            break;
        case OpenStatus::NotFound: {
            // Interfaces that could not be opened (a missing udev rule, typically) may hide
            // the device: then the user learns which ones and what to do.
            std::string text = kNoDeviceMessage;
            if (result.message.find("skipped") != std::string::npos) {
                text += "\n\n" + result.message;
            }
            boxes.Show(text, kErrorCaption, MessageIcon::Error);
            outcome.next = OpenDeviceResult::Next::CloseDialog;
            break;
        }
        case OpenStatus::Unusable:
            boxes.Show(result.message, kErrorCaption, MessageIcon::Error);
            outcome.next = OpenDeviceResult::Next::CloseDialog;
            break;
        case OpenStatus::EnumerationFailed:
            // Nothing was opened and nothing changed: the dialog stays for another try.
            boxes.Show(result.message, kErrorCaption, MessageIcon::Error);
            outcome.next = OpenDeviceResult::Next::KeepDialog;
            break;
    }
    return outcome;
}

}  // namespace brimlo::app
