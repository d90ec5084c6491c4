#pragma once
// An open handle on the emulated device, as a HID stack would hand it out: it reads the
// device's identity and descriptor and carries reports to and from its firmware.

#include <memory>
#include <string>

#include "hid/hid_platform.h"
#include "sim/sim_device.h"

namespace brimlo::sim {

class SimConnection final : public hid::HidConnection {
  public:
    explicit SimConnection(std::shared_ptr<SimDevice> device);
    // Closing the handle syncs the flash file.
    ~SimConnection() override;

    bool SendOutputReport(std::span<const std::uint8_t> report) override;
    std::optional<std::size_t> GetInputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                              std::span<std::uint8_t> buffer) override;
    std::string LastError() const override { return lastError_; }

    bool GetAttributes(hid::HiddAttributes& attributes) override;
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) override;

  private:
    bool Failed(const std::string& reason);

    std::shared_ptr<SimDevice> device_;
    std::string lastError_;
};

}  // namespace brimlo::sim
