#include "win32/win32_template.h"

#include <commctrl.h>

#include <string>

#include "files/utf16_text.h"

namespace brimlo::win32 {
namespace {

using app::ControlKind;
using app::TextAlign;

void AlignTo(std::vector<WORD>& out, std::size_t bytes) {
    while ((out.size() * sizeof(WORD)) % bytes != 0) {
        out.push_back(0);
    }
}

void PutDword(std::vector<WORD>& out, DWORD value) {
    out.push_back(LOWORD(value));
    out.push_back(HIWORD(value));
}

void PutText(std::vector<WORD>& out, std::wstring_view text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

// Radio buttons form exclusive groups between group starts: a group box starts one, and so
// does the first radio button of each group, so that the labels and fields between a group's
// radio buttons stay inside it.
bool StartsGroup(const app::ControlTemplate& control, std::size_t index) {
    return index == 0 || control.kind == ControlKind::GroupBox || control.id == app::kIdRegister ||
           control.id == app::kIdEntireFlash;
}

DWORD StaticAlign(TextAlign align) {
    switch (align) {
        case TextAlign::Centre:
            return SS_CENTER;
        case TextAlign::Right:
            return SS_RIGHT;
        case TextAlign::Left:
            break;
    }
    return SS_LEFT;
}

DWORD EditAlign(TextAlign align) {
    switch (align) {
        case TextAlign::Centre:
            return ES_CENTER;
        case TextAlign::Right:
            return ES_RIGHT;
        case TextAlign::Left:
            break;
    }
    return ES_LEFT;
}

void PutItem(std::vector<WORD>& out, DWORD style, const app::DialogRect& rect, int id,
             const wchar_t* windowClass, std::wstring_view caption) {
    AlignTo(out, sizeof(DWORD));
    PutDword(out, 0);  // help id
    PutDword(out, 0);  // extended style
    PutDword(out, style | WS_CHILD | WS_VISIBLE);
    out.push_back(static_cast<WORD>(rect.x));
    out.push_back(static_cast<WORD>(rect.y));
    out.push_back(static_cast<WORD>(rect.width));
    out.push_back(static_cast<WORD>(rect.height));
    PutDword(out, static_cast<DWORD>(id == app::kNoId ? -1 : id));
    PutText(out, windowClass);
    PutText(out, caption);
    out.push_back(0);  // no creation data
}

// The window class and styles a row of the table becomes.
const wchar_t* ControlClass(ControlKind kind) {
    switch (kind) {
        case ControlKind::GroupBox:
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton:
        case ControlKind::RadioButton:
        case ControlKind::CheckBox:
            return WC_BUTTONW;
        case ControlKind::Label:
            return WC_STATICW;
        case ControlKind::HexEntry:
        case ControlKind::Entry:
        case ControlKind::ReadOnlyEntry:
            return WC_EDITW;
        case ControlKind::ComboBox:
            return WC_COMBOBOXW;
        case ControlKind::ProgressBar:
            return PROGRESS_CLASSW;
    }
    return WC_STATICW;
}

DWORD ControlStyle(const app::ControlTemplate& control, bool groupStart) {
    DWORD style = groupStart ? WS_GROUP : 0;
    constexpr DWORD kEntry = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    switch (control.kind) {
        case ControlKind::GroupBox:
            return style | BS_GROUPBOX;
        case ControlKind::Label:
            return style | StaticAlign(control.align);
        case ControlKind::HexEntry:
        case ControlKind::Entry:
            return style | kEntry | EditAlign(control.align);
        case ControlKind::ReadOnlyEntry:
            return style | kEntry | ES_READONLY | EditAlign(control.align);
        case ControlKind::PushButton:
            return style | BS_PUSHBUTTON | WS_TABSTOP;
        case ControlKind::DefaultPushButton:
            return style | BS_DEFPUSHBUTTON | WS_TABSTOP;
        case ControlKind::RadioButton:
            return style | BS_AUTORADIOBUTTON | WS_TABSTOP;
        case ControlKind::CheckBox:
            return style | BS_AUTOCHECKBOX | WS_TABSTOP;
        case ControlKind::ComboBox:
            return style | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP;
        case ControlKind::ProgressBar:
            return style | WS_BORDER;
    }
    return style;
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const app::DialogTemplate& dialog, DWORD style, DWORD exStyle,
                                      bool withIcon) {
    std::vector<WORD> out;
    out.push_back(1);       // dlgVer
    out.push_back(0xFFFF);  // signature: DLGTEMPLATEEX
    PutDword(out, 0);       // help id
    PutDword(out, exStyle);
    PutDword(out, style);
    out.push_back(static_cast<WORD>(dialog.controls.size() + (withIcon ? 1 : 0)));
    out.push_back(0);  // x, y: DS_CENTER places the window
    out.push_back(0);
    out.push_back(static_cast<WORD>(dialog.width));
    out.push_back(static_cast<WORD>(dialog.height));
    out.push_back(0);  // no menu
    out.push_back(0);  // the dialog class
    PutText(out, files::Utf16FromUtf8(dialog.title));
    out.push_back(kDialogFontPoints);
    out.push_back(FW_NORMAL);
    out.push_back(0);  // italic, character set
    PutText(out, kDialogFont);

    for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
        const app::ControlTemplate& control = dialog.controls[i];
        PutItem(out, ControlStyle(control, StartsGroup(control, i)), control.rect, control.id,
                ControlClass(control.kind), files::Utf16FromUtf8(control.caption));
    }
    if (withIcon) {
        // A static of class STATIC (0xFFFF 0x0082) showing icon resource 128 by ordinal.
        AlignTo(out, sizeof(DWORD));
        PutDword(out, 0);
        PutDword(out, 0);
        PutDword(out, SS_ICON | WS_CHILD | WS_VISIBLE);
        for (const WORD value : {WORD{14}, WORD{14}, WORD{21}, WORD{20}}) {
            out.push_back(value);
        }
        PutDword(out, static_cast<DWORD>(-1));
        out.push_back(0xFFFF);
        out.push_back(0x0082);
        out.push_back(0xFFFF);
        out.push_back(kIconResource);
        out.push_back(0);
    }
    return out;
}

}  // namespace brimlo::win32
