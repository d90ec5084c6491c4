#include "win32/uvc_hid_dlg_win32.h"

#include <commctrl.h>

#include <array>
#include <filesystem>
#include <utility>

#include "dialog/dialog_template.h"
#include "dialog/open_device.h"
#include "files/utf16_text.h"
#include "win32/hex_edit_win32.h"
#include "win32/win32_template.h"

namespace brimlo::win32 {
namespace {

using app::DialogEvent;
using app::RuledControl;

constexpr std::array<int, app::kRuledControlCount> kRuledIds = {
    app::kIdOpenDevice,
    app::kIdRead,
    app::kIdWrite,
    app::kIdSetGpio,
    app::kIdGetFwVersion,
    app::kIdGetHdmiInfo,
    app::kIdGetId,
    app::kIdBurnFileBrowse,
    app::kIdDumpFileBrowse,
    app::kIdBurn,
    app::kIdDump,
    app::kIdEntireFlash,
    app::kIdOtherArea,
    app::kIdAreaFirmware,
    app::kIdAreaPrivateData,
    app::kIdAreaCustomizedData,
};

// In the order of FlashInformation's fields.
constexpr std::array<int, flash::kInfoFieldCount> kInfoIds = {
    app::kIdDeviceName, app::kIdPageSize,       app::kIdSectorSize,      app::kIdTotalBlock,
    app::kIdDeviceId,   app::kIdPagesPerSector, app::kIdSectorsPerBlock, app::kIdTotalSize,
};

constexpr std::array<int, flash::kFlashAreaCount> kAreaIds = {
    app::kIdAreaFirmware, app::kIdAreaPrivateData, app::kIdAreaCustomizedData};

int FieldId(app::PanelField field) {
    switch (field) {
        case app::PanelField::GpioValue:
            return app::kIdGpioValue;
        case app::PanelField::IicAddress:
            return app::kIdIicAddress;
        case app::PanelField::IicReturnCode:
            return app::kIdIicReturnCode;
        case app::PanelField::IicData:
            return app::kIdIicData;
        case app::PanelField::RegisterAddress:
            return app::kIdRegisterAddress;
        case app::PanelField::RegisterValue:
            return app::kIdRegisterValue;
    }
    return app::kNoId;
}

class CAboutDlg final : public DialogBase {};

}  // namespace

Cuvc_hid_olvexDlg::Cuvc_hid_olvexDlg(hid::HidPlatform& platform, MessageBoxes* boxes,
                                     const RegistrySetting& setting, FileChooser& chooser)
    : boxes_(boxes ? boxes : &ownBoxes_),
      setting_(setting),
      chooser_(chooser),
      device_(std::make_unique<UvcHidDevice>(platform)),
      panel_(*device_, *boxes_),
      handOver_(*boxes_, [this] { ::PostMessageW(Handle(), kWmServeBoxes, 0, 0); }),
      logic_(handOver_),
      vendorId_(BRIMLO_DEFAULT_VID),
      productId_(BRIMLO_DEFAULT_PID),
      worker_([this] { WorkerLoop(); }) {}

Cuvc_hid_olvexDlg::~Cuvc_hid_olvexDlg() {
    if (Running()) {
        // Only reached when the dialog goes without its close path (which waits for the
        // worker's end): release a worker waiting for a box, end a dump early, and let the
        // worker finish before the device and the file it uses go away.
        handOver_.Release();
        dumpStop_.Request();
        WaitForRunEnd();
    }
    {
        const std::lock_guard lock(runMutex_);
        quitWorker_ = true;
    }
    runChanged_.notify_one();
    worker_.join();
    for (const HICON icon : {bigIcon_, smallIcon_}) {
        if (icon != nullptr) {
            ::DestroyIcon(icon);
        }
    }
}

std::vector<WORD> Cuvc_hid_olvexDlg::Template() {
    return BuildDialogTemplate(app::MainDialogTemplate(), kMainDialogStyle, kMainDialogExStyle);
}

void Cuvc_hid_olvexDlg::PresetIdentifiers(std::uint16_t vendorId, std::uint16_t productId) {
    vendorId_ = vendorId;
    productId_ = productId;
    if (Handle() != nullptr) {
        HexEdit::SetValue(Item(app::kIdVendorId), vendorId_, true, 1);
        HexEdit::SetValue(Item(app::kIdProductId), productId_, true, 1);
    }
}

bool Cuvc_hid_olvexDlg::OnInit() {
    ownBoxes_.SetOwner(Handle());
    for (const app::ControlTemplate& control : app::MainDialogTemplate().controls) {
        if (control.kind == app::ControlKind::HexEntry) {
            HexEdit::Attach(Item(control.id));
        }
    }
    // The About command at the end of the system menu, after a separator.
    wchar_t aboutText[64] = {};
    const HMENU systemMenu = ::GetSystemMenu(Handle(), FALSE);
    if (systemMenu != nullptr &&
        ::LoadStringW(::GetModuleHandleW(nullptr), kAboutStringResource, aboutText, 64) > 0) {
        ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(systemMenu, MF_STRING, kIdAboutCommand, aboutText);
    }
    const HINSTANCE module = ::GetModuleHandleW(nullptr);
    bigIcon_ = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXICON),
                                               ::GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(kIconResource),
                                                 IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), 0));
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    PresetIdentifiers(vendorId_, productId_);
    for (const int id : {app::kIdVendorId, app::kIdProductId}) {
        HexEdit::SetTextLimit(Item(id), 4);
    }
    facts_ = app::InitialFacts(setting_.Read());
    // "Other Area" starts with only "Firmware" checked; later choices keep the marks.
    Check(app::kIdAreaFirmware, !facts_.entireFlash);
    ApplyStates();
    CreateStopButton();
    // The focus stays with the first control in tab order, "OK".
    return true;
}

