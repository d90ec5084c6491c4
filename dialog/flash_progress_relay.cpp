#include "dialog/flash_progress_relay.h"

namespace brimlo::app {

std::string_view FlashStatusText(FlashStatus status) {
    switch (status) {
        case FlashStatus::Write:
            return kStatusWrite;
        case FlashStatus::Compare:
            return kStatusCompare;
        case FlashStatus::Read:
            return kStatusRead;
        case FlashStatus::Wait:
            break;
    }
    return kStatusWait;
}

void FlashProgressRelay::StatusChanged(std::string_view status) {
    // The bursts pass the library's own constants; anything else leaves the label as it is.
    for (FlashStatus candidate :
         {FlashStatus::Wait, FlashStatus::Write, FlashStatus::Compare, FlashStatus::Read}) {
        if (status == FlashStatusText(candidate)) {
            status_.store(candidate, std::memory_order_release);
            return;
        }
    }
}

void FlashProgressRelay::BurstStarted(std::uint32_t total) {
    counts_.store(Pack(total, 0), std::memory_order_release);
}

void FlashProgressRelay::BytesDone(std::uint32_t done) {
    // The worker is the only writer, so the total it reads back is its own.
    const auto total = static_cast<std::uint32_t>(counts_.load(std::memory_order_relaxed) >> 32);
    counts_.store(Pack(total, done), std::memory_order_release);
}

ProgressSnapshot FlashProgressRelay::Snapshot() const {
    const std::uint64_t counts = counts_.load(std::memory_order_acquire);
    return {status_.load(std::memory_order_acquire), static_cast<std::uint32_t>(counts),
            static_cast<std::uint32_t>(counts >> 32)};
}

void FlashProgressRelay::Reset() {
    status_.store(FlashStatus::Wait, std::memory_order_release);
    counts_.store(0, std::memory_order_release);
}

}  // namespace brimlo::app
