#include "flash/dump_sequence.h"

#include "flash/flash_areas.h"
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

// The dump without its closing box. `sinkTold` is set when the sink showed its own box.
DumpOutcome Dump(UvcHidDevice& device, const FlashIdentity& identity, FlashChunkSink& sink,
                 FlashProgress* progress, const StopRequest* stop, bool& sinkTold) {
    DumpOutcome outcome;
    if (!identity.Identified()) {
        outcome.error = kExecuteGetId;
        return outcome;
    }
    if (outcome.error = device.ReadBackProblem(); !outcome.error.empty()) {
        return outcome;
    }
    if (progress != nullptr) {
        progress->RegionStarted(kEntireFlashCaption);
    }
    if (!device.FlashAccess(AP_FLASH_BURST_LATER, kAccessEntireFlash, 0, identity.flashSize)) {
        hid::DebugPrintf("Unknown error: Couldn't execute AP_FLASH_BURST_LATER--case %d\n",
                         kAccessEntireFlash);
        outcome.error = "Setting up the dump failed: " + device.LastError();
        return outcome;
    }
    ShortWriteWatch watch(sink);
    std::uint32_t done = 0;
    const std::uint32_t remaining =
        device.FlashBurst(kBurstReadToSink, identity.flashSize, {}, 0, done,
                          {.progress = progress, .sink = &watch, .stop = stop});
    outcome.bytesDumped = done;
    if (remaining == 0) {
        hid::DebugOutput("FlashRead -- Read data OK.\n");
        outcome.completed = true;
        return outcome;
    }
    sinkTold = watch.failed;
    outcome.stopped = !watch.failed && stop != nullptr && stop->Requested();
    const std::string cause = watch.failed ? sink.WriteError() : std::string();
    outcome.error =
        (outcome.stopped ? "The dump was stopped on request after " : "The dump stopped after ") +
        std::to_string(done) + " of " + std::to_string(identity.flashSize) + " bytes";
    if (!outcome.stopped) {
        outcome.error += ": " + (cause.empty() ? device.LastError() : cause);
    }
    return outcome;
}

void ShowEnd(const DumpOutcome& outcome, bool sinkTold, MessageBoxes& boxes) {
    if (outcome.completed) {
        boxes.Show(kDumpFinished, kCaptionInfo, MessageIcon::Information);
    } else if (outcome.stopped) {
        boxes.Show(outcome.error, kCaptionStopped, MessageIcon::Warning);
    } else if (!sinkTold) {
        boxes.Show(outcome.error, kCaptionError, MessageIcon::Error);
    }
}

}  // namespace

DumpOutcome RunDump(UvcHidDevice& device, const FlashIdentity& identity, FlashChunkSink& sink,
                    MessageBoxes& boxes, FlashProgress* progress, const StopRequest* stop) {
    hid::DebugOutput("Start read data from flash.\n");
    const auto lock = device.LockExclusive();
    bool sinkTold = false;
    const DumpOutcome outcome = Dump(device, identity, sink, progress, stop, sinkTold);
    ShowEnd(outcome, sinkTold, boxes);
    if (progress != nullptr) {
        progress->StatusChanged(kStatusWait);
    }
    return outcome;
}

DumpOutcome RunDumpToFile(UvcHidDevice& device, const FlashIdentity& identity, DumpFile& file,
                          MessageBoxes& boxes, FlashProgress* progress, const StopRequest* stop) {
    hid::DebugOutput("Start read data from flash.\n");
    const auto lock = device.LockExclusive();
    bool sinkTold = false;
    DumpOutcome outcome = Dump(device, identity, file, progress, stop, sinkTold);
    if (!outcome.completed) {
        file.Abandon();
        const std::string location = file.Location();
        const char end = outcome.error.empty() ? '.' : outcome.error.back();
        outcome.error += end == '.' || end == '!' ? " " : ". ";
        outcome.error += location.empty() ? "No file was kept."
                                          : "The " + std::to_string(file.BytesWritten()) +
                                                " bytes read were written to " + location + ".";
        // The file's own box (the full disk's above all) does not say that a partial file
        // stays behind, or where: the closing box follows it.
        sinkTold = sinkTold && (location.empty() || file.IsStream());
    } else if (!file.Commit()) {
        // The file showed its own box.
        outcome.completed = false;
        outcome.error = file.Error();
        sinkTold = true;
    }
    outcome.location = file.Location();
    ShowEnd(outcome, sinkTold, boxes);
    if (progress != nullptr) {
        progress->StatusChanged(kStatusWait);
    }
    return outcome;
}

}  // namespace brimlo::flash
