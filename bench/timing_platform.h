#pragma once
// A HID stack wrapper that measures what the device side of each exchange costs: the wall and
// CPU time spent inside the wrapped stack's send and get calls, and how many there were. The
// rest of a transfer's time is the host's own.

#include <cstdint>
#include <memory>
#include <string>

#include "hid/hid_platform.h"

namespace brimlo::bench {

struct DeviceTime {
    std::uint64_t exchanges = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;  // of the calling thread, inside the wrapped stack
};

class TimingPlatform final : public hid::HidPlatform {
  public:
    explicit TimingPlatform(hid::HidPlatform& inner) : inner_(inner) {}

    std::unique_ptr<hid::HidInterfaceSet> PresentInterfaces(std::string& error) override {
        return inner_.PresentInterfaces(error);
    }
    std::unique_ptr<hid::HidConnection> Open(const std::string& path,
                                             const hid::HidOpenOptions& options,
                                             std::string& error) override;

    const DeviceTime& Totals() const { return totals_; }

  private:
    hid::HidPlatform& inner_;
    DeviceTime totals_;
};

// CPU time of the calling thread, in seconds.
double ThreadCpuSeconds();
// A monotonic clock, in seconds.
double WallSeconds();

}  // namespace brimlo::bench
