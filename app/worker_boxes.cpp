#include "app/worker_boxes.h"

#include <QThread>
#include <future>
#include <string>

namespace brimlo::app {

WorkerBoxes::WorkerBoxes(MessageBoxes& uiBoxes)
    : uiBoxes_(uiBoxes), relay_(std::make_unique<QObject>()) {}

WorkerBoxes::~WorkerBoxes() {
    Release();
}

void WorkerBoxes::Show(std::string_view text, std::string_view caption, MessageIcon icon) {
    std::future<void> answered;
    {
        std::unique_lock lock(mutex_);
        if (!relay_) {
            return;
        }
        if (QThread::currentThread() == relay_->thread()) {
            // The box runs a nested event loop, which may run a worker's queued box.
            lock.unlock();
            uiBoxes_.Show(text, caption, icon);
            return;
        }
        // The promise travels with the queued call: run, it is kept; dropped unrun (Release),
        // it is abandoned. Either way the wait below ends.
        auto shown = std::make_shared<std::promise<void>>();
        answered = shown->get_future();
        QMetaObject::invokeMethod(
            relay_.get(),
            [boxes = &uiBoxes_, text = std::string(text), caption = std::string(caption), icon,
             shown] {
                boxes->Show(text, caption, icon);
                shown->set_value();
            },
            Qt::QueuedConnection);
    }
    answered.wait();
}

void WorkerBoxes::Release() {
    std::unique_ptr<QObject> relay;
    {
        const std::lock_guard lock(mutex_);
        relay = std::move(relay_);
    }
    // Deleting the relay deletes the calls still queued to it, outside the lock, since a
    // dropped call's promise wakes its worker.
}

}  // namespace brimlo::app
