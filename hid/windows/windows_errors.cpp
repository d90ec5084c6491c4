#include "hid/windows/windows_errors.h"

#include "files/utf16_text.h"

namespace brimlo::hid {

std::string WindowsErrorText(const WinHidApi& api, DWORD error) {
    wchar_t text[512];
    const DWORD length = api.FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text / sizeof text[0]);
    std::wstring_view message(text, length);
    // The system's texts end in a line break (and some in a full stop before it).
    while (!message.empty() &&
           (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
        message.remove_suffix(1);
    }
    const std::string code = "error " + std::to_string(error);
    if (message.empty()) {
        return code;
    }
    return files::Utf8FromUtf16(message) + " (" + code + ")";
}

}  // namespace brimlo::hid
