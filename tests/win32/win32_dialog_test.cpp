// The Win32 dialog under Wine over the emulated device: the window built from the control
// table, the enabling rules around Open Device, the panel buttons' wire bytes, the registry
// setting, the hex fields' filtering, and burn and dump on the worker thread.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <cwchar>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "dialog/dialog_template.h"
#include "files/utf16_text.h"
#include "flash/flash_messages.h"
#include "win32/command_line.h"
#include "win32/hex_edit_win32.h"
#include "win32/win32_template.h"
#include "win32_dialog_test_support.h"

namespace brimlo::win32::testing {
namespace {

using namespace app;
using flash::testing::Bytes;
using flash::testing::FlashImage;
using flash::testing::TempDir;

class Win32DialogTest : public ::testing::Test {
  protected:
    void SetUp() override { Win32Run::ClearSetting(); }
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

LONG StyleOf(HWND window) {
    return ::GetWindowLongW(window, GWL_STYLE);
}

void PutClipboard(HWND owner, const wchar_t* text) {
    ASSERT_TRUE(::OpenClipboard(owner));
    ::EmptyClipboard();
    const std::size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    const HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(::GlobalLock(copy), text, bytes);
    ::GlobalUnlock(copy);
    ::SetClipboardData(CF_UNICODETEXT, copy);
    ::CloseClipboard();
}

bool MenuItemEnabled(HMENU menu, UINT id) {
    return (::GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
}

TEST_F(Win32DialogTest, TheWindowIsBuiltFromTheControlTable) {
    Win32Run run;
    const HWND dialog = run.Create();
    ASSERT_NE(dialog, nullptr);
    wchar_t title[64] = {};
    ::GetWindowTextW(dialog, title, 64);
    EXPECT_STREQ(title, L"BRIMLO HID tool");
    const LONG style = StyleOf(dialog);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(::GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font,
                 &font);
    EXPECT_EQ(std::wstring(font.lfFaceName).rfind(L"MS Shell Dlg", 0), 0u) << font.lfFaceName;
    const HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72));
    ::ReleaseDC(nullptr, screen);

    // Every identified control where the template puts it, in dialog units, with its caption
    // and the window class of its kind.
    const std::map<ControlKind, std::wstring> classes = {
        {ControlKind::GroupBox, L"Button"},
        {ControlKind::Label, L"Static"},
        {ControlKind::HexEntry, L"Edit"},
        {ControlKind::Entry, L"Edit"},
        {ControlKind::ReadOnlyEntry, L"Edit"},
        {ControlKind::PushButton, L"Button"},
        {ControlKind::DefaultPushButton, L"Button"},
        {ControlKind::RadioButton, L"Button"},
        {ControlKind::CheckBox, L"Button"},
        {ControlKind::ComboBox, L"ComboBox"},
        {ControlKind::ProgressBar, L"msctls_progress32"},
    };
    int identified = 0;
    for (const ControlTemplate& control : MainDialogTemplate().controls) {
        if (control.id == kNoId) {
            continue;
        }
        ++identified;
        const HWND item = run.Item(control.id);
        ASSERT_NE(item, nullptr) << control.id;
        EXPECT_EQ(_wcsicmp(ClassOf(item).c_str(), classes.at(control.kind).c_str()), 0)
            << control.id;
        const bool entry =
            control.kind == ControlKind::HexEntry || control.kind == ControlKind::ComboBox;
        if (!entry) {
            const std::wstring caption(control.caption, control.caption + strlen(control.caption));
            EXPECT_EQ(run.Text(control.id), caption) << control.id;
        }
        // The dialog manager converts the position and the size, each on its own.
        RECT expected{control.rect.x, control.rect.y, control.rect.width, control.rect.height};
        ::MapDialogRect(dialog, &expected);
        RECT actual{};
        ::GetWindowRect(item, &actual);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left) << control.id;
        EXPECT_EQ(actual.top, expected.top) << control.id;
        EXPECT_EQ(actual.right - actual.left, expected.right) << control.id;
        if (control.kind != ControlKind::ComboBox) {  // closed, a combo box is shorter
            EXPECT_EQ(actual.bottom - actual.top, expected.bottom) << control.id;
        }
    }
    EXPECT_EQ(identified, 48);

