#pragma once
// Decides, exchange by exchange, whether the emulated device fails as it was told to: one
// chosen exchange fails, or the device is unplugged after a number of exchanges; every exchange
// can also be slowed down. Faults in what the firmware answers live with the firmware.

#include <cstdint>
#include <string>

#include "sim/sim_config.h"

namespace brimlo::sim {

class FaultInjector {
  public:
    explicit FaultInjector(const SimFaults& faults) : faults_(faults) {}

    // Counts one exchange, waits the latency, and returns false with `error` set when this
    // exchange must fail.
    bool BeginExchange(std::string& error);

    // New faults; the count starts again and an unplugged device is plugged back in.
    void Reset(const SimFaults& faults);

    const SimFaults& Faults() const { return faults_; }
    bool Unplugged() const { return unplugged_; }
    std::uint64_t ExchangeCount() const { return count_; }

  private:
    SimFaults faults_;
    std::uint64_t count_ = 0;
    bool unplugged_ = false;
};

}  // namespace brimlo::sim
