#include "dialog/box_hand_over.h"

#include <utility>

namespace brimlo::app {

BoxHandOver::BoxHandOver(MessageBoxes& uiBoxes, std::function<void()> wake)
    : uiBoxes_(uiBoxes), wake_(std::move(wake)), uiThread_(std::this_thread::get_id()) {}

BoxHandOver::~BoxHandOver() {
    Release();
}

void BoxHandOver::Show(std::string_view text, std::string_view caption, MessageIcon icon) {
    if (std::this_thread::get_id() == uiThread_) {
        uiBoxes_.Show(text, caption, icon);
        return;
    }
    // Shared with the queue: a request taken by the dialog's thread stays valid even when a
    // release lets this worker return before the user has answered.
    auto request =
        std::make_shared<Request>(Request{std::string(text), std::string(caption), icon});
    {
        const std::lock_guard lock(mutex_);
        if (released_) {
            return;
        }
        queue_.push_back(request);
    }
    wake_();
    std::unique_lock lock(mutex_);
    answered_.wait(lock, [&] { return request->answered || released_; });
}

void BoxHandOver::ServePending() {
    for (;;) {
        std::shared_ptr<Request> request;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                return;
            }
            request = std::move(queue_.front());
            queue_.pop_front();
        }
        uiBoxes_.Show(request->text, request->caption, request->icon);
        {
            const std::lock_guard lock(mutex_);
            request->answered = true;
        }
        answered_.notify_all();
    }
}

void BoxHandOver::Release() {
    {
        const std::lock_guard lock(mutex_);
        released_ = true;
        queue_.clear();
    }
    answered_.notify_all();
}

}  // namespace brimlo::app
