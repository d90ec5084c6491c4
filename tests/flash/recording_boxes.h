#pragma once
// Boxes that remember what they were shown, for the suites that need no device.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/message_boxes.h"

namespace brimlo::flash::testing {

struct ShownBox {
    std::string text, caption;
    MessageIcon icon;
};

class RecordingBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        shown.push_back({std::string(text), std::string(caption), icon});
        if (onShow) {
            onShow();
        }
    }
    std::vector<ShownBox> shown;
    std::function<void()> onShow;
};

}  // namespace brimlo::flash::testing
