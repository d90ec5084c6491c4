#include "flash/burn_sequence.h"

#include "flash/burn_closing.h"
#include "flash/flag_sector.h"
#include "flash/flash_messages.h"
#include "hid/debug_output.h"

namespace brimlo::flash {
namespace {

using hid::DebugOutput;
using hid::DebugPrintf;

class BurnRun {
  public:
    BurnRun(UvcHidDevice& device, std::span<const std::uint8_t> image,
            const FlashIdentity& identity, BurnAreaChoice& choice, MessageBoxes& boxes,
            FlashProgress* progress, const StopRequest* stop)
        : device_(device),
          image_(image),
          chip_{identity.SectorSize(), identity.flashSize},
          identified_(identity.Identified()),
          choice_(choice),
          boxes_(boxes),
          progress_(progress),
          stop_(stop) {}

    void Run();
    BurnOutcome outcome;

  private:
    void Refuse(std::string text);
    // Refuses a choice this device's flash reports cannot carry, before anything is sent.
    bool RefuseUnfitDevice(const BurnSelection& selection);
    bool StopRequested() const { return stop_ != nullptr && stop_->Requested(); }
    // Ends the burn early: after a failed step (`error` says which) or on request. Tells the
    // user why and which areas were and were not updated.
    bool Stop(std::string error);
    bool StopOnRequest();
    BurstOptions Options(CompareReport* compare = nullptr) const {
        return {.progress = progress_, .compare = compare, .stop = stop_};
    }
    bool Plan(BurnTarget target, BurnRegion& region);
    bool SetUp(const BurnRegion& region);
    // Writes and compares the whole flash or the firmware. False when the burn must end.
    bool BurnAndCompare(BurnTarget target);
    // Writes one of the areas burned without a compare. False when the burn must end.
    bool BurnOtherArea(std::size_t row);
    void Close();

