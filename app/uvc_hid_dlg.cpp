#include "app/uvc_hid_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QShortcut>
#include <array>
#include <utility>

#include "app/about_dlg.h"
#include "app/qt_message_boxes.h"
#include "controls/hex_edit.h"
#include "dialog/dialog_template.h"
#include "dialog/open_device.h"

namespace brimlo::app {
namespace {

constexpr char kAboutCommand[] = "&About BRIMLO HID Tool...";

int RuledControlId(RuledControl control) {
    switch (control) {
        case RuledControl::OpenDevice:
            return kIdOpenDevice;
        case RuledControl::Read:
            return kIdRead;
        case RuledControl::Write:
            return kIdWrite;
        case RuledControl::SetGpio:
            return kIdSetGpio;
        case RuledControl::GetFwVersion:
            return kIdGetFwVersion;
        case RuledControl::GetHdmiInfo:
            return kIdGetHdmiInfo;
        case RuledControl::GetId:
            return kIdGetId;
        case RuledControl::BurnFileBrowse:
            return kIdBurnFileBrowse;
        case RuledControl::DumpFileBrowse:
            return kIdDumpFileBrowse;
        case RuledControl::Burn:
            return kIdBurn;
        case RuledControl::Dump:
            return kIdDump;
        case RuledControl::EntireFlash:
            return kIdEntireFlash;
        case RuledControl::OtherArea:
            return kIdOtherArea;
        case RuledControl::AreaFirmware:
            return kIdAreaFirmware;
        case RuledControl::AreaPrivateData:
            return kIdAreaPrivateData;
        case RuledControl::AreaCustomizedData:
            return kIdAreaCustomizedData;
        case RuledControl::Count:
            break;
    }
    return kNoId;
}

int FieldId(PanelField field) {
    switch (field) {
        case PanelField::GpioValue:
            return kIdGpioValue;
        case PanelField::IicAddress:
            return kIdIicAddress;
        case PanelField::IicReturnCode:
            return kIdIicReturnCode;
        case PanelField::IicData:
            return kIdIicData;
        case PanelField::RegisterAddress:
            return kIdRegisterAddress;
        case PanelField::RegisterValue:
            return kIdRegisterValue;
    }
    return kNoId;
}

std::string TextOf(const QLineEdit* field) {
    return field->text().toStdString();
}

// The answer is shown from its start, as a long one (the HDMI information) is read.
void ShowIfAnswered(QLineEdit* field, const std::optional<std::string>& text) {
    if (text) {
        field->setText(QString::fromStdString(*text));
        field->setCursorPosition(0);
    }
}

}  // namespace

Cuvc_hid_olvexDlg::Cuvc_hid_olvexDlg(hid::HidPlatform& platform, MessageBoxes* boxes,
                                     QSettings& settings, QWidget* parent)
    : QDialog(parent),
      ownBoxes_(boxes ? nullptr : std::make_unique<QtMessageBoxes>(this)),
      boxes_(boxes ? boxes : ownBoxes_.get()),
      setting_(settings),
      device_(std::make_unique<UvcHidDevice>(platform)),
      panel_(*device_, *boxes_) {
    // Caption, system menu and sizing border; no minimize or maximize box.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    controls_ = BuildFromTemplate(*this, MainDialogTemplate());
    BindFlashPanel();

    PresetIdentifiers(BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID);
    for (const int id : {kIdVendorId, kIdProductId}) {
        HexField(id)->SetTextLimit(4);
    }
    ApplyBurnAreaSetting();
    ConnectHandlers();

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &Cuvc_hid_olvexDlg::ShowAbout);

    Button(kIdOk)->setFocus();
}

Cuvc_hid_olvexDlg::~Cuvc_hid_olvexDlg() = default;

void Cuvc_hid_olvexDlg::PresetIdentifiers(std::uint16_t vendorId, std::uint16_t productId) {
    HexField(kIdVendorId)->SetValue(vendorId, true, 1);
    HexField(kIdProductId)->SetValue(productId, true, 1);
}

QPushButton* Cuvc_hid_olvexDlg::Button(int id) const {
    return Control<QPushButton>(id);
}

controls::CHexEdit* Cuvc_hid_olvexDlg::HexField(int id) const {
    return Control<controls::CHexEdit>(id);
}

