#include "win32/hex_edit_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "controls/hex_number.h"
#include "controls/hex_text_rules.h"

namespace brimlo::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x4845;  // "HE"
// The field's state is found by this window property too: mingw-w64's comctl32 import library
// has no GetWindowSubclass.
constexpr wchar_t kStateProperty[] = L"BrimloHexEditState";

// Orange on yellow while the text has never changed, slate on green from the first change on.
constexpr COLORREF kFreshText = RGB(192, 97, 10);
constexpr COLORREF kFreshBack = RGB(251, 244, 170);
constexpr COLORREF kEditedText = RGB(74, 115, 132);
constexpr COLORREF kEditedBack = RGB(219, 247, 220);

struct FieldState {
    bool edited = false;
    // The text is the decimal form written by Convert or SetValue, unchanged since.
    bool showsDecimal = false;
    HBRUSH freshBrush = ::CreateSolidBrush(kFreshBack);
    HBRUSH editedBrush = ::CreateSolidBrush(kEditedBack);
};

FieldState* StateOf(HWND edit) {
    return static_cast<FieldState*>(::GetPropW(edit, kStateProperty));
}

std::u16string TextOf(HWND edit) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return std::u16string(text.begin(), text.end());
}

void SetText(HWND edit, const std::u16string& text) {
    const std::wstring wide(text.begin(), text.end());
    ::SetWindowTextW(edit, wide.c_str());
}

controls::TextSelection SelectionOf(HWND edit) {
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
}

bool ReadOnly(HWND edit) {
    return (::GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) != 0;
}

// The clipboard's text, or nothing when it holds none. When it cannot be opened the user is
// told, and whether it offers text at all decides.
std::optional<std::u16string> ClipboardText(HWND edit) {
    if (!::OpenClipboard(edit)) {
        ::MessageBoxW(edit, L"Cannot open clipboard!", nullptr, MB_OK);
        return ::IsClipboardFormatAvailable(CF_UNICODETEXT) ? std::optional(std::u16string())
                                                            : std::nullopt;
    }
    std::optional<std::u16string> text;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const char16_t*>(::GlobalLock(data))) {
            text = std::u16string(chars);
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

bool PasteAllowed(HWND edit, const std::optional<std::u16string>& clip) {
    return clip && !ReadOnly(edit) &&
           controls::IsPasteAllowed(TextOf(edit), SelectionOf(edit), *clip);
}

// The checked paste, cut to the room the text limit leaves, as the edit control cuts a paste.
void PasteChecked(HWND edit) {
    const std::optional<std::u16string> clip = ClipboardText(edit);
    if (!PasteAllowed(edit, clip)) {
        return;
    }
    const int limit = static_cast<int>(::SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
    const int room = controls::RoomLeft(TextOf(edit), SelectionOf(edit), limit);
    const std::wstring inserted(clip->begin(),
                                clip->begin() + std::max(0, std::min<int>(room, clip->size())));
    ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(inserted.c_str()));
}

// The menu's edit commands first bring the clipboard text into the field's own form.
void NormalizeClipboardText(HWND edit) {
    if (!::OpenClipboard(edit)) {
        return;
    }
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        std::u16string original;
        if (const auto* chars = static_cast<const char16_t*>(::GlobalLock(data))) {
            original = chars;
            ::GlobalUnlock(data);
        }
        const std::u16string normalized = controls::NormalizeHexText(original);
        if (normalized != original) {
            const std::size_t bytes = (normalized.size() + 1) * sizeof(char16_t);
            if (const HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
                std::memcpy(::GlobalLock(copy), normalized.c_str(), bytes);
                ::GlobalUnlock(copy);
                ::EmptyClipboard();
                if (::SetClipboardData(CF_UNICODETEXT, copy) == nullptr) {
                    ::GlobalFree(copy);
                }
            }
        }
    }
    ::CloseClipboard();
}

void Convert(HWND edit, FieldState& state) {
    const bool toHex = state.showsDecimal;
    SetText(edit, controls::ConvertedText(TextOf(edit), toHex));
    state.showsDecimal = !toHex;
}

