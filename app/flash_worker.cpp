#include "app/flash_worker.h"

namespace brimlo::app {

void FlashWorker::Run() {
    emit finished(RunFlashTask(task_, inputs_));
}

}  // namespace brimlo::app