    // The styles the kinds and alignments ask for.
    EXPECT_EQ(StyleOf(run.Item(kIdOk)) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(StyleOf(run.Item(kIdVendorId)) & ES_CENTER);
    EXPECT_TRUE(StyleOf(run.Item(kIdRegisterValue)) & ES_RIGHT);
    EXPECT_TRUE(StyleOf(run.Item(kIdDeviceInfo)) & ES_READONLY);
    EXPECT_TRUE(StyleOf(run.Item(kIdHdmiInfo)) & ES_READONLY);
    EXPECT_TRUE(StyleOf(run.Item(kIdBurnFile)) & ES_AUTOHSCROLL);
    EXPECT_EQ(StyleOf(run.Item(kIdGpioNumber)) & (CBS_DROPDOWN | CBS_SORT),
              CBS_DROPDOWN | CBS_SORT);
    EXPECT_EQ(StyleOf(run.Item(kIdAreaFirmware)) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_TRUE(HexEdit::IsHexEdit(run.Item(kIdRegisterAddress)));
    EXPECT_FALSE(HexEdit::IsHexEdit(run.Item(kIdBurnFile)));

    // A bigger frame moves no control; the tab order starts at "OK".
    RECT before{};
    ::GetWindowRect(run.Item(kIdGetHdmiInfo), &before);
    RECT frame{};
    ::GetWindowRect(dialog, &frame);
    ::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left + 200,
                   frame.bottom - frame.top + 100, SWP_NOMOVE | SWP_NOZORDER);
    RECT after{};
    ::GetWindowRect(run.Item(kIdGetHdmiInfo), &after);
    EXPECT_TRUE(::EqualRect(&before, &after));
    EXPECT_EQ(::GetNextDlgTabItem(dialog, nullptr, FALSE), run.Item(kIdOk));
    EXPECT_EQ(::GetNextDlgTabItem(dialog, run.Item(kIdOk), FALSE), run.Item(kIdVendorId));

    // The radio buttons form their two groups across the labels and fields between them.
    run.Click(kIdOpenDevice);
    run.Click(kIdIic);
    EXPECT_TRUE(run.Checked(kIdIic));
    EXPECT_FALSE(run.Checked(kIdRegister));
    run.Click(kIdOtherArea);
    EXPECT_TRUE(run.Checked(kIdOtherArea));
    EXPECT_FALSE(run.Checked(kIdEntireFlash));
    EXPECT_TRUE(run.Checked(kIdIic));

    // The About command closes the system menu, after a separator.
    const HMENU system = ::GetSystemMenu(dialog, FALSE);
    const int items = ::GetMenuItemCount(system);
    wchar_t about[64] = {};
    ::GetMenuStringW(system, static_cast<UINT>(items - 1), about, 64, MF_BYPOSITION);
    EXPECT_STREQ(about, L"&About BRIMLO HID Tool...");
    EXPECT_EQ(::GetMenuItemID(system, items - 1), kIdAboutCommand);
    EXPECT_TRUE(::GetMenuState(system, static_cast<UINT>(items - 2), MF_BYPOSITION) & MF_SEPARATOR);

    // The About command shows the About box modally; another thread reads and closes it.
    std::vector<std::wstring> texts;
    bool hasIcon = false;
    std::thread reader([&] {
        HWND about = nullptr;
        for (int tries = 0; tries < 500 && about == nullptr; ++tries) {
            about = ::FindWindowW(nullptr, L"About BRIMLO HID Tool");
            ::Sleep(10);
        }
        for (HWND child = ::GetWindow(about, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            wchar_t text[128] = {};
            ::SendMessageW(child, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text));
            texts.push_back(text);
            hasIcon = hasIcon || ::SendMessageW(child, STM_GETICON, 0, 0) != 0;
        }
        ::PostMessageW(about, WM_COMMAND, IDOK, 0);
    });
    ::SendMessageW(dialog, WM_SYSCOMMAND, kIdAboutCommand, 0);
    reader.join();
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"BRIMLO HID Tool, Version 1.0.4.0"),
              texts.end());
    EXPECT_TRUE(hasIcon);
}

