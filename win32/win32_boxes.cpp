#include "win32/win32_boxes.h"

#include "files/utf16_text.h"

namespace brimlo::win32 {

void Win32MessageBoxes::Show(std::string_view text, std::string_view caption, MessageIcon icon) {
    UINT type = MB_OK;
    switch (icon) {
        case MessageIcon::Error:
            type |= MB_ICONERROR;
            break;
        case MessageIcon::Information:
            type |= MB_ICONINFORMATION;
            break;
        case MessageIcon::Warning:
            type |= MB_ICONWARNING;
            break;
    }
    ::MessageBoxW(owner_, files::Utf16FromUtf8(text).c_str(), files::Utf16FromUtf8(caption).c_str(),
                  type);
}

}  // namespace brimlo::win32
