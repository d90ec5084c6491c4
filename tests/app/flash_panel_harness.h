#pragma once
// The dialog with its flash panel over the emulated device, opened through "Open Device", with
// boxes and file choosers the test answers: the ground of the flash panel suites.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/flash_panel_controller.h"
#include "app/uvc_hid_dlg.h"
#include "controls/hex_edit.h"
#include "dialog/dialog_template.h"
#include "dialog_test_support.h"
#include "sim/sim_device.h"
#include "sim/sim_platform.h"

namespace brimlo::app::testing {

class AnsweringChooser final : public FlashFileChooser {
  public:
    std::optional<QString> ChooseBurnFile(QWidget*) override { return burnFile; }
    std::optional<QString> ChooseDumpFile(QWidget*) override { return dumpFile; }
    std::optional<QString> burnFile, dumpFile;
};

class FlashDialogHarness {
  public:
    explicit FlashDialogHarness(const sim::SimConfig& config)
        : settings(settingsDir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat) {
        std::string error;
        sim = sim::SimDevice::Create(config, error);
        platform = std::make_unique<sim::SimPlatform>(sim);
        dialog = std::make_unique<Cuvc_hid_olvexDlg>(*platform, &boxes, settings);
        controller = std::make_unique<FlashPanelController>(*dialog, chooser);
        Button(kIdOpenDevice)->click();
    }
    // The controller goes before the dialog it works on.
    ~FlashDialogHarness() { controller.reset(); }

    QPushButton* Button(int id) const { return dialog->Control<QPushButton>(id); }
    const FlashPanelWidgets& W() const { return dialog->FlashPanel(); }

    void ChooseBurn(const std::filesystem::path& file) {
        chooser.burnFile = QString::fromStdString(file.string());
        W().burnFileBrowse->click();
    }
    void ChooseDump(const std::filesystem::path& file) {
        chooser.dumpFile = QString::fromStdString(file.string());
        W().dumpFileBrowse->click();
    }

    // How many boxes' texts contain `part`.
    int BoxesWith(const QString& part) const {
        int n = 0;
        for (const ShownBox& box : boxes.shown) {
            n += box.text.contains(part) ? 1 : 0;
        }
        return n;
    }

    QTemporaryDir settingsDir;
    QSettings settings;
    std::shared_ptr<sim::SimDevice> sim;
    std::unique_ptr<hid::HidPlatform> platform;
    RecordingBoxes boxes;
    AnsweringChooser chooser;
    std::unique_ptr<Cuvc_hid_olvexDlg> dialog;
    std::unique_ptr<FlashPanelController> controller;
};

}  // namespace brimlo::app::testing
