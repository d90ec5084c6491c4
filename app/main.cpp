// brimlo-hid-tool: the service dialog for the capture device's vendor HID interface.

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include "app/burn_area_setting.h"
#include "app/uvc_hid_app.h"
#include "session/version.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QString::fromUtf8(brimlo::app::kSettingsOrganization));
    // The settings file is named after the executable, whatever it was renamed to.
    QApplication::setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
    QApplication::setApplicationVersion(QString::fromUtf8(brimlo::session::kVersion));
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/brimlo-hid-tool-%1.png").arg(size));
    }
    QApplication::setWindowIcon(icon);
    QApplication::setDesktopFileName(QStringLiteral("brimlo-hid-tool"));
    return brimlo::app::Cuvc_hid_App().InitInstance(QApplication::arguments());
}
