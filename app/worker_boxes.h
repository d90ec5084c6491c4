#pragma once
// Message boxes that a worker thread may raise. The box itself is always shown by the dialog's
// thread: a call from another thread is queued to it, and only the calling worker waits for
// the user's answer. The dialog's thread never blocks on a worker.

#include <QObject>
#include <memory>
#include <mutex>

#include "commands/message_boxes.h"

namespace brimlo::app {

class WorkerBoxes final : public MessageBoxes {
  public:
    // Created on the dialog's thread; `uiBoxes` shows the boxes there.
    explicit WorkerBoxes(MessageBoxes& uiBoxes);
    ~WorkerBoxes() override;

    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override;

    // From now on boxes are dropped, and a worker waiting for one is released unanswered: for
    // a dialog that goes away while a worker still runs.
    void Release();

  private:
    MessageBoxes& uiBoxes_;
    // Receives the queued calls on the dialog's thread; deleting it drops those not yet run.
    std::unique_ptr<QObject> relay_;
    std::mutex mutex_;
};

}  // namespace brimlo::app
