#pragma once
// Message boxes that a worker thread may raise, shown by the dialog's thread. A call from
// another thread is queued, the dialog's thread is woken to serve the queue, and only the
// calling worker waits for the user's answer; the dialog's thread never blocks on a worker.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "commands/message_boxes.h"

namespace brimlo::app {

class BoxHandOver final : public MessageBoxes {
  public:
    // Created on the dialog's thread; `uiBoxes` shows the boxes there. `wake` is called from a
    // worker's thread and must make the dialog's thread call ServePending soon (a posted
    // window message, for instance).
    BoxHandOver(MessageBoxes& uiBoxes, std::function<void()> wake);
    ~BoxHandOver() override;

    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override;

    // On the dialog's thread: shows the boxes queued so far, one after the other.
    void ServePending();

    // From now on boxes are dropped, and a worker waiting for one is released unanswered: for
    // a dialog that goes away while a worker still runs.
    void Release();

  private:
    struct Request {
        std::string text;
        std::string caption;
        MessageIcon icon;
        bool answered = false;
    };

    MessageBoxes& uiBoxes_;
    std::function<void()> wake_;
    const std::thread::id uiThread_;
    std::mutex mutex_;
    std::condition_variable answered_;
    std::deque<std::shared_ptr<Request>> queue_;
    bool released_ = false;
};

}  // namespace brimlo::app
