// Drives a running brimlo-hid-tool.exe from another process, as the screenshot script needs it:
// each argument is one step on the dialog titled "BRIMLO HID tool".
//   dialog_remote click:ID | text:ID:TEXT | wait:MS ...
// click presses the control with that identifier, text replaces a field's text. Exits 1 when
// the dialog does not appear within ten seconds or a control is missing.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
    HWND dialog = nullptr;
    for (int tries = 0; tries < 100 && dialog == nullptr; ++tries) {
        dialog = ::FindWindowW(nullptr, L"BRIMLO HID tool");
        if (dialog == nullptr) {
            ::Sleep(100);
        }
    }
    if (dialog == nullptr) {
        std::fprintf(stderr, "dialog_remote: no dialog titled \"BRIMLO HID tool\"\n");
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        const std::wstring step = argv[i];
        const std::size_t colon = step.find(L':');
        const std::wstring verb = step.substr(0, colon);
        const std::wstring rest = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
        if (verb == L"wait") {
            ::Sleep(static_cast<DWORD>(std::wcstoul(rest.c_str(), nullptr, 10)));
            continue;
        }
        const std::size_t second = rest.find(L':');
        const int id = static_cast<int>(std::wcstol(rest.c_str(), nullptr, 10));
        const HWND control = ::GetDlgItem(dialog, id);
        if (control == nullptr) {
            std::fprintf(stderr, "dialog_remote: no control %d\n", id);
            return 1;
        }
        if (verb == L"click") {
            ::SendMessageW(control, BM_CLICK, 0, 0);
        } else if (verb == L"text" && second != std::wstring::npos) {
            ::SendMessageW(control, WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>(rest.substr(second + 1).c_str()));
        } else {
            std::fprintf(stderr, "dialog_remote: unknown step\n");
            return 2;
        }
    }
    return 0;
}
