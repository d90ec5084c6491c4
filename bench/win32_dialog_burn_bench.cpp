// How the Win32 dialog fares during a long burn, under Wine or Windows: the Linux dialog
// bench's method. An 8 MB Entire Flash burn through the emulated device in memory, with 64-byte
// flash reports and no latency, runs once through the library's RunBurn alone and once through
// the dialog, whose worker thread runs the same burn while a 10 ms timer ticks on the dialog's
// thread. Prints both wall times, their ratio, and the timer's longest lateness: how long the
// dialog could not answer the user.
//
//   win32_dialog_burn_bench [--repeat N] [--check]
// --repeat runs N pairs and compares the medians; the stall is the longest of all runs.
// --check exits 1 when the dialog stalls 50 ms or more, or its burn takes more than 1.2 times
// the library's.

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench/burn_bench_common.h"
#include "dialog/dialog_template.h"
#include "flash/burn_sequence.h"
#include "flash/flash_messages.h"
#include "sim/sim_platform.h"
#include "win32/uvc_hid_dlg_win32.h"

namespace {

using namespace brimlo;
using namespace brimlo::bench;

class FixedChooser final : public win32::FileChooser {
  public:
    explicit FixedChooser(std::wstring path) : path_(std::move(path)) {}
    std::optional<std::wstring> ChooseBurnFile(HWND) override { return path_; }
    std::optional<std::wstring> ChooseDumpFile(HWND) override { return std::nullopt; }

  private:
    std::wstring path_;
};

// The dialog's thread's timer: how late each tick comes.
Clock::time_point lastTick;
Clock::duration worstLateness{};

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    const Clock::time_point now = Clock::now();
    worstLateness = std::max(worstLateness, now - lastTick - std::chrono::milliseconds(kTickMs));
    lastTick = now;
}

// Runs the dialog's messages as its modal loop would, until `done`. It is asked after each
// message, as the Linux bench's loop quits on the dialog's end notification: the repaints
// queued behind that message come after the burn there too.
template <typename Done>
void Pump(HWND dialog, Done done) {
    while (!done()) {
        MSG msg;
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        } else if (!::IsDialogMessageW(dialog, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

bool DialogBurn(const std::filesystem::path& file, const std::vector<std::uint8_t>& image,
                double& seconds, double& stallMs) {
    std::string error;
    const auto sim = sim::SimDevice::Create(SmallReports(), error);
    sim::SimPlatform platform(sim);
    LastBoxes boxes;
    FixedChooser chooser(file.wstring());
    const win32::RegistrySetting setting(L"brimlo-win32-dialog-bench");
    win32::Cuvc_hid_olvexDlg dialog(platform, &boxes, setting, chooser);
    const HWND window = dialog.CreateModeless(win32::Cuvc_hid_olvexDlg::Template(), nullptr);
    ::ShowWindow(window, SW_SHOW);
    const auto click = [&](int id) { ::SendMessageW(dialog.Item(id), BM_CLICK, 0, 0); };
    click(app::kIdOpenDevice);
    click(app::kIdGetId);
    click(app::kIdBurnFileBrowse);
    if (!dialog.IsItemEnabled(app::kIdBurn)) {
        std::fprintf(stderr, "win32_dialog_burn_bench: the dialog did not get ready: %s\n",
                     boxes.last.c_str());
        return false;
    }
    // The first paint of the window is not the burn's.
    const Clock::time_point settle = Clock::now() + std::chrono::milliseconds(300);
    Pump(window, [&] { return Clock::now() > settle; });

    worstLateness = {};
    lastTick = Clock::now();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, kTickMs, &Tick);
    const Clock::time_point start = Clock::now();
    click(app::kIdBurn);
    Pump(window, [&] { return !dialog.Running(); });
    seconds = Seconds(Clock::now() - start);
    ::KillTimer(nullptr, timer);
    stallMs = std::chrono::duration<double, std::milli>(worstLateness).count();
    return boxes.last == flash::kEntireUpdated && sim->PeekFlash(0, kImageSize) == image;
}

}  // namespace

int main(int argc, char** argv) {
    bool check = false;
    int repeat = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0) {
            check = true;
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: win32_dialog_burn_bench [--repeat N] [--check]\n");
            return 2;
        }
    }
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                       ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);
    NoDebug quiet;
    hid::SetDebugSink(&quiet);

    const std::vector<std::uint8_t> image = Image();
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "brimlo-win32-bench-image.bin";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));

    std::vector<double> library, dialog;
    double worstStall = 0;
    for (int run = 0; run < repeat; ++run) {
        double libSeconds = 0, dlgSeconds = 0, stall = 0;
        const bool ok = LibraryBurn("win32_dialog_burn_bench", image, [&](const auto& burn) {
            const Clock::time_point start = Clock::now();
            burn();
            libSeconds = Seconds(Clock::now() - start);
        });
        if (!ok || !DialogBurn(file, image, dlgSeconds, stall)) {
            std::fprintf(stderr, "win32_dialog_burn_bench: a burn failed\n");
            std::filesystem::remove(file);
            return 1;
        }
        library.push_back(libSeconds);
        dialog.push_back(dlgSeconds);
        worstStall = std::max(worstStall, stall);
    }
    std::filesystem::remove(file);
    hid::SetDebugSink(nullptr);

    const double ratio = Median(dialog) / Median(library);
    std::printf("8 MB Entire Flash burn, 64-byte reports, %d run(s), medians:\n", repeat);
    std::printf("  library RunBurn   %.3f s\n", Median(library));
    std::printf("  Win32 dialog      %.3f s  (%.2fx the library)\n", Median(dialog), ratio);
    std::printf("  longest stall of the dialog thread's %u ms timer: %.1f ms\n", kTickMs,
                worstStall);
    if (check && (worstStall >= kStallGoalMs || ratio > kRatioGoal)) {
        std::printf("goal missed: stall under %.0f ms, burn within %.1fx\n", kStallGoalMs,
                    kRatioGoal);
        return 1;
    }
    return 0;
}
