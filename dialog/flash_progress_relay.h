#pragma once
// Carries a burst's progress from the worker thread to the dialog without a lock and without
// allocating: the worker stores the latest status and counts in atomics once per chunk, and the
// dialog's thread samples them on its own timer, as often as it wants to repaint.

#include <atomic>
#include <cstdint>
#include <string_view>

#include "commands/flash_progress.h"

namespace brimlo::app {

enum class FlashStatus : std::uint8_t { Wait, Write, Compare, Read };

// "Status: Wait" ... as the status label shows it.
std::string_view FlashStatusText(FlashStatus status);

struct ProgressSnapshot {
    FlashStatus status = FlashStatus::Wait;
    std::uint32_t done = 0;
    std::uint32_t total = 0;
    bool operator==(const ProgressSnapshot&) const = default;
};

class FlashProgressRelay final : public FlashProgress {
  public:
    // Worker side; one worker at a time.
    void StatusChanged(std::string_view status) override;
    void BurstStarted(std::uint32_t total) override;
    void BytesDone(std::uint32_t done) override;

    // Dialog side: the counts always belong to one burst, never a total of one with the done of
    // another.
    ProgressSnapshot Snapshot() const;
    // Back to "Status: Wait" with no bytes, before a worker starts.
    void Reset();

  private:
    static constexpr std::uint64_t Pack(std::uint32_t total, std::uint32_t done) {
        return std::uint64_t{total} << 32 | done;
    }

    std::atomic<FlashStatus> status_{FlashStatus::Wait};
    // Total in the high half, done in the low half: one store keeps the pair consistent.
    std::atomic<std::uint64_t> counts_{0};
};

}  // namespace brimlo::app
