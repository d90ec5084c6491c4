// How the dialog fares during a long burn. An 8 MB Entire Flash burn through the emulated device
// in memory, with 64-byte flash reports and no latency, runs once through the library's RunBurn
// alone and once through the dialog's flash panel, whose worker thread runs the same burn while
// a 10 ms timer ticks on the dialog's thread. Prints both wall times, their ratio, and the
// timer's longest lateness: how long the dialog could not answer the user.
//
//   dialog_burn_bench [--repeat N] [--check]
// --repeat runs N pairs (1 unless told) and compares the medians, so that a machine busy with
// other work skews the figures less; the stall is the longest of all runs. --check exits 1
// when the dialog stalls 50 ms or more, or its burn takes more than 1.2 times the library's.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <vector>

#include "app/flash_panel_controller.h"
#include "app/uvc_hid_dlg.h"
#include "bench/burn_bench_common.h"
#include "dialog/dialog_template.h"
#include "flash/burn_sequence.h"
#include "flash/flash_messages.h"
#include "sim/sim_platform.h"

namespace {

using namespace brimlo;
using namespace brimlo::app;
using namespace brimlo::bench;

class FixedChooser final : public FlashFileChooser {
  public:
    explicit FixedChooser(QString path) : path_(std::move(path)) {}
    std::optional<QString> ChooseBurnFile(QWidget*) override { return path_; }
    std::optional<QString> ChooseDumpFile(QWidget*) override { return std::nullopt; }

  private:
    QString path_;
};

// CPU time of the whole process, every thread: what a run costs apart from waiting for a CPU
// that other programs hold.
double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct RunTimes {
    double wall = 0;
    double cpu = 0;
    double dialogThreadCpu = 0;  // the part the dialog's thread spent
};

// The dialog's burn, with the dialog's thread watched by a 10 ms timer.
bool DialogBurn(const std::vector<std::uint8_t>& image, RunTimes& times, double& stallMs) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("image.bin"));
    std::ofstream(file.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);

    std::string error;
    const auto sim = sim::SimDevice::Create(SmallReports(), error);
    sim::SimPlatform platform(sim);
    LastBoxes boxes;
    FixedChooser chooser(file);
    Cuvc_hid_olvexDlg dialog(platform, &boxes, settings);
    FlashPanelController flash(dialog, chooser);
    dialog.show();
    dialog.Control<QPushButton>(kIdOpenDevice)->click();
    dialog.FlashPanel().getId->click();
    dialog.FlashPanel().burnFileBrowse->click();
    if (!flash.Logic().BurnLoaded() || !flash.Logic().Identity().Identified()) {
        std::fprintf(stderr, "dialog_burn_bench: the dialog did not get ready: %s\n",
                     boxes.last.c_str());
        return false;
    }

    // The first paint of the window is not the burn's: let it happen before the clock starts.
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();

    QElapsedTimer sinceTick;
    qint64 worstNs = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worstNs = std::max(worstNs, sinceTick.nsecsElapsed() - qint64{kTickMs} * 1000000);
        sinceTick.start();
    });
    QEventLoop loop;
    QObject::connect(&flash, &FlashPanelController::workerEnded, &loop, &QEventLoop::quit);

    tick.start();
    sinceTick.start();
    const double cpu = ProcessCpuSeconds();
    const double ownCpu = ThreadCpuSeconds();
    const Clock::time_point start = Clock::now();
    dialog.FlashPanel().burn->click();
    loop.exec();
    times = {Seconds(Clock::now() - start), ProcessCpuSeconds() - cpu, ThreadCpuSeconds() - ownCpu};
    tick.stop();
    stallMs = double(worstNs) / 1e6;
    return boxes.last == flash::kEntireUpdated && sim->PeekFlash(0, kImageSize) == image;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    bool check = false;
    int repeat = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0) {
            check = true;
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: dialog_burn_bench [--repeat N] [--check]\n");
            return 2;
        }
    }
    NoDebug noDebug;
    hid::SetDebugSink(&noDebug);
    const std::vector<std::uint8_t> image = Image();
    std::vector<double> libraryWall, dialogWall, libraryCpu, dialogCpu, dialogThreadCpu;
    double stallMs = 0;
    bool ok = true;
    for (int round = 0; round < repeat && ok; ++round) {
        RunTimes library, dialog;
        double stall = 0;
        const auto timeLibrary = [&](const auto& burn) {
            const double cpu = ProcessCpuSeconds();
            const Clock::time_point start = Clock::now();
            burn();
            library = {Seconds(Clock::now() - start), ProcessCpuSeconds() - cpu, 0};
        };
        ok = LibraryBurn("dialog_burn_bench", image, timeLibrary) &&
             DialogBurn(image, dialog, stall);
        libraryWall.push_back(library.wall);
        dialogWall.push_back(dialog.wall);
        libraryCpu.push_back(library.cpu);
        dialogCpu.push_back(dialog.cpu);
        dialogThreadCpu.push_back(dialog.dialogThreadCpu);
        stallMs = std::max(stallMs, stall);
        if (repeat > 1) {
            std::printf("run %d: library %.1f ms, dialog %.1f ms, stall %.1f ms\n", round + 1,
                        library.wall * 1e3, dialog.wall * 1e3, stall);
        }
    }
    hid::SetDebugSink(nullptr);
    if (!ok) {
        std::fprintf(stderr, "dialog_burn_bench: a burn did not write the image\n");
        return 1;
    }
    const double library = Median(libraryWall);
    const double dialog = Median(dialogWall);
    std::printf("8 MB Entire Flash burn, 64-byte flash reports, emulated device, no latency%s\n",
                repeat > 1 ? ", medians" : "");
    std::printf("library RunBurn alone:   %8.1f ms wall, %8.1f ms CPU\n", library * 1e3,
                Median(libraryCpu) * 1e3);
    std::printf(
        "dialog's burn:           %8.1f ms wall, %8.1f ms CPU, %.1f ms of it on the "
        "dialog's thread\n",
        dialog * 1e3, Median(dialogCpu) * 1e3, Median(dialogThreadCpu) * 1e3);
    std::printf("dialog / library wall:   %8.2fx (goal at most %.1fx)\n", dialog / library,
                kRatioGoal);
    std::printf(
        "longest stall of a %d ms timer on the dialog's thread: %.1f ms (goal under "
        "%.0f ms)\n",
        kTickMs, stallMs, kStallGoalMs);
    if (check && (stallMs >= kStallGoalMs || dialog > kRatioGoal * library)) {
        std::fprintf(stderr, "dialog_burn_bench: goal missed\n");
        return 1;
    }
    return 0;
}
