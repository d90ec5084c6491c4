#pragma once
// The hexadecimal entry field on Win32: a subclassed EDIT (SetWindowSubclass) that keeps all of
// the edit control's behaviour while the field's text rules filter WM_CHAR, WM_PASTE and the
// keys that cut or delete, and that offers its own context menu with Convert. The rules are
// the toolkit-free ones of controls/, shared with the Qt widget.

#include <windows.h>

#include <cstdint>

namespace brimlo::win32 {

// The context menu's commands besides the standard edit messages, and Convert's message.
inline constexpr UINT kIdHexSelectAll = 0x0B00;
inline constexpr UINT kIdHexConvert = 0x0B01;
inline constexpr UINT kWmHexConvert = 0x0B01;

class HexEdit {
  public:
    // Subclasses `edit` until it is destroyed.
    static void Attach(HWND edit);
    static bool IsHexEdit(HWND window);

    // Replaces the text by `value` (FormatValue's forms).
    static void SetValue(HWND edit, std::uint32_t value, bool hex, std::uint8_t width);
    // The most characters the user may type or paste; set text is never cut.
    static void SetTextLimit(HWND edit, int limit);

    // The parent's share: every EN_CHANGE of the field (it turns the colours for good), and
    // its WM_CTLCOLOREDIT/WM_CTLCOLORSTATIC, answered with the field's colours.
    static void TextChanged(HWND edit);
    static HBRUSH CtlColor(HWND edit, HDC dc);
    static bool Edited(HWND edit);

    // The context menu for the current text, selection and clipboard; the caller destroys it.
    static HMENU CreateContextMenu(HWND edit);
    // Runs a command of that menu.
    static void RunMenuCommand(HWND edit, UINT command);
};

}  // namespace brimlo::win32