LRESULT CALLBACK HexEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR data) {
    auto& state = *reinterpret_cast<FieldState*>(data);
    switch (message) {
        case WM_CHAR: {
            const auto ch = static_cast<char16_t>(wParam);
            if (ch == 0x16) {  // Ctrl+V
                ::SendMessageW(edit, WM_PASTE, 0, 0);
                return 0;
            }
            if (ch == 0x18 && controls::SelectsPrefixZeroOnly(TextOf(edit), SelectionOf(edit))) {
                return 0;  // Ctrl+X of the prefix's "0" alone
            }
            const std::optional<char16_t> filtered =
                controls::FilterTypedCharacter(TextOf(edit), SelectionOf(edit), ch);
            if (!filtered) {
                return 0;
            }
            return ::DefSubclassProc(edit, message, *filtered, lParam);
        }
        case WM_KEYDOWN:
            if (wParam == VK_DELETE &&
                controls::BlocksForwardDelete(TextOf(edit), SelectionOf(edit))) {
                return 0;
            }
            if (wParam == VK_INSERT && (::GetKeyState(VK_SHIFT) & 0x8000) != 0) {
                ::SendMessageW(edit, WM_PASTE, 0, 0);
                return 0;
            }
            break;
        case WM_PASTE:
            PasteChecked(edit);
            return 0;
        case WM_CONTEXTMENU: {
            const HMENU menu = HexEdit::CreateContextMenu(edit);
            POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (at.x == -1 && at.y == -1) {  // from the keyboard: at the field
                at = {0, 0};
                ::ClientToScreen(edit, &at);
            }
            const UINT command = static_cast<UINT>(::TrackPopupMenu(
                menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, edit, nullptr));
            ::DestroyMenu(menu);
            if (command != 0) {
                HexEdit::RunMenuCommand(edit, command);
            }
            return 0;
        }
        case kWmHexConvert:
            Convert(edit, state);
            return 0;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(edit, &HexEditProc, kSubclassId);
            ::RemovePropW(edit, kStateProperty);
            ::DeleteObject(state.freshBrush);
            ::DeleteObject(state.editedBrush);
            delete &state;
            return ::DefSubclassProc(edit, message, wParam, lParam);
        default:
            break;
    }
    return ::DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

void HexEdit::Attach(HWND edit) {
    auto* state = new FieldState;
    ::SetPropW(edit, kStateProperty, state);
    ::SetWindowSubclass(edit, &HexEditProc, kSubclassId, reinterpret_cast<DWORD_PTR>(state));
}

bool HexEdit::IsHexEdit(HWND window) {
    return StateOf(window) != nullptr;
}

void HexEdit::SetValue(HWND edit, std::uint32_t value, bool hex, std::uint8_t width) {
    SetText(edit, controls::FormatValue(value, hex, width));
    if (FieldState* state = StateOf(edit)) {
        state->showsDecimal = !hex;
    }
}

void HexEdit::SetTextLimit(HWND edit, int limit) {
    ::SendMessageW(edit, EM_SETLIMITTEXT, static_cast<WPARAM>(limit), 0);
}

void HexEdit::TextChanged(HWND edit) {
    if (FieldState* state = StateOf(edit)) {
        state->edited = true;
        state->showsDecimal = false;
        ::RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

HBRUSH HexEdit::CtlColor(HWND edit, HDC dc) {
    const FieldState* state = StateOf(edit);
    if (state == nullptr) {
        return nullptr;
    }
    ::SetTextColor(dc, state->edited ? kEditedText : kFreshText);
    ::SetBkColor(dc, state->edited ? kEditedBack : kFreshBack);
    return state->edited ? state->editedBrush : state->freshBrush;
}

bool HexEdit::Edited(HWND edit) {
    const FieldState* state = StateOf(edit);
    return state != nullptr && state->edited;
}

HMENU HexEdit::CreateContextMenu(HWND edit) {
    const std::u16string text = TextOf(edit);
    const controls::TextSelection selection = SelectionOf(edit);
    ::SetFocus(edit);
    const bool readOnly = ReadOnly(edit);
    const bool hasSelection = selection.start != selection.end;
    const bool canRemove =
        hasSelection && !readOnly && !controls::SelectsPrefixZeroOnly(text, selection);
    const bool canPaste = PasteAllowed(edit, ClipboardText(edit));
    const bool allSelected = selection.start == 0 && selection.end == static_cast<int>(text.size());

    const HMENU menu = ::CreatePopupMenu();
    const auto add = [menu](UINT id, const wchar_t* caption, bool enabled) {
        ::AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, caption);
    };
    add(WM_UNDO, L"&Undo", ::SendMessageW(edit, EM_CANUNDO, 0, 0) != 0 && !readOnly);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(WM_CUT, L"Cu&t", canRemove);
    add(WM_COPY, L"&Copy", hasSelection);
    add(WM_PASTE, L"&Paste", canPaste);
    add(WM_CLEAR, L"&Delete", canRemove);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(kIdHexSelectAll, L"Select &All", !text.empty() && !allSelected);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(kIdHexConvert, L"Con&vert", !text.empty() && text != u"0x");
    return menu;
}

void HexEdit::RunMenuCommand(HWND edit, UINT command) {
    switch (command) {
        case WM_UNDO:
        case WM_CUT:
        case WM_COPY:
        case WM_PASTE:
        case WM_CLEAR:
            NormalizeClipboardText(edit);
            ::SendMessageW(edit, command, 0, 0);
            break;
        case kIdHexSelectAll:
            ::SendMessageW(edit, EM_SETSEL, 0, -1);
            break;
        case kIdHexConvert:
            ::SendMessageW(edit, kWmHexConvert, 0, 0);
            break;
        default:
            break;
    }
}

}  // namespace brimlo::win32
