#pragma once
// Splits a run into its bursts (Write, Compare, Read) as the progress calls mark them, and
// keeps for each the bytes, the reports, and the wall and CPU time of host and device.

#include <cstdint>
#include <string>
#include <vector>

#include "bench/timing_platform.h"
#include "commands/flash_progress.h"

namespace brimlo::bench {

struct BurstTimes {
    std::string label;  // the run's name and the burst's status
    std::uint32_t bytes = 0;
    std::uint64_t reports = 0;
    double wallSeconds = 0;
    double hostCpuSeconds = 0;    // the thread's CPU time outside the HID stack
    double deviceCpuSeconds = 0;  // inside it: the emulated device's firmware and flash
};

class BurstRecorder final : public FlashProgress {
  public:
    explicit BurstRecorder(const TimingPlatform& platform) : platform_(platform) {}

    // Names the bursts that follow.
    void BeginRun(std::string name) { run_ = std::move(name); }
    const std::vector<BurstTimes>& Bursts() const { return bursts_; }

    void BurstStarted(std::uint32_t total) override;
    void StatusChanged(std::string_view status) override;
    void BytesDone(std::uint32_t) override {}

  private:
    void Finish();

    const TimingPlatform& platform_;
    std::string run_;
    std::vector<BurstTimes> bursts_;
    bool open_ = false;
    BurstTimes current_;
    DeviceTime deviceAtStart_;
    double wallAtStart_ = 0;
    double cpuAtStart_ = 0;
};

}  // namespace brimlo::bench
