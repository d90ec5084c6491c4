#include "bench/burst_recorder.h"

namespace brimlo::bench {

void BurstRecorder::BurstStarted(std::uint32_t total) {
    Finish();
    open_ = true;
    current_ = BurstTimes{};
    current_.bytes = total;
    deviceAtStart_ = platform_.Totals();
    wallAtStart_ = WallSeconds();
    cpuAtStart_ = ThreadCpuSeconds();
}

void BurstRecorder::StatusChanged(std::string_view status) {
    if (status == kStatusWait) {
        Finish();
    } else if (open_) {
        current_.label = run_ + " " + std::string(status.substr(status.find(' ') + 1));
    }
}

void BurstRecorder::Finish() {
    if (!open_) {
        return;
    }
    open_ = false;
    const DeviceTime& device = platform_.Totals();
    current_.reports = device.exchanges - deviceAtStart_.exchanges;
    current_.wallSeconds = WallSeconds() - wallAtStart_;
    current_.deviceCpuSeconds = device.cpuSeconds - deviceAtStart_.cpuSeconds;
    current_.hostCpuSeconds = ThreadCpuSeconds() - cpuAtStart_ - current_.deviceCpuSeconds;
    bursts_.push_back(current_);
}

}  // namespace brimlo::bench