void Cuvc_hid_olvexDlg::BindFlashPanel() {
    flash_.deviceName = Control<QLabel>(kIdDeviceName);
    flash_.pageSize = Control<QLabel>(kIdPageSize);
    flash_.sectorSize = Control<QLabel>(kIdSectorSize);
    flash_.totalBlock = Control<QLabel>(kIdTotalBlock);
    flash_.deviceId = Control<QLabel>(kIdDeviceId);
    flash_.pagesPerSector = Control<QLabel>(kIdPagesPerSector);
    flash_.sectorsPerBlock = Control<QLabel>(kIdSectorsPerBlock);
    flash_.totalSize = Control<QLabel>(kIdTotalSize);
    flash_.burnFile = Control<QLineEdit>(kIdBurnFile);
    flash_.burnFileBrowse = Button(kIdBurnFileBrowse);
    flash_.dumpFile = Control<QLineEdit>(kIdDumpFile);
    flash_.dumpFileBrowse = Button(kIdDumpFileBrowse);
    flash_.status = Control<QLabel>(kIdStatus);
    flash_.progress = Control<QProgressBar>(kIdProgress);
    flash_.progressCount = Control<QLabel>(kIdProgressCount);
    flash_.progressTotal = Control<QLabel>(kIdProgressTotal);
    flash_.entireFlash = Control<QRadioButton>(kIdEntireFlash);
    flash_.otherArea = Control<QRadioButton>(kIdOtherArea);
    flash_.areaFirmware = Control<QCheckBox>(kIdAreaFirmware);
    flash_.areaPrivateData = Control<QCheckBox>(kIdAreaPrivateData);
    flash_.areaCustomizedData = Control<QCheckBox>(kIdAreaCustomizedData);
    flash_.hexVersion = HexField(kIdHexVersion);
    flash_.firmwareVersion = HexField(kIdFirmwareVersion);
    flash_.getId = Button(kIdGetId);
    flash_.burn = Button(kIdBurn);
    flash_.dump = Button(kIdDump);
}

void Cuvc_hid_olvexDlg::ApplyBurnAreaSetting() {
    const int isAccessAll = setting_.Read();
    facts_ = InitialFacts(isAccessAll);
    // "Other Area" starts with only "Firmware" checked; later choices keep the marks.
    flash_.areaFirmware->setChecked(!facts_.entireFlash);
    ApplyStates();
}

void Cuvc_hid_olvexDlg::Apply(DialogEvent event) {
    facts_ = app::Apply(facts_, event);
    ApplyStates();
}

void Cuvc_hid_olvexDlg::ApplyStates() {
    const ControlStates states = StatesOf(facts_);
    for (std::size_t i = 0; i < kRuledControlCount; ++i) {
        controls_.at(RuledControlId(static_cast<RuledControl>(i)))->setEnabled(states.enabled[i]);
    }
    flash_.entireFlash->setChecked(states.entireFlashChecked);
    flash_.otherArea->setChecked(states.otherAreaChecked);
}

void Cuvc_hid_olvexDlg::ConnectHandlers() {
    connect(Button(kIdOk), &QPushButton::clicked, this, &QDialog::accept);
    connect(Button(kIdOpenDevice), &QPushButton::clicked, this, &Cuvc_hid_olvexDlg::OnOpenDevice);
    connect(Button(kIdRead), &QPushButton::clicked, this, &Cuvc_hid_olvexDlg::OnRead);
    connect(Button(kIdWrite), &QPushButton::clicked, this, &Cuvc_hid_olvexDlg::OnWrite);
    connect(Button(kIdSetGpio), &QPushButton::clicked, this, &Cuvc_hid_olvexDlg::OnSetGpio);
    connect(Button(kIdGetFwVersion), &QPushButton::clicked, this,
            &Cuvc_hid_olvexDlg::OnGetFwVersion);
    connect(Button(kIdGetHdmiInfo), &QPushButton::clicked, this, &Cuvc_hid_olvexDlg::OnGetHdmiInfo);
    connect(flash_.entireFlash, &QRadioButton::clicked, this,
            [this] { Apply(DialogEvent::EntireFlashChosen); });
    connect(flash_.otherArea, &QRadioButton::clicked, this,
            [this] { Apply(DialogEvent::OtherAreaChosen); });
}

void Cuvc_hid_olvexDlg::OnOpenDevice() {
    const OpenDeviceResult result = OpenDevice(*device_, TextOf(HexField(kIdVendorId)),
                                               TextOf(HexField(kIdProductId)), *boxes_);
    switch (result.next) {
        case OpenDeviceResult::Next::FillPanels:
            FillPanels(result.description);
            Apply(DialogEvent::DeviceOpened);
            break;
        case OpenDeviceResult::Next::CloseDialog:
            // As a posted close request: the handler returns before the dialog goes.
            endedWithoutDevice_ = true;
            QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
            break;
        case OpenDeviceResult::Next::KeepDialog:
            break;
    }
}

