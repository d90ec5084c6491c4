// The window's way out while a burn or a dump runs, with the real message boxes, each in a
// process of its own as a user meets it: asked to close during the run (the close box, Esc,
// SIGTERM, SIGHUP), the window waits for the run's end, the box that said so goes with the
// window even when the user leaves it open, no window of the process is left and the process
// exits. And the tool itself: SIGTERM and SIGHUP close its window as the close box does.

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/close_on_termination.h"
#include "flash/flash_messages.h"
#include "flash_panel_harness.h"
#include "flash_test_data.h"

namespace brimlo::app::testing {
namespace {

using flash::testing::Bytes;
using flash::testing::Pattern;
using flash::testing::TempDir;

constexpr char kChildOption[] = "--close-during";
constexpr int kProcessTimeoutMs = 60000;

// One run in this process: `task` ("burn" or "dump") on a slow emulated device, the close
// requested by `how` ("close-box", "escape", "sigterm" or "sighup") while it runs. Every box is
// answered as a user would, except the one saying the run holds the window: that one is left
// open. Exits 0 when the run ended whole, its closing box was answered, the holding box was
// shown once, and no window is left; else names what went wrong on stderr.
int CloseDuringRun(const QString& task, const QString& how) {
    TempDir dir;
    sim::SimConfig config;
    config.chipRow = 34;             // 256 KB
    config.faults.latencyUs = 3000;  // the run lasts long enough to be asked to close
    std::string error;
    const std::shared_ptr<sim::SimDevice> sim = sim::SimDevice::Create(config, error);
    sim::SimPlatform platform(sim);
    QSettings settings(QString::fromStdString((dir.path / "settings.ini").string()),
                       QSettings::IniFormat);
    Cuvc_hid_olvexDlg dialog(platform, nullptr, settings);
    AnsweringChooser chooser;
    FlashPanelController flash(dialog, chooser);
    const CloseOnTermination termination(dialog);

    const bool burn = task == QStringLiteral("burn");
    const int signal = how == QStringLiteral("sigterm")  ? SIGTERM
                       : how == QStringLiteral("sighup") ? SIGHUP
                                                         : 0;
    const Bytes image = Pattern(256 * 1024, 0x6D);
    const Bytes contents = Pattern(256 * 1024, 0x2A);
    const auto dumpPath = dir.path / "dump.bin";
    if (!burn) {
        sim->PokeFlash(0, contents);
    }

    QStringList answered;
    int holdBoxes = 0;
    bool runEndedFirst = true;
    QTimer user;
    user.setInterval(20);
    QObject::connect(&user, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(window);
            if (box == nullptr || !box->isVisible()) {
                continue;
            }
            if (!box->text().contains(QStringLiteral("is running"))) {
                answered << box->text();
                box->button(QMessageBox::Ok)->click();
            } else if (!box->property("seen").toBool()) {
                box->setProperty("seen", true);
                ++holdBoxes;
                if (signal != 0) {
                    ::kill(::getpid(), signal);  // asked again while the box is up
                }
            }
        }
    });
    QObject::connect(&dialog, &QDialog::finished, [&] { runEndedFirst = !flash.Running(); });

    QTimer::singleShot(0, [&] {
        dialog.Control<QPushButton>(kIdOpenDevice)->click();
        dialog.FlashPanel().getId->click();
        if (burn) {
            chooser.burnFile = QString::fromStdString(dir.Write("burn.bin", image).string());
            dialog.FlashPanel().burnFileBrowse->click();
            dialog.FlashPanel().burn->click();
        } else {
            chooser.dumpFile = QString::fromStdString(dumpPath.string());
            dialog.FlashPanel().dumpFileBrowse->click();
            dialog.FlashPanel().dump->click();
        }
        user.start();
        if (signal != 0) {
            ::kill(::getpid(), signal);
        } else if (how == QStringLiteral("escape")) {
            QTest::keyClick(&dialog, Qt::Key_Escape);
        } else {
            dialog.close();
        }
    });
    dialog.exec();
    user.stop();

    QStringList faults;
    const QString closing = Q(burn ? flash::kEntireUpdated : flash::kDumpFinished);
    if (!answered.contains(closing)) {
        faults << QStringLiteral("the run's closing box was not answered: ") +
                      answered.join(QStringLiteral(" | "));
    }
    if (holdBoxes != 1) {
        faults << QStringLiteral("boxes saying the run holds the window: %1").arg(holdBoxes);
    }
    if (!runEndedFirst || dialog.result() != QDialog::Rejected) {
        faults << QStringLiteral("the window closed before the run's end or not as Esc does");
    }
    if (burn ? sim->PeekFlash(0, image.size()) != image : TempDir::Read(dumpPath) != contents) {
        faults << QStringLiteral("the run did not end whole");
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            faults << QStringLiteral("a window is left: ") + window->metaObject()->className() +
                          QStringLiteral(" ") + window->windowTitle();
        }
    }
    for (const QString& fault : faults) {
        std::fprintf(stderr, "%s\n", qPrintable(fault));
    }
    return faults.isEmpty() ? 0 : 1;
}

// Whether process `pid` has a handler for `signal`, as /proc shows it.
bool Catches(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1) & 1) != 0;
        }
    }
    return false;
}

class DialogCloseTest : public QObject {
    Q_OBJECT

  private slots:
    void closeDuringARunWaitsAndLeavesNoWindow_data() {
        QTest::addColumn<QString>("task");
        QTest::addColumn<QString>("how");
        QTest::newRow("burn, close box") << QString("burn") << QString("close-box");
        QTest::newRow("dump, Esc") << QString("dump") << QString("escape");
        QTest::newRow("burn, SIGTERM") << QString("burn") << QString("sigterm");
        QTest::newRow("dump, SIGHUP") << QString("dump") << QString("sighup");
    }
    void closeDuringARunWaitsAndLeavesNoWindow() {
        QFETCH(QString, task);
        QFETCH(QString, how);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kChildOption), task, how});
        const bool exited = child.waitForFinished(kProcessTimeoutMs);
        if (!exited) {
            child.kill();
            child.waitForFinished();
        }
        const QByteArray faults = child.readAllStandardError();
        QVERIFY2(exited, "the process did not exit");
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == 0, faults.constData());
    }

    void signalClosesTheToolsWindow_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signalClosesTheToolsWindow() {
        QFETCH(int, signal);
        TempDir dir;
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.path));
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(BRIMLO_HID_TOOL),
                   {QStringLiteral("--simulate"), QStringLiteral("--sim-state"),
                    QString::fromStdString((dir.path / "sim").string())});
        QVERIFY(tool.waitForStarted());
        // Sent once the tool has taken the signal, or when it still has not after a while.
        const bool caught =
            QTest::qWaitFor([&] { return Catches(tool.processId(), signal); }, 20000);
        ::kill(static_cast<pid_t>(tool.processId()), signal);
        const bool exited = tool.waitForFinished(20000);
        if (!exited) {
            tool.kill();
            tool.waitForFinished();
        }
        QVERIFY(exited);
        QVERIFY2(caught, "the tool never took the signal");
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
    }
};

}  // namespace
}  // namespace brimlo::app::testing

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], brimlo::app::testing::kChildOption) == 0) {
        return brimlo::app::testing::CloseDuringRun(QString::fromLocal8Bit(argv[2]),
                                                    QString::fromLocal8Bit(argv[3]));
    }
    brimlo::app::testing::DialogCloseTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialog_close_test.moc"
