#include "app/burn_area_setting.h"

#include <QSettings>

namespace brimlo::app {
namespace {

const QString kKey = QStringLiteral("Settings/IsAccessAll");
constexpr int kDefault = 1;

}  // namespace

std::unique_ptr<QSettings> OpenUserSettings(const QString& applicationName) {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QString::fromUtf8(kSettingsOrganization), applicationName);
}

int BurnAreaSetting::Read() const {
    bool ok = false;
    const int value = settings_.value(kKey, kDefault).toInt(&ok);
    return ok ? value : kDefault;
}

void BurnAreaSetting::Store(bool entireFlash) {
    settings_.setValue(kKey, entireFlash ? 1 : 0);
    settings_.sync();
}

}  // namespace brimlo::app