TEST_F(Win32DialogTest, OpenDeviceSwitchesTheEnablingAndFillsThePanels) {
    Win32Run run;
    run.Create();
    for (const int id : {kIdBurnFileBrowse, kIdDumpFileBrowse, kIdBurn, kIdDump, kIdGetFwVersion,
                         kIdGetHdmiInfo}) {
        EXPECT_FALSE(run.Enabled(id)) << id;
    }
    EXPECT_EQ(run.Text(kIdStatus), L"Static");
    EXPECT_EQ(run.Text(kIdVendorId), L"1209");
    // Without a device the buttons refuse before sending anything.
    EXPECT_TRUE(run.Exchanges(kIdRead).empty());
    EXPECT_TRUE(run.Exchanges(kIdGetId).empty());
    ASSERT_EQ(run.boxes.shown.size(), 2u);
    EXPECT_EQ(run.boxes.shown[0].text, "HID Device no found !");

    run.Click(kIdOpenDevice);
    EXPECT_FALSE(run.Enabled(kIdOpenDevice));
    EXPECT_FALSE(run.dialog->Ended());
    for (const int id : {kIdBurnFileBrowse, kIdDumpFileBrowse, kIdGetFwVersion, kIdGetHdmiInfo}) {
        EXPECT_TRUE(run.Enabled(id)) << id;
    }
    EXPECT_FALSE(run.Enabled(kIdBurn));
    EXPECT_EQ(run.Text(kIdDeviceInfo).rfind(L"Device #0: VID: 0x1209  PID: 0x0001", 0), 0u);
    EXPECT_TRUE(run.Checked(kIdRegister));
    EXPECT_EQ(run.Text(kIdRegisterAddress), L"03FF0000");
    EXPECT_EQ(run.Text(kIdIicData), L"0F00");
    EXPECT_EQ(run.Text(kIdStatus), L"Status: Wait");
    EXPECT_EQ(run.Text(kIdProgressTotal), L"0");
    EXPECT_EQ(::SendMessageW(run.Item(kIdGpioNumber), CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(::SendMessageW(run.Item(kIdGpioDirection), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(run.Item(kIdIicAddress), EM_GETLIMITTEXT, 0, 0), 2);
}

TEST_F(Win32DialogTest, NoMatchingDeviceIsToldAndClosesTheDialogAsCancel) {
    Win32Run run;
    run.Create();
    run.Click(kIdOtherArea);
    run.SetText(kIdVendorId, L"FFFF");
    run.Click(kIdOpenDevice);
    ASSERT_EQ(run.boxes.shown.size(), 1u);
    EXPECT_EQ(run.boxes.shown[0].text.rfind("HID Device no found !", 0), 0u);
    EXPECT_TRUE(run.PumpUntil([&] { return run.dialog->Ended(); }, 5000));
    EXPECT_EQ(run.dialog->Result(), IDCANCEL);
    EXPECT_TRUE(run.dialog->EndedWithoutDevice());
    EXPECT_FALSE(run.StoredSetting());
}

TEST_F(Win32DialogTest, PanelButtonsSendTheirReportsAndShowTheAnswers) {
    Win32Run run;
    run.Create();
    run.Click(kIdOpenDevice);
    run.SetText(kIdRegisterValue, L"0x12345678");
    std::vector<Exchange> sent = run.Exchanges(kIdWrite);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].op, "set_output");
    EXPECT_EQ(sent[0].data.rfind("020a000000ff0378563412", 0), 0u) << sent[0].data;
    run.SetText(kIdRegisterValue, L"");
    sent = run.Exchanges(kIdRead);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].requestedLength, 0x240);
    EXPECT_EQ(run.Text(kIdRegisterValue), L"12345678");

    // Convert twice gives "0xF6000000" back, and all ten characters are written.
    run.SetText(kIdRegisterValue, L"F6000000");
    ::SendMessageW(run.Item(kIdRegisterValue), kWmHexConvert, 0, 0);
    EXPECT_EQ(run.Text(kIdRegisterValue), L"4127195136");
    HexEdit::RunMenuCommand(run.Item(kIdRegisterValue), kIdHexConvert);
    EXPECT_EQ(run.Text(kIdRegisterValue), L"0xF6000000");
    sent = run.Exchanges(kIdWrite);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data.rfind("020a000000ff03000000f6", 0), 0u) << sent[0].data;

    run.Click(kIdIic);
    run.SetText(kIdIicData, L"215A");
    sent = run.Exchanges(kIdWrite);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].data.rfind("0306069002215a", 0), 0u) << sent[0].data;
    run.SetText(kIdIicData, L"21");
    sent = run.Exchanges(kIdRead);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].data.rfind("03060790012101", 0), 0u) << sent[0].data;
    EXPECT_EQ(run.Text(kIdIicData), L"5a");
    EXPECT_EQ(run.Text(kIdIicReturnCode), L"00");

    run.Click(kIdGpio);
    ::SendMessageW(run.Item(kIdGpioNumber), CB_SETCURSEL, 2, 0);
    ::SendMessageW(run.Item(kIdGpioDirection), CB_SETCURSEL, 1, 0);
    sent = run.Exchanges(kIdSetGpio);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data.rfind("0204080201", 0), 0u) << sent[0].data;
    run.SetText(kIdGpioValue, L"1");
    sent = run.Exchanges(kIdWrite);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data.rfind("0204090201", 0), 0u) << sent[0].data;
    run.SetText(kIdGpioValue, L"");
    sent = run.Exchanges(kIdRead);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(run.Text(kIdGpioValue), L"01");

    sent = run.Exchanges(kIdGetFwVersion);
    EXPECT_EQ(sent.size(), 8u);
    EXPECT_EQ(run.Text(kIdFirmwareVersion), L"01.00.04.10");
    sent = run.Exchanges(kIdGetHdmiInfo);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].requestedLength, 0xB40);
    EXPECT_EQ(run.Text(kIdHdmiInfo),
              L"07 80 04 38 3c 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_TRUE(run.boxes.shown.empty());
}

