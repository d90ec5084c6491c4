#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "commands/flash_progress.h"

namespace brimlo::cli {

// A progress bar on a terminal, redrawn at most ten times a second; plain lines at the start
// and end of each burst otherwise. Each line names what is done to which region ("Write
// Private Data") and ends with the time the burst has taken. Nothing is allocated per chunk.
class TerminalProgress final : public FlashProgress {
  public:
    TerminalProgress();

    // Closes the current burst's line, so that other output starts on a line of its own.
    void Interrupt();

    void RegionStarted(std::string_view region) override;
    void BurstStarted(std::uint32_t total) override;
    void StatusChanged(std::string_view status) override;
    void BytesDone(std::uint32_t done) override;

  private:
    using Clock = std::chrono::steady_clock;

    void Draw(bool final);
    void EndLine();

    const bool tty_;
    bool active_ = false;
    // Copied: the texts may not outlive the calls.
    char region_[32] = "";
    char phase_[48] = "Transfer";
    std::uint32_t total_ = 0;
    std::uint32_t done_ = 0;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
};

}  // namespace brimlo::cli
