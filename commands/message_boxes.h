#pragma once
// The one road to the user for refusals, failures and completions. The dialog shows modal
// boxes, the command-line tool prints, tests record and answer.

#include <string_view>

namespace brimlo {

enum class MessageIcon { Error, Information, Warning };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Blocks the calling thread until the user has seen the message.
    virtual void Show(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
};

}  // namespace brimlo