void Cuvc_hid_olvexDlg::CreateStopButton() {
    RECT dump{};
    ::GetWindowRect(Item(app::kIdDump), &dump);
    ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&dump), 2);
    const HWND stop =
        ::CreateWindowExW(0, WC_BUTTONW, L"Stop", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, dump.left,
                          dump.top, dump.right - dump.left, dump.bottom - dump.top, Handle(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdStop)),
                          ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(stop, WM_SETFONT, ::SendMessageW(Handle(), WM_GETFONT, 0, 0), FALSE);
}

void Cuvc_hid_olvexDlg::Apply(DialogEvent event) {
    facts_ = app::Apply(facts_, event);
    ApplyStates();
}

// Only the controls whose state changes are touched: each change costs the window system a
// round of messages and a repaint (under Wine a server call even when nothing changes), which a
// run's start and end would otherwise pay 18 times.
void Cuvc_hid_olvexDlg::ApplyStates() {
    const app::ControlStates states = app::StatesOf(facts_);
    for (std::size_t i = 0; i < kRuledIds.size(); ++i) {
        if (!applied_ || applied_->enabled[i] != states.enabled[i]) {
            EnableItem(kRuledIds[i], states.enabled[i]);
        }
    }
    for (const auto& [id, checked] : {std::pair{app::kIdEntireFlash, states.entireFlashChecked},
                                      std::pair{app::kIdOtherArea, states.otherAreaChecked}}) {
        if (IsChecked(id) != checked) {
            Check(id, checked);
        }
    }
    applied_ = states;
    MirrorBurnArea();
}

// The worker reads the Burn Area choice from the mirror, never from the controls.
void Cuvc_hid_olvexDlg::MirrorBurnArea() {
    choice_.SetEntireFlash(IsChecked(app::kIdEntireFlash));
    for (std::size_t row = 0; row < kAreaIds.size(); ++row) {
        choice_.SetAreaChecked(row, IsChecked(kAreaIds[row]));
    }
}

bool Cuvc_hid_olvexDlg::OnCommand(int id, int code, HWND control) {
    if (code == EN_CHANGE && HexEdit::IsHexEdit(control)) {
        HexEdit::TextChanged(control);
        return true;
    }
    if (code != BN_CLICKED) {
        return false;
    }
    switch (id) {
        case app::kIdOpenDevice:
            OnOpenDevice();
            return true;
        case app::kIdRead:
            ShowAnswers(panel_.Read(GatherPanelTexts()));
            return true;
        case app::kIdWrite:
            ShowAnswers(panel_.Write(GatherPanelTexts()));
            return true;
        case app::kIdSetGpio:
            panel_.SetGpio(GatherPanelTexts());
            return true;
        case app::kIdGetFwVersion:
            ShowAnswers(panel_.GetFirmwareVersion());
            return true;
        case app::kIdGetHdmiInfo:
            ShowAnswers(panel_.GetHdmiInfo());
            return true;
        case app::kIdGetId:
            OnGetId();
            return true;
        case app::kIdBurnFileBrowse:
            OnChooseBurnFile();
            return true;
        case app::kIdDumpFileBrowse:
            OnChooseDumpFile();
            return true;
        case app::kIdBurn:
            OnBurnOrDump(app::FlashTask::Burn);
            return true;
        case app::kIdDump:
            OnBurnOrDump(app::FlashTask::Dump);
            return true;
        case kIdStop:
            dumpStop_.Request();
            EnableItem(kIdStop, false);
            return true;
        case app::kIdEntireFlash:
            Apply(DialogEvent::EntireFlashChosen);
            return true;
        case app::kIdOtherArea:
            Apply(DialogEvent::OtherAreaChosen);
            return true;
        case app::kIdAreaFirmware:
        case app::kIdAreaPrivateData:
        case app::kIdAreaCustomizedData:
            MirrorBurnArea();
            return true;
        default:
            return false;
    }
}

