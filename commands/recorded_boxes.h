#pragma once

#include <string>
#include <string_view>

#include "commands/message_boxes.h"

namespace brimlo {

// Boxes for a job no one watches: keeps the last error or warning for the job's report;
// informations (the closing box) are left to the outcome.
class RecordedBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view, MessageIcon icon) override {
        if (icon != MessageIcon::Information) {
            last = text;
        }
    }
    std::string last;
};

}  // namespace brimlo
