#include "win32/dialog_base.h"

#include "files/utf16_text.h"

namespace brimlo::win32 {

DialogBase::~DialogBase() {
    if (hwnd_ != nullptr && !modal_) {
        ::DestroyWindow(hwnd_);
    }
}

INT_PTR DialogBase::RunModal(const std::vector<WORD>& dialogTemplate, HWND owner) {
    modal_ = true;
    return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr),
                                     reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                     owner, &DialogProc, reinterpret_cast<LPARAM>(this));
}

HWND DialogBase::CreateModeless(const std::vector<WORD>& dialogTemplate, HWND owner) {
    modal_ = false;
    return ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                        reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                        owner, &DialogProc, reinterpret_cast<LPARAM>(this));
}

void DialogBase::End(INT_PTR result) {
    ended_ = true;
    result_ = result;
    CloseOwnedWindows();
    if (modal_) {
        ::EndDialog(hwnd_, result);
    } else {
        ::DestroyWindow(hwnd_);
    }
}

// A box or chooser still open over the dialog (one shown while a run held the close) would
// otherwise stay on screen, alone and out of date, holding the process until dismissed.
void DialogBase::CloseOwnedWindows() const {
    struct Search {
        HWND owner;
        std::vector<HWND> owned;
    } search{hwnd_, {}};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* found = reinterpret_cast<Search*>(param);
            if (::GetWindow(window, GW_OWNER) == found->owner) {
                found->owned.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    for (const HWND window : search.owned) {
        ::SendMessageW(window, WM_CLOSE, 0, 0);
    }
}

HWND DialogBase::Item(int id) const {
    if (const auto known = items_.find(id); known != items_.end()) {
        return known->second;
    }
    const HWND item = ::GetDlgItem(hwnd_, id);
    if (item != nullptr) {
        items_.emplace(id, item);
    }
    return item;
}

std::wstring DialogBase::ItemText(int id) const {
    const HWND item = Item(id);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

void DialogBase::SetItemText(int id, std::wstring_view text) const {
    ::SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(std::wstring(text).c_str()));
}

std::string DialogBase::ItemTextUtf8(int id) const {
    return files::Utf8FromUtf16(ItemText(id));
}

void DialogBase::SetItemTextUtf8(int id, std::string_view text) const {
    SetItemText(id, files::Utf16FromUtf8(text));
}

INT_PTR CALLBACK DialogBase::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<DialogBase*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        dialog->hwnd_ = hwnd;
        return dialog->OnInit() ? TRUE : FALSE;
    }
    auto* dialog = reinterpret_cast<DialogBase*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        dialog->hwnd_ = nullptr;
        dialog->items_.clear();
        return FALSE;
    }
    return dialog->Dispatch(message, wParam, lParam);
}

INT_PTR DialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (OnCommand(id, code, reinterpret_cast<HWND>(lParam))) {
            return TRUE;
        }
        if (id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    }
    bool handled = false;
    const INT_PTR result = OnMessage(message, wParam, lParam, handled);
    if (!handled) {
        return FALSE;
    }
    // Messages that return a value of their own (colour brushes) are answered directly; the
    // others through DWLP_MSGRESULT.
    switch (message) {
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            return result;
        default:
            ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
            return TRUE;
    }
}

}  // namespace brimlo::win32
