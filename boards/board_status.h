#pragma once
// What one board's job is doing, written by its thread and read by whoever draws the
// progress lines or the station's table.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "commands/flash_progress.h"
#include "commands/stop_request.h"

namespace brimlo::boards {

class BoardStatus final : public FlashProgress {
  public:
    struct Snapshot {
        std::string phase;  // "Write Entire Flash", "Compare Firmware", "Get ID", ...
        std::uint32_t done = 0;
        std::uint32_t total = 0;
        double bytesPerSecond = 0;
        // Of the whole job, for the station: 0 to 100.
        int Percent() const { return total == 0 ? 0 : static_cast<int>(100.0 * done / total); }
    };

    void SetPhase(std::string phase);
    Snapshot Read() const;

    // What the job checks at every report boundary.
    const StopRequest* Stop() const { return &stop_; }
    // Once `finish` is requested, the job stops before it starts its next region, so the one
    // it is writing is finished.
    void StopBeforeNextRegion(const StopRequest* finish) { finish_ = finish; }
    // Stops the job at its next report boundary.
    void StopNow() { stop_.Request(); }

    void RegionStarted(std::string_view region) override;
    void StatusChanged(std::string_view status) override;
    void BurstStarted(std::uint32_t total) override;
    void BytesDone(std::uint32_t done) override;

  private:
    using Clock = std::chrono::steady_clock;
    StopRequest stop_;
    const StopRequest* finish_ = nullptr;
    mutable std::mutex mutex_;
    std::string region_;
    Snapshot now_;
    Clock::time_point burstStart_ = Clock::now();
};

}  // namespace brimlo::boards