    UvcHidDevice& device_;
    std::span<const std::uint8_t> image_;
    ChipLimits chip_;
    bool identified_;
    BurnAreaChoice& choice_;
    MessageBoxes& boxes_;
    FlashProgress* progress_;
    const StopRequest* stop_;
    FlagSector flag_{};
};

void BurnRun::Refuse(std::string text) {
    boxes_.Show(text, kCaptionError, MessageIcon::Error);
    outcome.refused = true;
    outcome.error = std::move(text);
}

bool BurnRun::RefuseUnfitDevice(const BurnSelection& selection) {
    std::string problem;
    if (selection.entireFlash || selection.areas[kFirmwareArea]) {
        problem = device_.ReadBackProblem();
    }
    if (problem.empty() && !selection.entireFlash && selection.areas[kFirmwareArea]) {
        problem = FlagSectorProblem(device_);
    }
    if (problem.empty()) {
        return false;
    }
    Refuse(problem + " Nothing was written.");
    return true;
}

bool BurnRun::Stop(std::string error) {
    MarkChosenNotUpdated(outcome, choice_);
    const ClosingBox box = EarlyEndBox(outcome, "The burn stopped. " + error);
    boxes_.Show(box.text, box.caption, box.icon);
    outcome.error = std::move(error);
    return false;
}

bool BurnRun::StopOnRequest() {
    outcome.stopped = true;
    MarkChosenNotUpdated(outcome, choice_);
    const ClosingBox box = EarlyEndBox(outcome, kBurnStopped);
    boxes_.Show(box.text, box.caption, box.icon);
    outcome.error = kBurnStopped;
    return false;
}

bool BurnRun::Plan(BurnTarget target, BurnRegion& region) {
    std::string error;
    return PlanRegion(target, image_, chip_, region, error) || Stop(error);
}

bool BurnRun::SetUp(const BurnRegion& region) {
    if (device_.FlashAccess(AP_FLASH_BURST_LATER, region.accessMode, region.address,
                            region.length)) {
        return true;
    }
    DebugPrintf("Unknown error: Couldn't execute AP_FLASH_BURST_LATER--case %d\n",
                region.accessMode);
    return Stop("Setting up the flash region failed: " + device_.LastError());
}

bool BurnRun::BurnAndCompare(BurnTarget target) {
    BurnRegion region;
    if (!Plan(target, region)) {
        return false;
    }
    const bool firmware = target == BurnTarget::Firmware;
    if (progress_ != nullptr) {
        progress_->RegionStarted(TargetCaption(target));
    }
    outcome.needsNewBurn = true;  // from the first change until the region compares equal
    if (firmware) {
        DebugPrintf("FlashWrite -- Header_len - 0x%x\n", region.headerLen);
        DebugPrintf("FlashWrite -- Boot_Size - 0x%x\n", region.bootSize);
        DebugPrintf("FlashWrite -- compressed firmware length_0 - 0x%x\n",
                    static_cast<std::uint32_t>(region.firmwareLength));
        DebugPrintf("FlashWrite -- compressed firmware length_1 - 0x%x\n", region.length);
        std::string error;
        if (!SetFirmwareFlag(device_, kFlagFirmwareInvalid, flag_, error)) {
            return Stop(error);
        }
    }

    if (!SetUp(region)) {
        return false;
    }
    std::uint32_t done = 0;
    if (device_.FlashBurst(kBurstWrite, region.length, image_, region.address, done, Options()) ==
        0) {
        DebugPrintf("FlashWrite -- Transfer %d bytes to Firmware\n", done);
        if (progress_ != nullptr) {
            progress_->BytesDone(done);
        }
    } else if (StopRequested()) {
        return StopOnRequest();
    }
    // An incomplete write is not reported here: the compare that follows finds it.
    if (!SetUp(region)) {
        return false;
    }
    CompareReport report;
    if (device_.FlashBurst(kBurstCompare, region.length, image_, region.address, done,
                           Options(&report)) != 0) {
        if (StopRequested()) {
            return StopOnRequest();
        }
        // Without a differing byte the read-back itself failed: nothing is known to differ,
        // and the exchanges that follow would fail the same way.
        if (!report.mismatch) {
            return Stop("Reading the flash back for the compare failed: " + device_.LastError());
        }
        outcome.compareFailed = true;
        outcome.compare = report;
        if (firmware) {
            outcome.failedAreas |= 1u << kFirmwareArea;
        } else {
            outcome.entireFailed = true;
        }
        boxes_.Show(kCompareFailed, kCaptionError, MessageIcon::Error);
        return true;
    }
    if (firmware) {
        std::string error;
        if (!SetFirmwareFlag(device_, kFlagFirmwareValid, flag_, error)) {
            outcome.firmwareNotMarkedValid = true;
            return Stop(std::string(kFirmwareNotMarkedValid) + error);
        }
    }
    DebugOutput("FlashWrite -- Compare data OK.\n");
    outcome.needsNewBurn = false;
    if (firmware) {
        outcome.updatedAreas |= 1u << kFirmwareArea;
    } else {
        outcome.entireUpdated = true;
    }
    return true;
}

bool BurnRun::BurnOtherArea(std::size_t row) {
    BurnRegion region;
    if (!Plan(AreaTarget(row), region) || !SetUp(region)) {
        return false;
    }
    if (progress_ != nullptr) {
        progress_->RegionStarted(TargetCaption(AreaTarget(row)));
    }
    std::uint32_t done = 0;
    if (device_.FlashBurst(kBurstWrite, region.length, image_, region.address, done, Options()) !=
        0) {
        outcome.needsNewBurn = outcome.needsNewBurn || done != 0;
        if (StopRequested()) {
            return StopOnRequest();
        }
        outcome.failedAreas |= 1u << row;
        return true;
    }
    DebugPrintf("FlashWrite for Customized-- Transfer %d bytes to Firmware\n", done);
    if (progress_ != nullptr) {
        progress_->BytesDone(done);
    }
    outcome.updatedAreas |= 1u << row;
    return true;
}

void BurnRun::Close() {
    const ClosingBox box = BurnClosingBox(outcome);
    outcome.closingText = box.text;
    boxes_.Show(box.text, box.caption, box.icon);
}

void BurnRun::Run() {
    if (!identified_) {
        Refuse(std::string(kExecuteGetId));
        return;
    }
    BurnSelection selection;
    selection.entireFlash = choice_.EntireFlash();
    bool anyArea = false;
    for (std::size_t row = 0; row < kFlashAreaCount; ++row) {
        selection.areas[row] = choice_.AreaChecked(row);
        anyArea = anyArea || selection.areas[row];
    }
    if (!selection.entireFlash && !anyArea) {
        Refuse(std::string(kNoAreaSelected));
        return;
    }
    // Nothing is sent before the file is known to serve every region chosen now; a region the
    // user adds later is checked when the burn comes to it.
    std::string error;
    if (!CheckBurnFile(image_, chip_, selection, error)) {
        Refuse(std::move(error));
        return;
    }
    if (RefuseUnfitDevice(selection)) {
        return;
    }

    const bool entire = choice_.EntireFlash();
    if (entire || choice_.AreaChecked(kFirmwareArea)) {
        if (StopRequested()) {
            StopOnRequest();
            return;
        }
        if (!BurnAndCompare(entire ? BurnTarget::EntireFlash : BurnTarget::Firmware)) {
            return;
        }
    }
    if (!choice_.EntireFlash()) {
        for (std::size_t row : {kPrivateArea, kCustomizedArea}) {
            if (!choice_.AreaChecked(row)) {
                continue;
            }
            if (StopRequested()) {
                StopOnRequest();
                return;
            }
            if (!BurnOtherArea(row)) {
                return;
            }
        }
    }
    Close();
}

}  // namespace

BurnOutcome RunBurn(UvcHidDevice& device, std::span<const std::uint8_t> image,
                    const FlashIdentity& identity, BurnAreaChoice& choice, MessageBoxes& boxes,
                    FlashProgress* progress, const StopRequest* stop) {
    DebugOutput("Start write data to flash.\n");
    const auto lock = device.LockExclusive();
    BurnRun run(device, image, identity, choice, boxes, progress, stop);
    run.Run();
    if (progress != nullptr) {
        progress->StatusChanged(kStatusWait);
    }
    return run.outcome;
}

}  // namespace brimlo::flash
