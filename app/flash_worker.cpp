#include "app/flash_worker.h"

namespace brimlo::app {

void FlashWorker::Run() {
    FlashRunResult result;
    result.task = task_;
    const FlashRunInputs& in = inputs_;
    if (task_ == FlashTask::Burn) {
        result.burn =
            flash::RunBurn(in.device, in.image, in.identity, in.choice, in.boxes, &in.progress);
    } else {
        result.dump = flash::RunDumpToFile(in.device, in.identity, in.dumpFile, in.boxes,
                                           &in.progress, &stop_);
    }
    emit finished(result);
}

}  // namespace brimlo::app
