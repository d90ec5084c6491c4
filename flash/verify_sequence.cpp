#include "flash/verify_sequence.h"

#include "flash/flash_messages.h"
#include "hid/debug_output.h"

namespace brimlo::flash {
namespace {

// Passes progress on and remembers how far the compare read, which tells a region that was
// read to its end apart from one that stopped on a failed exchange.
class ReadTracker final : public FlashProgress {
  public:
    explicit ReadTracker(FlashProgress* next) : next_(next) {}
    void StatusChanged(std::string_view status) override {
        if (next_ != nullptr) {
            next_->StatusChanged(status);
        }
    }
    void BurstStarted(std::uint32_t total) override {
        read = 0;
        if (next_ != nullptr) {
            next_->BurstStarted(total);
        }
    }
    void BytesDone(std::uint32_t done) override {
        read = done;
        if (next_ != nullptr) {
            next_->BytesDone(done);
        }
    }
    std::uint32_t read = 0;

  private:
    FlashProgress* next_;
};

std::vector<BurnTarget> TargetsOf(const BurnSelection& selection) {
    if (selection.entireFlash) {
        return {BurnTarget::EntireFlash};
    }
    std::vector<BurnTarget> targets;
    for (std::size_t row = 0; row < kFlashAreaCount; ++row) {
        if (selection.areas[row]) {
            targets.push_back(AreaTarget(row));
        }
    }
    return targets;
}

}  // namespace

bool VerifyOutcome::Differs() const {
    for (const RegionCheck& check : regions) {
        if (check.compare.mismatch) {
            return true;
        }
    }
    return false;
}

VerifyOutcome RunVerify(UvcHidDevice& device, std::span<const std::uint8_t> image,
                        const FlashIdentity& identity, const BurnSelection& selection,
                        FlashProgress* progress, const StopRequest* stop) {
    VerifyOutcome outcome;
    const auto lock = device.LockExclusive();
    const ChipLimits chip{identity.SectorSize(), identity.flashSize};
    if (!identity.Identified()) {
        outcome.error = kExecuteGetId;
        return outcome;
    }
    // Every region is checked against the file before anything is read.
    std::vector<BurnRegion> regions;
    for (BurnTarget target : TargetsOf(selection)) {
        BurnRegion region;
        if (!PlanRegion(target, image, chip, region, outcome.error)) {
            return outcome;
        }
        regions.push_back(region);
    }
    if (regions.empty()) {
        outcome.error = kNoAreaSelected;
        return outcome;
    }
    if (outcome.error = device.ReadBackProblem(); !outcome.error.empty()) {
        return outcome;
    }
    ReadTracker tracker(progress);
    for (const BurnRegion& region : regions) {
        if (stop != nullptr && stop->Requested()) {
            outcome.stopped = true;
            outcome.error = "The verify was stopped on request.";
            break;
        }
        RegionCheck check;
        check.region = region;
        if (progress != nullptr) {
            progress->RegionStarted(TargetCaption(region.target));
        }
        if (!device.FlashAccess(AP_FLASH_BURST_LATER, region.accessMode, region.address,
                                region.length)) {
            hid::DebugPrintf("Unknown error: Couldn't execute AP_FLASH_BURST_LATER--case %d\n",
                             region.accessMode);
            outcome.error = "Setting up the flash region failed: " + device.LastError();
            break;
        }
        std::uint32_t done = 0;
        device.FlashBurst(kBurstCompare, region.length, image, region.address, done,
                          {.progress = &tracker,
                           .compare = &check.compare,
                           .compareWholeRegion = true,
                           .stop = stop});
        if (tracker.read != region.length && stop != nullptr && stop->Requested()) {
            outcome.stopped = true;
            outcome.error = "The verify was stopped on request.";
            break;
        }
        if (tracker.read != region.length) {
            outcome.error = "Reading the flash back failed: " + device.LastError();
            break;
        }
        outcome.regions.push_back(check);
    }
    if (progress != nullptr) {
        progress->StatusChanged(kStatusWait);
    }
    return outcome;
}

}  // namespace brimlo::flash