void Cuvc_hid_olvexDlg::FillPanels(const std::string& description) {
    Control<QRadioButton>(kIdRegister)->setChecked(true);
    auto* number = Control<QComboBox>(kIdGpioNumber);
    auto* direction = Control<QComboBox>(kIdGpioDirection);
    for (const char* item : kGpioNumbers) {
        number->addItem(QString::fromUtf8(item));
    }
    for (const char* item : kGpioDirections) {
        direction->addItem(QString::fromUtf8(item));
    }
    number->setCurrentIndex(panel_.StoredGpioNumber());
    direction->setCurrentIndex(panel_.StoredGpioDirection());
    for (const PanelStart& start : kPanelStart) {
        controls::CHexEdit* field = HexField(FieldId(start.field));
        field->SetValue(start.value, true, start.width);
        field->SetTextLimit(start.textLimit);
    }
    flash_.progressTotal->setText(QStringLiteral("0"));
    flash_.progressCount->setText(QStringLiteral("0"));
    flash_.status->setText(QString::fromUtf8(kStatusWait));
    Control<QLineEdit>(kIdDeviceInfo)->setText(QString::fromStdString(description));
}

PanelTexts Cuvc_hid_olvexDlg::GatherPanelTexts() const {
    PanelTexts texts;
    texts.iicChecked = Control<QRadioButton>(kIdIic)->isChecked();
    texts.gpioChecked = Control<QRadioButton>(kIdGpio)->isChecked();
    texts.registerAddress = TextOf(HexField(kIdRegisterAddress));
    texts.registerValue = TextOf(HexField(kIdRegisterValue));
    texts.iicAddress = TextOf(HexField(kIdIicAddress));
    texts.iicData = TextOf(HexField(kIdIicData));
    texts.gpioValue = TextOf(HexField(kIdGpioValue));
    texts.gpioNumberIndex = Control<QComboBox>(kIdGpioNumber)->currentIndex();
    texts.gpioDirectionIndex = Control<QComboBox>(kIdGpioDirection)->currentIndex();
    return texts;
}

void Cuvc_hid_olvexDlg::ShowAnswers(const PanelAnswers& answers) {
    ShowIfAnswered(HexField(kIdRegisterValue), answers.registerValue);
    ShowIfAnswered(HexField(kIdIicData), answers.iicData);
    ShowIfAnswered(HexField(kIdIicReturnCode), answers.iicReturnCode);
    ShowIfAnswered(HexField(kIdGpioValue), answers.gpioValue);
    ShowIfAnswered(HexField(kIdFirmwareVersion), answers.firmwareVersion);
    ShowIfAnswered(Control<QLineEdit>(kIdHdmiInfo), answers.hdmiInfo);
}

void Cuvc_hid_olvexDlg::OnRead() {
    ShowAnswers(panel_.Read(GatherPanelTexts()));
}

void Cuvc_hid_olvexDlg::OnWrite() {
    ShowAnswers(panel_.Write(GatherPanelTexts()));
}

void Cuvc_hid_olvexDlg::OnSetGpio() {
    panel_.SetGpio(GatherPanelTexts());
}

void Cuvc_hid_olvexDlg::OnGetFwVersion() {
    ShowAnswers(panel_.GetFirmwareVersion());
}

void Cuvc_hid_olvexDlg::OnGetHdmiInfo() {
    ShowAnswers(panel_.GetHdmiInfo());
}

void Cuvc_hid_olvexDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

void Cuvc_hid_olvexDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QString::fromUtf8(kAboutCommand), this, &Cuvc_hid_olvexDlg::ShowAbout);
    menu.exec(event->globalPos());
}

void Cuvc_hid_olvexDlg::done(int result) {
    if (closeHold_ != nullptr && closeHold_->HoldClose(result)) {
        return;
    }
    if (result == QDialog::Accepted) {
        setting_.Store(flash_.entireFlash->isChecked());
    }
    // A box of the window's own still open (the one that said why a run held the window, a
    // chooser or a box that a close request from outside met) goes with the window: left
    // behind, it would keep the process running on an empty screen.
    for (QDialog* box : findChildren<QDialog*>()) {
        if (box->isVisible()) {
            box->reject();
        }
    }
    QDialog::done(result);
}

}  // namespace brimlo::app
