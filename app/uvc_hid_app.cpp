#include "app/uvc_hid_app.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>
#include <cstdio>

#include "app/burn_area_setting.h"
#include "app/flash_panel_controller.h"
#include "app/qt_message_boxes.h"
#include "app/uvc_hid_dlg.h"
#include "hid/debug_output.h"
#include "session/platform_stack.h"

#if defined(Q_OS_LINUX)
#include "app/close_on_termination.h"
#endif

namespace brimlo::app {
namespace {

// Debug lines go nowhere unless -v asks for them on standard error.
class DiscardDebug final : public hid::DebugSink {
  public:
    void Write(std::string_view) override {}
};

struct DebugSinkScope {
    explicit DebugSinkScope(hid::DebugSink* sink) { hid::SetDebugSink(sink); }
    ~DebugSinkScope() { hid::SetDebugSink(nullptr); }
};

int UsageError(const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return kExitUsage;
}

}  // namespace

int Cuvc_hid_App::InitInstance(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Service dialog for the BRIMLO capture device's vendor HID interface."));
    parser.addHelpOption();
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Use the built-in emulated device."));
    const QCommandLineOption simState(
        QStringLiteral("sim-state"),
        QStringLiteral("Keep the emulated device's state in DIR (with --simulate)."),
        QStringLiteral("DIR"));
    const QCommandLineOption path(QStringLiteral("path"),
                                  QStringLiteral("Use only this interface, e.g. /dev/hidraw3."),
                                  QStringLiteral("NODE"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write every report exchange to FILE."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption verbose({QStringLiteral("v"), QStringLiteral("verbose")},
                                     QStringLiteral("Show debug lines on standard error."));
    parser.addOptions({version, simulate, simState, path, trace, verbose});
    if (!parser.parse(arguments)) {
        return UsageError(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fprintf(stdout, "%s", qPrintable(parser.helpText()));
        return kExitOk;
    }
    if (parser.isSet(version)) {
        std::fprintf(stdout, "%s %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(QCoreApplication::applicationVersion()));
        return kExitOk;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return UsageError(QStringLiteral("unexpected argument: ") +
                          parser.positionalArguments().first());
    }

    DiscardDebug discard;
    DebugSinkScope debugSink(parser.isSet(verbose) ? nullptr : &discard);

    session::StackOptions options;
    options.simulate = parser.isSet(simulate);
    options.simState = parser.value(simState).toStdString();
    options.path = parser.value(path).toStdString();
    options.traceFile = parser.value(trace).toStdString();
    QtMessageBoxes startBoxes;
    session::StackError error;
    auto stack = session::PlatformStack::Create(options, error);
    std::optional<std::pair<std::uint16_t, std::uint16_t>> identity;
    if (stack && !options.path.empty()) {
        identity = stack->PathIdentity(error);
        if (!identity) {
            stack.reset();
        }
    }
    if (!stack) {
        if (error.kind == session::StackError::Kind::Usage) {
            return UsageError(QString::fromStdString(error.message));
        }
        std::fprintf(stderr, "%s\n", error.message.c_str());
        startBoxes.Show(error.message, kErrorCaption, MessageIcon::Error);
        return kExitNoDevice;
    }

    const std::unique_ptr<QSettings> settings =
        OpenUserSettings(QCoreApplication::applicationName());
    Cuvc_hid_olvexDlg dialog(stack->Platform(), nullptr, *settings);
    QtFlashFileChooser chooser;
    FlashPanelController flash(dialog, chooser);
    if (identity) {
        dialog.PresetIdentifiers(identity->first, identity->second);
    }
#if defined(Q_OS_LINUX)
    const CloseOnTermination termination(dialog);
#endif
    dialog.exec();
    return dialog.EndedWithoutDevice() ? kExitNoDevice : kExitOk;
}

}  // namespace brimlo::app
