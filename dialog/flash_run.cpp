#include "dialog/flash_run.h"

#include "hid/debug_output.h"

namespace brimlo::app {

FlashRunResult RunFlashTask(FlashTask task, const FlashRunInputs& in) {
    FlashRunResult result;
    result.task = task;
    if (task == FlashTask::Burn) {
        result.burn =
            flash::RunBurn(in.device, in.image, in.identity, in.choice, in.boxes, &in.progress);
    } else {
        result.dump = flash::RunDumpToFile(in.device, in.identity, in.dumpFile, in.boxes,
                                           &in.progress, &in.dumpStop);
    }
    // The trace marks a worker's end as it always has.
    hid::DebugOutput("Call ExitThread_0.\n");
    hid::DebugOutput("Call ExitThread_1.\n");
    return result;
}

}  // namespace brimlo::app