INT_PTR Cuvc_hid_olvexDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            if (const HBRUSH brush = HexEdit::CtlColor(reinterpret_cast<HWND>(lParam),
                                                       reinterpret_cast<HDC>(wParam))) {
                return reinterpret_cast<INT_PTR>(brush);
            }
            break;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == kIdAboutCommand) {
                ShowAbout();
                return 0;
            }
            break;
        case WM_TIMER:
            if (wParam == kProgressTimer) {
                ShowProgress();
                return 0;
            }
            break;
        case kWmWorkerEnded:
            OnWorkerEnded();
            return 0;
        case kWmServeBoxes:
            handOver_.ServePending();
            return 0;
        case WM_QUERYENDSESSION:
            return QueryEndSession();
        case WM_ENDSESSION:
            if (wParam != FALSE) {
                EndSession();
            } else {
                ::ShutdownBlockReasonDestroy(Handle());  // the log-off was called off
            }
            return 0;
        default:
            break;
    }
    handled = false;
    return 0;
}

void Cuvc_hid_olvexDlg::ShowBox(const app::PanelBox& box) {
    boxes_->Show(box.text, box.caption, box.icon);
}

void Cuvc_hid_olvexDlg::ShowAbout() {
    CAboutDlg about;
    about.RunModal(BuildDialogTemplate(app::AboutDialogTemplate(), kAboutDialogStyle, 0, true),
                   Handle());
}

// OK, Enter, Esc, the close box and the no-device path. While a worker runs the user is told
// why the window stays, and it closes with `result` once the worker has ended; the window
// keeps answering meanwhile.
void Cuvc_hid_olvexDlg::Close(INT_PTR result) {
    if (Running()) {
        pendingClose_ = result;
        // A request that comes while the box is up (WM_CLOSE from outside) needs no second one.
        if (!holdBoxShown_) {
            holdBoxShown_ = true;
            ShowBox(app::RunningCloseBox(task_));
            holdBoxShown_ = false;
        }
        return;
    }
    if (result == IDOK) {
        setting_.Store(IsChecked(app::kIdEntireFlash));
    }
    logic_.CloseSelectedFile();
    End(result);
}

// Log-off or shutdown asks first. Idle, the window agrees and closes at WM_ENDSESSION. During a
// run it asks Windows to wait, giving the reason for its shutdown screen, and takes the close
// path, posted so that its box is not shown inside this sent message: the window and the
// process end with the run.
BOOL Cuvc_hid_olvexDlg::QueryEndSession() {
    if (!Running()) {
        return TRUE;
    }
    ::ShutdownBlockReasonCreate(Handle(),
                                files::Utf16FromUtf8(app::RunningCloseBox(task_).text).c_str());
    ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
    return FALSE;
}

// The session ends as soon as this returns, however the user answered the shutdown screen:
// close as Esc does, without a box. A dump stops at its next report; a burn cannot be stopped
// halfway, so the window waits for it as long as Windows lets it.
void Cuvc_hid_olvexDlg::EndSession() {
    if (Running()) {
        handOver_.Release();
        dumpStop_.Request();
        pendingClose_ = IDCANCEL;
        OnWorkerEnded();
        return;
    }
    Close(IDCANCEL);
}

void Cuvc_hid_olvexDlg::OnOpenDevice() {
    const app::OpenDeviceResult result = app::OpenDevice(*device_, ItemTextUtf8(app::kIdVendorId),
                                                         ItemTextUtf8(app::kIdProductId), *boxes_);
    switch (result.next) {
        case app::OpenDeviceResult::Next::FillPanels:
            FillPanels(result.description);
            Apply(DialogEvent::DeviceOpened);
            break;
        case app::OpenDeviceResult::Next::CloseDialog:
            // A posted close request: the handler returns before the dialog goes.
            endedWithoutDevice_ = true;
            ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
            break;
        case app::OpenDeviceResult::Next::KeepDialog:
            break;
    }
}

