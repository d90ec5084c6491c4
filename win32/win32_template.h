#pragma once
// The dialog template in memory, as DialogBoxIndirectParamW takes it: a DLGTEMPLATEEX with one
// DLGITEMTEMPLATEEX per row of the control table the Qt view builds from too, in its order
// (the tab order), in dialog units, font "MS Shell Dlg" 8 points.

#include <windows.h>

#include <vector>

#include "dialog/dialog_template.h"

namespace brimlo::win32 {

inline constexpr wchar_t kDialogFont[] = L"MS Shell Dlg";
inline constexpr WORD kDialogFontPoints = 8;
// The application icon and the About command's text, as the resource script names them.
inline constexpr WORD kIconResource = 128;
inline constexpr UINT kAboutStringResource = 101;

// The window styles of the main dialog: caption, system menu and a sizing border without
// minimize or maximize box, a taskbar button; the controls keep their positions.
inline constexpr DWORD kMainDialogStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SHELLFONT | DS_MODALFRAME | DS_CENTER;
inline constexpr DWORD kMainDialogExStyle = WS_EX_APPWINDOW;
inline constexpr DWORD kAboutDialogStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SHELLFONT | DS_MODALFRAME | DS_CENTER;

// `withIcon` puts the application icon at 14, 14, as the About box shows it.
std::vector<WORD> BuildDialogTemplate(const app::DialogTemplate& dialog, DWORD style, DWORD exStyle,
                                      bool withIcon = false);

}  // namespace brimlo::win32
