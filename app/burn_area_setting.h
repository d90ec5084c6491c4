#pragma once
// The one setting kept between runs: the Burn Area choice, "IsAccessAll" in group "Settings".
// 1 means "Entire Flash", any other value "Other Area"; absent or unreadable reads as 1.

#include <QString>
#include <memory>

class QSettings;

namespace brimlo::app {

inline constexpr char kSettingsOrganization[] = "OLVEX UVC Applications";

// The user's settings file for `applicationName` (the executable's base name): INI format in
// the user's configuration directory.
std::unique_ptr<QSettings> OpenUserSettings(const QString& applicationName);

class BurnAreaSetting {
  public:
    explicit BurnAreaSetting(QSettings& settings) : settings_(settings) {}

    // The stored value, or 1 when none can be read.
    int Read() const;
    // Stores 1 for "Entire Flash", 0 for "Other Area", and writes the file at once.
    void Store(bool entireFlash);

  private:
    QSettings& settings_;
};

}  // namespace brimlo::app