void Cuvc_hid_olvexDlg::FillPanels(const std::string& description) {
    ::CheckRadioButton(Handle(), app::kIdRegister, app::kIdGpio, app::kIdRegister);
    const HWND number = Item(app::kIdGpioNumber);
    const HWND direction = Item(app::kIdGpioDirection);
    for (const char* item : app::kGpioNumbers) {
        ::SendMessageW(number, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(files::Utf16FromUtf8(item).c_str()));
    }
    for (const char* item : app::kGpioDirections) {
        ::SendMessageW(direction, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(files::Utf16FromUtf8(item).c_str()));
    }
    ::SendMessageW(number, CB_SETCURSEL, panel_.StoredGpioNumber(), 0);
    ::SendMessageW(direction, CB_SETCURSEL, panel_.StoredGpioDirection(), 0);
    for (const app::PanelStart& start : app::kPanelStart) {
        const HWND field = Item(FieldId(start.field));
        HexEdit::SetValue(field, start.value, true, start.width);
        HexEdit::SetTextLimit(field, start.textLimit);
    }
    SetItemText(app::kIdProgressTotal, L"0");
    SetItemText(app::kIdProgressCount, L"0");
    SetItemTextUtf8(app::kIdStatus, app::kStatusWait);
    SetItemTextUtf8(app::kIdDeviceInfo, description);
}

app::PanelTexts Cuvc_hid_olvexDlg::GatherPanelTexts() const {
    app::PanelTexts texts;
    texts.iicChecked = IsChecked(app::kIdIic);
    texts.gpioChecked = IsChecked(app::kIdGpio);
    texts.registerAddress = ItemTextUtf8(app::kIdRegisterAddress);
    texts.registerValue = ItemTextUtf8(app::kIdRegisterValue);
    texts.iicAddress = ItemTextUtf8(app::kIdIicAddress);
    texts.iicData = ItemTextUtf8(app::kIdIicData);
    texts.gpioValue = ItemTextUtf8(app::kIdGpioValue);
    texts.gpioNumberIndex =
        static_cast<int>(::SendMessageW(Item(app::kIdGpioNumber), CB_GETCURSEL, 0, 0));
    texts.gpioDirectionIndex =
        static_cast<int>(::SendMessageW(Item(app::kIdGpioDirection), CB_GETCURSEL, 0, 0));
    return texts;
}

void Cuvc_hid_olvexDlg::ShowAnswers(const app::PanelAnswers& answers) {
    const auto show = [this](int id, const std::optional<std::string>& text) {
        if (text) {
            SetItemTextUtf8(id, *text);
        }
    };
    show(app::kIdRegisterValue, answers.registerValue);
    show(app::kIdIicData, answers.iicData);
    show(app::kIdIicReturnCode, answers.iicReturnCode);
    show(app::kIdGpioValue, answers.gpioValue);
    show(app::kIdFirmwareVersion, answers.firmwareVersion);
    show(app::kIdHdmiInfo, answers.hdmiInfo);
}

flash::BurnSelection Cuvc_hid_olvexDlg::CurrentSelection() {
    flash::BurnSelection selection;
    selection.entireFlash = choice_.EntireFlash();
    for (std::size_t row = 0; row < selection.areas.size(); ++row) {
        selection.areas[row] = choice_.AreaChecked(row);
    }
    return selection;
}

void Cuvc_hid_olvexDlg::OnGetId() {
    const app::GetIdResult result = logic_.GetId(*device_);
    if (result.fields) {
        for (std::size_t i = 0; i < kInfoIds.size(); ++i) {
            SetItemTextUtf8(kInfoIds[i], (*result.fields)[i]);
        }
    }
    if (result.box) {
        ShowBox(*result.box);
    }
}

void Cuvc_hid_olvexDlg::OnChooseBurnFile() {
    const std::optional<std::wstring> path = chooser_.ChooseBurnFile(Handle());
    if (!path) {
        return;
    }
    SetItemText(app::kIdBurnFile, *path);
    Apply(DialogEvent::BurnFileChosen);
    const app::BurnFileResult result =
        logic_.ChooseBurnFile(std::filesystem::path(*path), CurrentSelection());
    SetItemTextUtf8(app::kIdHexVersion, result.versionText);
    if (result.box) {
        ShowBox(*result.box);
    }
}

void Cuvc_hid_olvexDlg::OnChooseDumpFile() {
    const std::optional<std::wstring> path = chooser_.ChooseDumpFile(Handle());
    if (!path) {
        return;
    }
    SetItemText(app::kIdDumpFile, *path);
    Apply(DialogEvent::DumpFileChosen);
    if (const auto box = logic_.ChooseDumpFile(std::filesystem::path(*path))) {
        ShowBox(*box);
    }
}

