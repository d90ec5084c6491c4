#pragma once
// The main dialog: every control of the template, the enabling rules applied to them, Open
// Device and the peripheral panel. A view: clicks go to the panel logic and the rules table,
// and what comes back is shown. The flash panel's handlers work through FlashPanel(),
// Apply() and SetCloseHold().

#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <memory>

#include "app/burn_area_setting.h"
#include "app/template_builder.h"
#include "commands/message_boxes.h"
#include "commands/uvc_hid_device.h"
#include "dialog/control_rules.h"
#include "dialog/peripheral_panel.h"
#include "hid/hid_platform.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSettings;

namespace brimlo::controls {
class CHexEdit;
}

namespace brimlo::app {

// The flash panel's widgets. Their handlers (Get ID, both "...", Burn, Dump, the progress)
// connect to these; enabling goes through Apply(), never setEnabled().
struct FlashPanelWidgets {
    QLabel* deviceName = nullptr;
    QLabel* pageSize = nullptr;
    QLabel* sectorSize = nullptr;
    QLabel* totalBlock = nullptr;
    QLabel* deviceId = nullptr;
    QLabel* pagesPerSector = nullptr;
    QLabel* sectorsPerBlock = nullptr;
    QLabel* totalSize = nullptr;
    QLineEdit* burnFile = nullptr;
    QPushButton* burnFileBrowse = nullptr;
    QLineEdit* dumpFile = nullptr;
    QPushButton* dumpFileBrowse = nullptr;
    QLabel* status = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* progressCount = nullptr;
    QLabel* progressTotal = nullptr;
    QRadioButton* entireFlash = nullptr;
    QRadioButton* otherArea = nullptr;
    QCheckBox* areaFirmware = nullptr;
    QCheckBox* areaPrivateData = nullptr;
    QCheckBox* areaCustomizedData = nullptr;
    controls::CHexEdit* hexVersion = nullptr;
    controls::CHexEdit* firmwareVersion = nullptr;
    QPushButton* getId = nullptr;
    QPushButton* burn = nullptr;
    QPushButton* dump = nullptr;
};

// Asked before the dialog closes (OK, Enter, Esc, the close box, the no-device path): a run
// that still uses the device or the chosen file may keep the dialog open and close it itself
// with done(result) once it has ended.
class CloseHold {
  public:
    virtual ~CloseHold() = default;
    // True keeps the dialog open for now.
    virtual bool HoldClose(int result) = 0;
};

class Cuvc_hid_olvexDlg : public QDialog {
    Q_OBJECT

  public:
    // `boxes` null: modal Qt boxes over this dialog. `settings` holds the Burn Area choice.
    Cuvc_hid_olvexDlg(hid::HidPlatform& platform, MessageBoxes* boxes, QSettings& settings,
                      QWidget* parent = nullptr);
    ~Cuvc_hid_olvexDlg() override;

    // The identifiers shown in "Device VID : 0x" and "PID : 0x" (the target's by default).
    void PresetIdentifiers(std::uint16_t vendorId, std::uint16_t productId);

    // A control by its template identifier, or null when there is none of that type.
    template <typename Widget>
    Widget* Control(int id) const {
        const auto found = controls_.find(id);
        return found == controls_.end() ? nullptr : qobject_cast<Widget*>(found->second);
    }

    const FlashPanelWidgets& FlashPanel() const { return flash_; }
    UvcHidDevice& Device() { return *device_; }
    MessageBoxes& Boxes() { return *boxes_; }

    // Feeds an event to the enabling rules and applies the states that follow.
    void Apply(DialogEvent event);
    const DialogFacts& Facts() const { return facts_; }

    // At most one; null removes it.
    void SetCloseHold(CloseHold* hold) { closeHold_ = hold; }

    void ShowAbout();

    // True when Open Device closed the dialog because no usable device was there.
    bool EndedWithoutDevice() const { return endedWithoutDevice_; }

    // The one way out: OK and Enter (Accepted) store the Burn Area choice, every other way
    // (Rejected) does not. The window's own boxes still open close with it.
    void done(int result) override;

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void BindFlashPanel();
    void ApplyBurnAreaSetting();
    void ApplyStates();
    void ConnectHandlers();

    void OnOpenDevice();
    void OnRead();
    void OnWrite();
    void OnSetGpio();
    void OnGetFwVersion();
    void OnGetHdmiInfo();
    void FillPanels(const std::string& description);
    PanelTexts GatherPanelTexts() const;
    void ShowAnswers(const PanelAnswers& answers);

    QPushButton* Button(int id) const;
    controls::CHexEdit* HexField(int id) const;

    std::unique_ptr<MessageBoxes> ownBoxes_;
    MessageBoxes* boxes_;
    BurnAreaSetting setting_;
    std::unique_ptr<UvcHidDevice> device_;
    PeripheralPanel panel_;
    ControlMap controls_;
    FlashPanelWidgets flash_;
    DialogFacts facts_;
    CloseHold* closeHold_ = nullptr;
    bool endedWithoutDevice_ = false;
};

}  // namespace brimlo::app