TEST_F(Win32DialogTest, TheBurnAreaSettingLivesInTheRegistryAndOnlyOkStoresIt) {
    {
        Win32Run run;  // first run: nothing stored
        run.Create();
        EXPECT_TRUE(run.Checked(kIdEntireFlash));
        EXPECT_FALSE(run.Enabled(kIdAreaFirmware));
        run.Click(kIdOtherArea);
        ::SendMessageW(run.hwnd, WM_CLOSE, 0, 0);  // the close box: not stored
        EXPECT_TRUE(run.PumpUntil([&] { return run.dialog->Ended(); }, 5000));
        EXPECT_EQ(run.dialog->Result(), IDCANCEL);
        EXPECT_FALSE(run.StoredSetting());
    }
    for (const DWORD stored : {0u, 2u}) {
        Win32Run run;
        run.StoreSetting(stored);
        run.Create();
        EXPECT_TRUE(run.Checked(kIdOtherArea)) << stored;
        EXPECT_TRUE(run.Enabled(kIdAreaPrivateData)) << stored;
        EXPECT_TRUE(run.Checked(kIdAreaFirmware)) << stored;
        EXPECT_FALSE(run.Checked(kIdAreaPrivateData)) << stored;
    }
    {
        Win32Run run;  // Esc keeps what was stored
        run.Create();
        run.Click(kIdEntireFlash);
        ::SendMessageW(run.hwnd, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(run.StoredSetting(), 2u);
    }
    {
        // Enter in an entry field closes as OK, which stores the choice.
        Win32Run run;
        run.Create();
        run.Click(kIdEntireFlash);
        ::SetFocus(run.Item(kIdVendorId));
        ::PostMessageW(run.Item(kIdVendorId), WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_TRUE(run.PumpUntil([&] { return run.dialog->Ended(); }, 5000));
        EXPECT_EQ(run.dialog->Result(), IDOK);
        EXPECT_EQ(run.StoredSetting(), 1u);
    }
}

TEST_F(Win32DialogTest, HexFieldsRefuseNonHexCharactersAndFilterPastes) {
    Win32Run run;
    run.Create();
    run.Click(kIdOpenDevice);
    const HWND field = run.Item(kIdIicData);  // four characters
    EXPECT_TRUE(HexEdit::Edited(field));      // Open Device wrote into it
    EXPECT_FALSE(HexEdit::Edited(run.Item(kIdHexVersion)));
    run.SetText(kIdIicData, L"");
    for (const wchar_t typed : {L'g', L' ', L'-', L'a', L'X', L'0', L'x'}) {
        ::SendMessageW(field, WM_CHAR, typed, 0);
    }
    EXPECT_EQ(run.Text(kIdIicData), L"A0");  // x completes no prefix after "A"

    const HMENU empty = HexEdit::CreateContextMenu(run.Item(kIdHexVersion));
    EXPECT_FALSE(MenuItemEnabled(empty, kIdHexConvert));
    ::DestroyMenu(empty);

    PutClipboard(run.hwnd, L"12G");
    ::SendMessageW(field, EM_SETSEL, 2, 2);
    ::SendMessageW(field, WM_CHAR, 0x16, 0);  // Ctrl+V
    EXPECT_EQ(run.Text(kIdIicData), L"A0");
    HMENU menu = HexEdit::CreateContextMenu(field);
    EXPECT_FALSE(MenuItemEnabled(menu, WM_PASTE));
    EXPECT_TRUE(MenuItemEnabled(menu, kIdHexConvert));
    ::DestroyMenu(menu);

    // A paste is cut to the room the limit leaves; the menu's paste normalizes the clipboard.
    PutClipboard(run.hwnd, L"1b2c");
    ::SendMessageW(field, EM_SETSEL, 2, 2);
    ::SendMessageW(field, WM_PASTE, 0, 0);
    EXPECT_EQ(run.Text(kIdIicData), L"A01b");
    run.SetText(kIdIicData, L"");
    HexEdit::RunMenuCommand(field, WM_PASTE);
    EXPECT_EQ(run.Text(kIdIicData), L"1B2C");

    // The prefix cannot be broken by typing in front of it.
    run.SetText(kIdRegisterAddress, L"0x1A");
    ::SendMessageW(run.Item(kIdRegisterAddress), EM_SETSEL, 1, 1);
    ::SendMessageW(run.Item(kIdRegisterAddress), WM_CHAR, L'5', 0);
    EXPECT_EQ(run.Text(kIdRegisterAddress), L"0x1A");
}

// Every control that could reach the device or the selected file.
constexpr std::array kDeviceControls = {
    kIdRead,           kIdWrite,          kIdSetGpio, kIdGetFwVersion, kIdGetHdmiInfo, kIdGetId,
    kIdBurnFileBrowse, kIdDumpFileBrowse, kIdBurn,    kIdDump,         kIdEntireFlash, kIdOtherArea,
};

TEST_F(Win32DialogTest, BurnAndDumpRunOnTheWorkerAndTheDumpEqualsTheImage) {
    Win32Run run(R"({"chip_row": 29})");  // 8 MB
    run.Create();
    run.Click(kIdOpenDevice);
    run.Click(kIdGetId);
    const Bytes image = FlashImage(0x10000, 1, 0x5D);
    ASSERT_EQ(image.size(), 8u << 20);
    run.chooser.burnFile = run.dir.Write("image.bin", image).wstring();
    run.Click(kIdBurnFileBrowse);
    run.Click(kIdBurn);
    ASSERT_TRUE(run.dialog->Running());
    for (const int id : kDeviceControls) {
        EXPECT_FALSE(run.Enabled(id)) << id;
    }
    ASSERT_TRUE(run.PumpUntil([&] { return !run.dialog->Running(); }));
    ASSERT_EQ(run.boxes.shown.size(), 1u);
    EXPECT_EQ(run.boxes.shown[0].text, flash::kEntireUpdated);
    EXPECT_TRUE(run.boxes.shown[0].onDialogThread);
    EXPECT_EQ(run.Text(kIdProgressCount), std::to_wstring(image.size()));
    EXPECT_EQ(run.Text(kIdProgressTotal), std::to_wstring(image.size()));
    EXPECT_EQ(::SendMessageW(run.Item(kIdProgress), PBM_GETPOS, 0, 0),
              static_cast<LRESULT>(image.size()));
    EXPECT_EQ(run.Text(kIdStatus), L"Status: Wait");
    EXPECT_FALSE(run.Enabled(kIdBurn));  // a new run needs a new file
    EXPECT_TRUE(run.Enabled(kIdRead));
    EXPECT_TRUE(run.Enabled(kIdBurnFileBrowse));

    // A name beyond ASCII: the path stays UTF-16 from the chooser to the file calls.
    const auto dump = run.dir.path / L"dump-\u00e4\u03a9.bin";
    run.chooser.dumpFile = dump.wstring();
    run.Click(kIdDumpFileBrowse);
    run.Click(kIdDump);
    EXPECT_TRUE(StyleOf(run.Item(kIdStop)) & WS_VISIBLE);
    EXPECT_FALSE(StyleOf(run.Item(kIdDump)) & WS_VISIBLE);
    ASSERT_TRUE(run.PumpUntil([&] { return !run.dialog->Running(); }));
    ASSERT_EQ(run.boxes.shown.size(), 2u);
    EXPECT_EQ(run.boxes.shown[1].text, flash::kDumpFinished);
    EXPECT_TRUE(TempDir::Read(dump) == image);
    EXPECT_TRUE(StyleOf(run.Item(kIdDump)) & WS_VISIBLE);
    for (const int id : {kIdRead, kIdGetId, kIdBurnFileBrowse, kIdEntireFlash}) {
        EXPECT_TRUE(run.Enabled(id)) << id;
    }
}

TEST_F(Win32DialogTest, ClosingDuringARunWaitsForItsEndAndAStopEndsADumpEarly) {
    Win32Run run(R"({"chip_row": 34, "faults": {"latency_us": 1500}})");  // 256 KB, slow
    run.Create();
    run.Click(kIdOpenDevice);
    run.Click(kIdGetId);
    run.chooser.dumpFile = (run.dir.path / "stopped.bin").wstring();
    run.Click(kIdDumpFileBrowse);
    run.Click(kIdDump);
    run.Click(kIdStop);
    ASSERT_TRUE(run.PumpUntil([&] { return !run.dialog->Running(); }));
    ASSERT_TRUE(run.dialog->LastResult());
    EXPECT_TRUE(run.dialog->LastResult()->dump.stopped);

    run.chooser.burnFile =
        run.dir.Write("close.bin", flash::testing::Pattern(256 * 1024, 7)).wstring();
    run.Click(kIdBurnFileBrowse);
    run.Click(kIdBurn);
    const std::size_t before = run.boxes.shown.size();
    ::SendMessageW(run.hwnd, WM_CLOSE, 0, 0);  // the close box, then OK: the last one counts
    ASSERT_TRUE(run.PumpUntil([&] { return run.boxes.shown.size() == before + 1; }));
    ::SendMessageW(run.hwnd, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(run.dialog->Ended());
    EXPECT_TRUE(run.dialog->Running());
    ASSERT_EQ(run.boxes.shown.size(), before + 2);
    EXPECT_NE(run.boxes.shown.back().text.find("cannot be stopped halfway"), std::string::npos);
    ASSERT_TRUE(run.PumpUntil([&] { return run.dialog->Ended(); }));
    EXPECT_EQ(run.dialog->Result(), IDOK);
    EXPECT_EQ(run.boxes.shown.back().text, flash::kEntireUpdated);
    EXPECT_TRUE(run.dialog->LastResult()->burn.entireUpdated);
}

// The message boxes open on this thread, each with its text, as a user would see them.
std::vector<std::pair<HWND, std::wstring>> OpenBoxes() {
    std::vector<std::pair<HWND, std::wstring>> boxes;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            if (ClassOf(window) == L"#32770" && ::GetDlgItem(window, 0xFFFF) != nullptr) {
                wchar_t text[512] = {};
                ::GetDlgItemTextW(window, 0xFFFF, text, 512);
                reinterpret_cast<std::vector<std::pair<HWND, std::wstring>>*>(found)->emplace_back(
                    window, text);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

using Boxes = std::vector<std::pair<HWND, std::wstring>>;

// Every 20 ms, from inside whichever modal loop runs, `look` sees the open boxes, as a user
// watching the screen, and acts. A box left open once the window has ended is counted and
// closed, so that a fault fails the test instead of hanging it.
class BoxWatch {
  public:
    BoxWatch(const Win32Run& run, std::function<void(const Boxes&)> look) {
        watched_ = &run;
        look_ = std::move(look);
        leftOpen_ = 0;
        timer_ = ::SetTimer(nullptr, 0, 20, &Tick);
    }
    ~BoxWatch() {
        ::KillTimer(nullptr, timer_);
        look_ = nullptr;
    }
    BoxWatch(const BoxWatch&) = delete;
    BoxWatch& operator=(const BoxWatch&) = delete;
    static int LeftOpen() { return leftOpen_; }

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        const Boxes boxes = OpenBoxes();
        if (!watched_->dialog->Ended()) {
            look_(boxes);
            return;
        }
        for (const auto& open : boxes) {
            ++leftOpen_;
            ::PostMessageW(open.first, WM_COMMAND, IDOK, 0);
        }
    }
    static inline const Win32Run* watched_ = nullptr;
    static inline std::function<void(const Boxes&)> look_;
    static inline int leftOpen_ = 0;
    UINT_PTR timer_ = 0;
};

bool IsHoldBox(const std::wstring& text) {
    return text.find(L" is running.") != std::wstring::npos;
}

TEST_F(Win32DialogTest, TheWindowClosesWithItsRunAndLeavesNoBoxBehindWhateverAskedItToClose) {
    const std::string slow = R"({"chip_row": 34, "faults": {"latency_us": 1500}})";  // 256 KB
    {
        // The modal window as the program runs it. Closed twice during a burn (the close box,
        // then taskkill's WM_CLOSE): one hold box, left open; the burn's closing box is
        // answered, and the window ends with the burn, taking the hold box with it.
        Win32Run run(slow, true);
        run.chooser.burnFile =
            run.dir.Write("close.bin", flash::testing::Pattern(256 * 1024, 7)).wstring();
        std::set<HWND> holdBoxes;
        std::wstring answered;
        const BoxWatch watch(run, [&](const Boxes& boxes) {
            if (run.hwnd == nullptr) {
                run.hwnd = run.dialog->Handle();
                run.Click(kIdOpenDevice);
                run.Click(kIdGetId);
                run.Click(kIdBurnFileBrowse);
                run.Click(kIdBurn);
                ::PostMessageW(run.hwnd, WM_CLOSE, 0, 0);
                ::PostMessageW(run.hwnd, WM_CLOSE, 0, 0);
            }
            for (const auto& [box, text] : boxes) {
                if (IsHoldBox(text)) {
                    holdBoxes.insert(box);
                } else {
                    answered = text;
                    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                }
            }
        });
        run.dialog->RunModal(Cuvc_hid_olvexDlg::Template(), nullptr);
        EXPECT_EQ(holdBoxes.size(), 1u);
        EXPECT_EQ(answered, files::Utf16FromUtf8(flash::kEntireUpdated));
        EXPECT_EQ(run.dialog->Result(), IDCANCEL);
        EXPECT_EQ(BoxWatch::LeftOpen(), 0);
        EXPECT_TRUE(OpenBoxes().empty());
    }
    {
        // Log-off during a dump: Windows is asked to wait and the close path starts; when the
        // session ends anyway, the dump stops at once and the window closes as Cancel. Slower
        // still, so that a loaded machine cannot finish the dump before the hold box is seen.
        Win32Run run(R"({"chip_row": 34, "faults": {"latency_us": 10000}})", true);
        run.Create();
        EXPECT_EQ(::SendMessageW(run.hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
        run.Click(kIdOpenDevice);
        run.Click(kIdGetId);
        run.chooser.dumpFile = (run.dir.path / "logoff.bin").wstring();
        run.Click(kIdDumpFileBrowse);
        run.Click(kIdDump);
        ASSERT_TRUE(run.dialog->Running());
        EXPECT_EQ(::SendMessageW(run.hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
        bool held = false;
        const BoxWatch watch(run, [&](const Boxes& boxes) {
            for (const auto& open : boxes) {
                if (IsHoldBox(open.second) && !held) {
                    held = true;
                    ::SendMessageW(run.hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
                }
            }
        });
        ASSERT_TRUE(run.PumpUntil([&] { return run.dialog->Ended(); }));
        EXPECT_TRUE(held);
        EXPECT_EQ(run.dialog->Result(), IDCANCEL);
        ASSERT_TRUE(run.dialog->LastResult());
        EXPECT_TRUE(run.dialog->LastResult()->dump.stopped);
        EXPECT_EQ(BoxWatch::LeftOpen(), 0);
        EXPECT_TRUE(OpenBoxes().empty());
    }
}

TEST(DialogCommandLine, TakesTheLinuxDialogsOptionsAndRefusesTheRest) {
    std::string error;
    const auto options = ParseDialogOptions(
        {"--simulate", "--sim-state", "C:\\state", "--trace=t.jsonl", "-v", "--path", "p"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->stack.simulate);
    EXPECT_EQ(options->stack.simState, "C:\\state");
    EXPECT_EQ(options->stack.traceFile, "t.jsonl");
    EXPECT_EQ(options->stack.path, "p");
    EXPECT_TRUE(options->verbose);
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"--sim-state", "d"},
                                                  {"--bogus"},
                                                  {"--trace"},
                                                  {"extra"},
                                                  {"--simulate=yes"}}) {
        error.clear();
        EXPECT_FALSE(ParseDialogOptions(wrong, error)) << wrong[0];
        EXPECT_FALSE(error.empty()) << wrong[0];
    }
    EXPECT_TRUE(ParseDialogOptions({"--version"}, error)->version);
}

}  // namespace
}  // namespace brimlo::win32::testing

int main(int argc, char** argv) {
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                       ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
