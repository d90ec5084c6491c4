#pragma once
// A HID stack on which exactly one interface is present: the emulated device. Front ends and
// tests hand it to the enumeration in place of the system's stack.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "hid/hid_platform.h"
#include "sim/sim_device.h"

namespace brimlo::sim {

class SimPlatform final : public hid::HidPlatform {
  public:
    // The device kept in `stateDir`, loaded when first listed or opened (so a broken
    // device.json is reported through the platform's own error text).
    explicit SimPlatform(std::filesystem::path stateDir);
    // A device already made, in memory or loaded.
    explicit SimPlatform(std::shared_ptr<SimDevice> device);

    std::unique_ptr<hid::HidInterfaceSet> PresentInterfaces(std::string& error) override;
    std::unique_ptr<hid::HidConnection> Open(const std::string& path,
                                             const hid::HidOpenOptions& options,
                                             std::string& error) override;
    // The port and serial number of device.json.
    hid::BoardLocation Locate(const std::string& path) override;

    // The device, loading it first if need be; null with `error` when it cannot be loaded.
    std::shared_ptr<SimDevice> Device(std::string& error);

  private:
    std::optional<std::filesystem::path> stateDir_;
    std::shared_ptr<SimDevice> device_;
};

// Where the device lives when no state directory is given: $XDG_CACHE_HOME/brimlo-hid/sim, or
// ~/.cache/brimlo-hid/sim; on Windows %LOCALAPPDATA%\brimlo-hid\sim. Nothing when no variable
// gives an absolute path.
std::optional<std::filesystem::path> DefaultSimStateDir();

}  // namespace brimlo::sim
