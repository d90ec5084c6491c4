#pragma once
// One burn or dump as a worker thread runs it, whatever thread it is: the library's sequences
// over the identification, the burn image or the dump file and the Burn Area choice, progress
// into the relay's atomics and boxes through the interface the dialog's thread serves. It never
// touches a widget.

#include <cstdint>
#include <span>

#include "commands/flash_progress.h"
#include "commands/message_boxes.h"
#include "commands/stop_request.h"
#include "commands/uvc_hid_device.h"
#include "dialog/flash_panel_logic.h"
#include "flash/burn_sequence.h"
#include "flash/dump_file.h"
#include "flash/dump_sequence.h"

namespace brimlo::app {

struct FlashRunResult {
    FlashTask task = FlashTask::Burn;
    flash::BurnOutcome burn;
    flash::DumpOutcome dump;
};

// What a run works on; everything must outlive the run, and nobody else may use it meanwhile.
struct FlashRunInputs {
    UvcHidDevice& device;
    flash::FlashIdentity identity;
    std::span<const std::uint8_t> image;  // the burn's
    flash::DumpFile& dumpFile;            // the dump's
    flash::BurnAreaChoice& choice;
    MessageBoxes& boxes;
    FlashProgress& progress;
    // Ends a dump after the report in flight. A burn is never stopped halfway, which would
    // leave a half-written flash, so it is not given one.
    const StopRequest& dumpStop;
};

// Runs the burn or the dump on the calling thread.
FlashRunResult RunFlashTask(FlashTask task, const FlashRunInputs& inputs);

}  // namespace brimlo::app
