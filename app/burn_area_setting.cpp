#include "app/burn_area_setting.h"

#include <QSettings>

namespace brimlo::app {
namespace {

const QString kKey =
    QString::fromUtf8(kSettingsSection) + u'/' + QString::fromUtf8(kIsAccessAllName);

}  // namespace

std::unique_ptr<QSettings> OpenUserSettings(const QString& applicationName) {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QString::fromUtf8(kSettingsOrganization), applicationName);
}

int BurnAreaSetting::Read() const {
    bool ok = false;
    const int value = settings_.value(kKey, kIsAccessAllDefault).toInt(&ok);
    return ok ? value : kIsAccessAllDefault;
}

void BurnAreaSetting::Store(bool entireFlash) {
    settings_.setValue(kKey, IsAccessAllValue(entireFlash));
    settings_.sync();
}

}  // namespace brimlo::app
