// brimlo-hid-tool: the service dialog for the capture device's vendor HID interface.

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <algorithm>
#include <cstring>
#include <memory>

#include "app/burn_area_setting.h"
#include "app/uvc_hid_app.h"
#include "session/version.h"

namespace {

// --help and --version only print: they need no display.
bool OnlyPrints(int argc, char* argv[]) {
    return std::any_of(argv + 1, argv + argc, [](const char* argument) {
        return std::strcmp(argument, "--version") == 0 || std::strcmp(argument, "--help") == 0 ||
               std::strcmp(argument, "-h") == 0;
    });
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::unique_ptr<QCoreApplication> application =
        OnlyPrints(argc, argv) ? std::make_unique<QCoreApplication>(argc, argv)
                               : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromUtf8(brimlo::app::kSettingsOrganization));
    // The settings file is named after the executable, whatever it was renamed to.
    QCoreApplication::setApplicationName(
        QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
    QCoreApplication::setApplicationVersion(QString::fromUtf8(brimlo::session::kVersion));
    if (qobject_cast<QApplication*>(application.get()) != nullptr) {
        QIcon icon;
        for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
            icon.addFile(QStringLiteral(":/icons/brimlo-hid-tool-%1.png").arg(size));
        }
        QApplication::setWindowIcon(icon);
        QGuiApplication::setDesktopFileName(QStringLiteral("brimlo-hid-tool"));
    }
    return brimlo::app::Cuvc_hid_App().InitInstance(QCoreApplication::arguments());
}
