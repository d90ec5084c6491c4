// The progress relay read by one thread while another writes it, as the dialog's timer reads
// the burn worker's progress.

#include "dialog/flash_progress_relay.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

namespace brimlo::app {
namespace {

TEST(FlashProgressRelay, TheLibraryStatusesBecomeTheirLabels) {
    FlashProgressRelay relay;
    for (std::string_view status : {kStatusWrite, kStatusCompare, kStatusRead, kStatusWait}) {
        relay.StatusChanged(status);
        EXPECT_EQ(FlashStatusText(relay.Snapshot().status), status);
    }
    relay.StatusChanged(kStatusRead);
    relay.StatusChanged("Status: Unknown");
    EXPECT_EQ(relay.Snapshot().status, FlashStatus::Read);
}

TEST(FlashProgressRelay, ABurstStartsFromZeroAndResetReturnsToWait) {
    FlashProgressRelay relay;
    relay.StatusChanged(kStatusWrite);
    relay.BurstStarted(1000);
    relay.BytesDone(600);
    EXPECT_EQ(relay.Snapshot(), (ProgressSnapshot{FlashStatus::Write, 600, 1000}));
    relay.BurstStarted(0x800000);
    EXPECT_EQ(relay.Snapshot(), (ProgressSnapshot{FlashStatus::Write, 0, 0x800000}));
    relay.Reset();
    EXPECT_EQ(relay.Snapshot(), ProgressSnapshot{});
}

// A reader must never pair one burst's count with another burst's total: each burst here has
// its own total, and its counts stay below it and carry the burst's mark. The first wrong pair
// is kept and checked once the writer has been joined, so that a failure is reported rather
// than ending the process with the writer still running.
TEST(FlashProgressRelay, AReaderSeesCountsOfOneBurstAtATime) {
    FlashProgressRelay relay;
    std::atomic<bool> writing{true};
    std::atomic<bool> reading{false};
    std::thread worker([&] {
        // On a loaded machine the reader may not run at all before 200 bursts are over.
        while (!reading) {
            std::this_thread::yield();
        }
        for (std::uint32_t burst = 1; burst <= 200; ++burst) {
            const std::uint32_t total = burst * 1000 + 999;
            relay.BurstStarted(total);
            for (std::uint32_t done = 0; done <= 999; done += 3) {
                relay.BytesDone(burst * 1000 + done);
            }
        }
        writing = false;
    });
    std::uint64_t reads = 0;
    std::optional<ProgressSnapshot> mixed;
    while (writing) {
        const ProgressSnapshot seen = relay.Snapshot();
        ++reads;
        reading = true;
        if (!mixed && seen.done != 0 &&
            (seen.done > seen.total || seen.done / 1000 != seen.total / 1000)) {
            mixed = seen;
        }
    }
    worker.join();
    EXPECT_FALSE(mixed) << mixed->done << " / " << mixed->total;
    EXPECT_GT(reads, 0u);
    EXPECT_EQ(relay.Snapshot().total, 200999u);
}

}  // namespace
}  // namespace brimlo::app
