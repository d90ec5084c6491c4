// brimlo-hid-tool.exe: the service dialog on Windows. Reads the same command line as the Linux
// dialog, builds the HID stack, and runs the dialog once; the process ends when it closes. A
// GUI program has no console, so usage errors come in a message box.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "dialog/exit_codes.h"
#include "files/utf16_text.h"
#include "hid/debug_output.h"
#include "session/platform_stack.h"
#include "session/version.h"
#include "win32/command_line.h"
#include "win32/file_chooser.h"
#include "win32/registry_setting.h"
#include "win32/uvc_hid_dlg_win32.h"
#include "win32/win32_boxes.h"

namespace {

using namespace brimlo;

constexpr wchar_t kProgram[] = L"brimlo-hid-tool";

// With -v: every debug line to the debugger's output and to standard error, if there is one.
class DebuggerAndStderr final : public hid::DebugSink {
  public:
    void Write(std::string_view line) override {
        ::OutputDebugStringW(files::Utf16FromUtf8(line).c_str());
        WriteTo(STD_ERROR_HANDLE, line);
    }
    static void WriteTo(DWORD stream, std::string_view text) {
        const HANDLE handle = ::GetStdHandle(stream);
        DWORD written = 0;
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        }
    }
};

// Debug lines go nowhere unless -v asks for them.
class DiscardDebug final : public hid::DebugSink {
  public:
    void Write(std::string_view) override {}
};

// Text for the user: on standard output when the program was started with one (a shell, a
// script), otherwise in a box.
void Tell(const std::string& text, UINT icon) {
    const HANDLE out = ::GetStdHandle(icon == MB_ICONERROR ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE && ::GetFileType(out) != FILE_TYPE_UNKNOWN) {
        DebuggerAndStderr::WriteTo(icon == MB_ICONERROR ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE,
                                   text + "\n");
        if (icon != MB_ICONERROR) {
            return;
        }
    }
    ::MessageBoxW(nullptr, files::Utf16FromUtf8(text).c_str(), kProgram, MB_OK | icon);
}

int Run(const std::vector<std::string>& arguments) {
    std::string usageError;
    const std::optional<win32::DialogOptions> options =
        win32::ParseDialogOptions(arguments, usageError);
    if (!options) {
        Tell(usageError + "\n\n" + win32::kDialogUsage, MB_ICONERROR);
        return app::kExitUsage;
    }
    if (options->help) {
        Tell(win32::kDialogUsage, MB_ICONINFORMATION);
        return app::kExitOk;
    }
    if (options->version) {
        Tell(std::string("brimlo-hid-tool ") + session::kVersion, MB_ICONINFORMATION);
        return app::kExitOk;
    }

    DiscardDebug discard;
    DebuggerAndStderr verbose;
    hid::SetDebugSink(options->verbose ? static_cast<hid::DebugSink*>(&verbose) : &discard);

    session::StackError error;
    auto stack = session::PlatformStack::Create(options->stack, error);
    std::optional<std::pair<std::uint16_t, std::uint16_t>> identity;
    if (stack && !options->stack.path.empty()) {
        identity = stack->PathIdentity(error);
        if (!identity) {
            stack.reset();
        }
    }
    if (!stack) {
        Tell(error.message, MB_ICONERROR);
        hid::SetDebugSink(nullptr);
        return error.kind == session::StackError::Kind::Usage ? app::kExitUsage
                                                              : app::kExitNoDevice;
    }

    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                       ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);
    const win32::RegistrySetting setting(win32::ExecutableBaseName());
    win32::CommonFileChooser chooser;
    int code = app::kExitOk;
    {
        win32::Cuvc_hid_olvexDlg dialog(stack->Platform(), nullptr, setting, chooser);
        if (identity) {
            dialog.PresetIdentifiers(identity->first, identity->second);
        }
        dialog.RunModal(win32::Cuvc_hid_olvexDlg::Template(), nullptr);
        code = dialog.EndedWithoutDevice() ? app::kExitNoDevice : app::kExitOk;
    }
    hid::SetDebugSink(nullptr);
    return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(files::Utf8FromUtf16(wide[i]));
    }
    ::LocalFree(wide);
    return Run(arguments);
}
