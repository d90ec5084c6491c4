#pragma once
// One run of the Win32 dialog over the emulated device, as `brimlo-hid-tool.exe --simulate
// --sim-state DIR --trace FILE` builds it, created modeless in this process and driven through
// window messages, with boxes and file choosers the test answers and a registry key of its own.
// Under Wine's null display driver no screen is needed.

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "flash_test_data.h"
#include "session/platform_stack.h"
#include "win32/uvc_hid_dlg_win32.h"

namespace brimlo::win32::testing {

struct ShownBox {
    std::string text, caption;
    MessageIcon icon;
    bool onDialogThread;
};

class RecordingBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        shown.push_back(
            {std::string(text), std::string(caption), icon, std::this_thread::get_id() == thread});
    }
    std::thread::id thread = std::this_thread::get_id();
    std::vector<ShownBox> shown;
};

class AnsweringChooser final : public FileChooser {
  public:
    std::optional<std::wstring> ChooseBurnFile(HWND) override { return burnFile; }
    std::optional<std::wstring> ChooseDumpFile(HWND) override { return dumpFile; }
    std::optional<std::wstring> burnFile, dumpFile;
};

// One report exchange of the wire trace.
struct Exchange {
    std::string op;
    int reportId = 0;
    int requestedLength = 0;
    std::string data;
};

// The registry key the tests' dialogs keep the setting under, removed before each run.
inline const wchar_t kTestApplication[] = L"brimlo-win32-dialog-test";

class Win32Run {
  public:
    // `deviceJson` configures the emulated device before it is first loaded; `onScreenBoxes`
    // gives the dialog its own message boxes instead of the recording ones.
    explicit Win32Run(const std::string& deviceJson = {}, bool onScreenBoxes = false)
        : setting(kTestApplication) {
        const std::filesystem::path state = dir.path / "sim";
        std::filesystem::create_directories(state);
        if (!deviceJson.empty()) {
            std::ofstream(state / "device.json") << deviceJson;
        }
        session::StackOptions options;
        options.simulate = true;
        options.simState = state.string();
        options.traceFile = TracePath().string();
        session::StackError error;
        stack = session::PlatformStack::Create(options, error);
        if (stack) {
            dialog = std::make_unique<Cuvc_hid_olvexDlg>(
                stack->Platform(), onScreenBoxes ? nullptr : &boxes, setting, chooser);
        }
    }
    ~Win32Run() { dialog.reset(); }

    static void ClearSetting() {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, RegistrySetting(kTestApplication).KeyPath().c_str());
    }
    void StoreSetting(DWORD value) const {
        HKEY key = nullptr;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, setting.KeyPath().c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &key, nullptr);
        ::RegSetValueExW(key, L"IsAccessAll", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                         sizeof value);
        ::RegCloseKey(key);
    }
    std::optional<DWORD> StoredSetting() const {
        DWORD value = 0;
        DWORD size = sizeof value;
        if (::RegGetValueW(HKEY_CURRENT_USER, setting.KeyPath().c_str(), L"IsAccessAll",
                           RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return value;
    }

    HWND Create() {
        hwnd = dialog->CreateModeless(Cuvc_hid_olvexDlg::Template(), nullptr);
        return hwnd;
    }
    HWND Item(int id) const { return ::GetDlgItem(hwnd, id); }
    std::wstring Text(int id) const {
        wchar_t text[512] = {};
        ::GetWindowTextW(Item(id), text, 512);
        return text;
    }
    void SetText(int id, const wchar_t* text) const { ::SetWindowTextW(Item(id), text); }
    bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    bool Checked(int id) const {
        return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // A click as the user makes it: only an enabled button reacts.
    void Click(int id) const { ::SendMessageW(Item(id), BM_CLICK, 0, 0); }

    // Runs the dialog's messages, through the dialog manager as a modal loop would, until
    // `done` or the time is up.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 60000) const {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (!::IsWindow(hwnd) || !::IsDialogMessageW(hwnd, &msg)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageW(&msg);
                }
            }
            if (done()) {
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    std::filesystem::path TracePath() const { return dir.path / "trace.jsonl"; }
    std::vector<Exchange> Trace() const {
        std::vector<Exchange> exchanges;
        std::ifstream file(TracePath());
        const auto field = [](const std::string& line, const std::string& name) {
            const std::size_t at = line.find("\"" + name + "\":");
            if (at == std::string::npos) {
                return std::string();
            }
            std::size_t start = at + name.size() + 3;
            const bool quoted = line[start] == '"';
            start += quoted ? 1 : 0;
            return line.substr(start, line.find_first_of(quoted ? "\"" : ",}", start) - start);
        };
        for (std::string line; std::getline(file, line);) {
            if (line.empty()) {
                continue;
            }
            const std::string length = field(line, "requested_length");
            exchanges.push_back({field(line, "op"), std::stoi(field(line, "report_id")),
                                 length.empty() ? 0 : std::stoi(length), field(line, "data")});
        }
        return exchanges;
    }
    // The exchanges a click on `id` causes.
    std::vector<Exchange> Exchanges(int id) const {
        const std::size_t before = Trace().size();
        Click(id);
        std::vector<Exchange> all = Trace();
        return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
    }

    flash::testing::TempDir dir;
    std::unique_ptr<session::PlatformStack> stack;
    RecordingBoxes boxes;
    AnsweringChooser chooser;
    RegistrySetting setting;
    std::unique_ptr<Cuvc_hid_olvexDlg> dialog;
    HWND hwnd = nullptr;
};

}  // namespace brimlo::win32::testing