void Cuvc_hid_olvexDlg::OnBurnOrDump(app::FlashTask task) {
    if (Running()) {
        return;
    }
    const std::optional<app::PanelBox> refusal = task == app::FlashTask::Burn
                                                     ? logic_.BurnRefusal(CurrentSelection())
                                                     : logic_.DumpRefusal();
    if (refusal) {
        ShowBox(*refusal);
        return;
    }
    Start(task);
}

void Cuvc_hid_olvexDlg::Start(app::FlashTask task) {
    task_ = task;
    relay_.Reset();
    shown_.reset();
    dumpStop_.Clear();
    const app::FlashRunInputs inputs{
        *device_, logic_.Identity(), logic_.BurnBytes(), logic_.DumpSink(), choice_, handOver_,
        relay_,   dumpStop_};
    {
        const std::lock_guard lock(runMutex_);
        nextRun_.emplace(Run{task, inputs, Handle()});
        runFinished_ = false;
    }
    running_ = true;
    runChanged_.notify_one();
    // The worker holds the device and the file from here on; no click comes between, as this
    // handler holds the dialog's thread until the controls are disabled.
    Apply(DialogEvent::WorkerStarted);
    if (task == app::FlashTask::Dump) {
        EnableItem(kIdStop, true);
        ::ShowWindow(Item(app::kIdDump), SW_HIDE);
        ::ShowWindow(Item(kIdStop), SW_SHOW);
    }
    ShowProgress();
    ::SetTimer(Handle(), kProgressTimer, kProgressIntervalMs, nullptr);
}

void Cuvc_hid_olvexDlg::OnWorkerEnded() {
    if (!Running()) {
        return;  // already handled at the session's end
    }
    // The run is over only once the worker has finished it: nothing uses the device, the file
    // or the image any more.
    WaitForRunEnd();
    running_ = false;
    lastResult_ = workerResult_;
    ::KillTimer(Handle(), kProgressTimer);
    ShowProgress(false);  // the final counts, however recent the last tick; the status follows

    if (task_ == app::FlashTask::Dump) {
        ::ShowWindow(Item(kIdStop), SW_HIDE);
        ::ShowWindow(Item(app::kIdDump), SW_SHOW);
    }
    logic_.CloseSelectedFile();
    SetItemTextUtf8(app::kIdStatus, app::kStatusWait);
    Apply(task_ == app::FlashTask::Burn ? DialogEvent::BurnWorkerEnded
                                        : DialogEvent::DumpWorkerEnded);
    if (pendingClose_) {
        const INT_PTR result = *pendingClose_;
        pendingClose_.reset();
        Close(result);
    }
}

void Cuvc_hid_olvexDlg::WorkerLoop() {
    std::unique_lock lock(runMutex_);
    for (;;) {
        runChanged_.wait(lock, [this] { return nextRun_ || quitWorker_; });
        if (!nextRun_) {
            return;
        }
        const Run run = *nextRun_;
        nextRun_.reset();
        lock.unlock();
        workerResult_ = app::RunFlashTask(run.task, run.inputs);
        lock.lock();
        runFinished_ = true;
        runChanged_.notify_all();
        ::PostMessageW(run.dialog, kWmWorkerEnded, 0, 0);
    }
}

void Cuvc_hid_olvexDlg::WaitForRunEnd() {
    std::unique_lock lock(runMutex_);
    runChanged_.wait(lock, [this] { return runFinished_; });
}

void Cuvc_hid_olvexDlg::ShowProgress(bool withStatus) {
    const app::ProgressSnapshot now = relay_.Snapshot();
    if (shown_ == now) {
        return;
    }
    if (withStatus && (!shown_ || shown_->status != now.status)) {
        SetItemTextUtf8(app::kIdStatus, app::FlashStatusText(now.status));
    }
    const HWND progress = Item(app::kIdProgress);
    if (!shown_ || shown_->total != now.total) {
        SetItemText(app::kIdProgressTotal, std::to_wstring(now.total));
        // An empty range would show a full bar; a burst of 0 bytes shows empty.
        ::SendMessageW(progress, PBM_SETRANGE32, 0, now.total == 0 ? 1 : now.total);
    }
    if (!shown_ || shown_->done != now.done) {
        SetItemText(app::kIdProgressCount, std::to_wstring(now.done));
    }
    if (!shown_ || shown_->done != now.done || shown_->total != now.total) {
        ::SendMessageW(progress, PBM_SETPOS, now.done, 0);
    }
    shown_ = now;
}

}  // namespace brimlo::win32
