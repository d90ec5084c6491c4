#pragma once
// The HID stack of Windows: the HID interfaces SetupAPI lists, opened with CreateFileW and
// spoken to through hid.dll.

#include <memory>
#include <string>

#include "hid/hid_platform.h"
#include "hid/windows/win_hid_api.h"

namespace brimlo::hid {

class WindowsHidPlatform final : public HidPlatform {
  public:
    // This machine's HID stack.
    WindowsHidPlatform() : WindowsHidPlatform(SystemWinHidApi()) {}
    // `api` makes the system calls and must outlive the platform and its connections.
    explicit WindowsHidPlatform(const WinHidApi& api) : api_(api) {}

    // The present interfaces of the HID class, in the order SetupAPI lists them.
    std::unique_ptr<HidInterfaceSet> PresentInterfaces(std::string& error) override;
    // The USB port of the device the interface belongs to and its serial number. Nothing known
    // is no error: many devices have no serial string, and not every HID device is on USB.
    BoardLocation Locate(const std::string& path) override;
    // Opens for reading and writing, shared with other programs; `options` change nothing.
    std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenOptions& options,
                                        std::string& error) override;

  private:
    const WinHidApi& api_;
};

}  // namespace brimlo::hid
