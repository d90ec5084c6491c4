#pragma once
// Message boxes through MessageBoxW, owned by the dialog once it exists.

#include <windows.h>

#include "commands/message_boxes.h"

namespace brimlo::win32 {

class Win32MessageBoxes final : public MessageBoxes {
  public:
    void SetOwner(HWND owner) { owner_ = owner; }
    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override;

  private:
    HWND owner_ = nullptr;
};

}  // namespace brimlo::win32
