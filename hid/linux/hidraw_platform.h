#pragma once
// The HID stack of Linux: the hidraw nodes listed by udev, opened into hidraw connections.

#include <memory>
#include <string>
#include <string_view>

#include "hid/hid_platform.h"
#include "hid/linux/hidraw_system.h"

namespace brimlo::hid {

// Where the build put the udev rule that lets users open the default device's nodes.
std::string_view DefaultUdevRulePath();

class HidrawPlatform final : public HidPlatform {
  public:
    // This machine's hidraw nodes; permission failures point at DefaultUdevRulePath().
    HidrawPlatform();
    // `system` makes the system calls; `udevRulePath` is the rule a permission failure names.
    HidrawPlatform(std::shared_ptr<HidrawSystem> system, std::string udevRulePath);

    // The nodes ordered by device number (hidraw0, hidraw1, ..., hidraw10), so that the same
    // devices are always walked in the same order.
    std::unique_ptr<HidInterfaceSet> PresentInterfaces(std::string& error) override;
    // hidraw has no sharing modes or overlapped I/O: `options` change nothing here.
    std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenOptions& options,
                                        std::string& error) override;
    BoardLocation Locate(const std::string& path) override {
        return system_->LocateUsbDevice(path);
    }

  private:
    std::shared_ptr<HidrawSystem> system_;
    std::string udevRulePath_;
};

}  // namespace brimlo::hid
