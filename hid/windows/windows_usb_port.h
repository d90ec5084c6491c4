#pragma once
// Where a USB device sits, from the configuration manager. Windows names the way to a USB
// device in its location path, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(2)": the controller
// on the PCI bus, its root hub, then the port on each hub down to the device. That becomes a
// port path of the form Linux uses: "1400-1.2".

#include <string>
#include <string_view>

#include "hid/windows/win_hid_api.h"

namespace brimlo::hid {

// The port of the USB device `path` leads to: "<controller>-<port>.<port>...", the controller
// being its PCI device and function ("1400", or "1C00.0000" behind a PCI bridge), which stays
// the same while the machine's hardware does. A controller reached otherwise than from the
// first PCI root (ACPI-only machines, a second root hub) keeps the whole location path as its
// port, which is as stable. Empty when the path does not end at a USB device: at an interface
// of a composite device ("...#USB(2)#USBMI(0)"), or away from USB.
std::string UsbPortFromLocationPath(std::wstring_view path);

// The port of the USB device that the device node `node` is or belongs to: the first of the
// node and its ancestors whose location path ends at a USB device. Empty when none does.
std::string UsbPortOfDevNode(const WinHidApi& api, DEVINST node);

}  // namespace brimlo::hid
