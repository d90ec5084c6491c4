#pragma once
// The Burn Area setting in Qt's store: an INI file in the user's configuration directory, with
// the names and values of dialog/burn_area_rules.h.

#include <QString>
#include <memory>

#include "dialog/burn_area_rules.h"

class QSettings;

namespace brimlo::app {

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
