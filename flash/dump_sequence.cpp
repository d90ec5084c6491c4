#include "flash/dump_sequence.h"

#include "flash/flash_messages.h"
#include "hid/debug_output.h"

namespace brimlo::flash {
namespace {

// Notices when the sink stores less than it is given, which stops the burst.
class ShortWriteWatch final : public FlashChunkSink {
  public:
    explicit ShortWriteWatch(FlashChunkSink& sink) : sink_(sink) {}
    std::size_t Write(std::span<const std::uint8_t> chunk) override {
        const std::size_t stored = sink_.Write(chunk);
        failed = failed || stored < chunk.size();
        return stored;
    }
    bool failed = false;

  private:
    FlashChunkSink& sink_;
};

DumpOutcome Dump(UvcHidDevice& device, const FlashIdentity& identity, FlashChunkSink& sink,
                 MessageBoxes& boxes, FlashProgress* progress) {
    DumpOutcome outcome;
    if (!identity.Identified()) {
        outcome.error = kExecuteGetId;
        boxes.Show(outcome.error, kCaptionError, MessageIcon::Error);
        return outcome;
    }
    if (!device.FlashAccess(AP_FLASH_BURST_LATER, kAccessEntireFlash, 0, identity.flashSize)) {
        hid::DebugPrintf("Unknown error: Couldn't execute AP_FLASH_BURST_LATER--case %d\n",
                         kAccessEntireFlash);
        outcome.error = "Setting up the dump failed: " + device.LastError();
        boxes.Show(outcome.error, kCaptionError, MessageIcon::Error);
        return outcome;
    }
    ShortWriteWatch watch(sink);
    std::uint32_t done = 0;
    const std::uint32_t remaining = device.FlashBurst(kBurstReadToSink, identity.flashSize, {}, 0,
                                                      done, {.progress = progress, .sink = &watch});
    outcome.bytesDumped = done;
    if (remaining == 0) {
        hid::DebugOutput("FlashRead -- Read data OK.\n");
        outcome.completed = true;
        boxes.Show(kDumpFinished, kCaptionInfo, MessageIcon::Information);
        return outcome;
    }
    outcome.error = "The dump stopped after " + std::to_string(done) + " of " +
                    std::to_string(identity.flashSize) + " bytes: " + device.LastError();
    if (!watch.failed) {
        boxes.Show(outcome.error, kCaptionError, MessageIcon::Error);
    }
    return outcome;
}

}  // namespace

DumpOutcome RunDump(UvcHidDevice& device, const FlashIdentity& identity, FlashChunkSink& sink,
                    MessageBoxes& boxes, FlashProgress* progress) {
    hid::DebugOutput("Start read data from flash.\n");
    const auto lock = device.LockExclusive();
    DumpOutcome outcome = Dump(device, identity, sink, boxes, progress);
    if (progress != nullptr) {
        progress->StatusChanged(kStatusWait);
    }
    return outcome;
}

}  // namespace brimlo::flash
