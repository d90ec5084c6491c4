#pragma once
// The main dialog on Win32: the window from the control table's in-memory template, the
// enabling rules applied to it, Open Device, the peripheral panel, and the flash panel with
// Burn and Dump on a worker thread. A view: every decision is the toolkit-free logic's, which
// the Qt view uses too; this class moves texts between it and the controls.

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "commands/message_boxes.h"
#include "commands/stop_request.h"
#include "commands/uvc_hid_device.h"
#include "dialog/area_choice_mirror.h"
#include "dialog/box_hand_over.h"
#include "dialog/control_rules.h"
#include "dialog/flash_panel_logic.h"
#include "dialog/flash_progress_relay.h"
#include "dialog/flash_run.h"
#include "dialog/peripheral_panel.h"
#include "hid/hid_platform.h"
#include "win32/dialog_base.h"
#include "win32/file_chooser.h"
#include "win32/registry_setting.h"
#include "win32/win32_boxes.h"

namespace brimlo::win32 {

// The Stop action of a running dump, shown in the Dump button's place.
inline constexpr int kIdStop = 1053;
// The About command of the system menu.
inline constexpr UINT kIdAboutCommand = 0x10;
// Posted by the worker when its run is over, and when it has a box to show.
inline constexpr UINT kWmWorkerEnded = WM_APP + 1;
inline constexpr UINT kWmServeBoxes = WM_APP + 2;
inline constexpr UINT_PTR kProgressTimer = 1;
// About 30 repaints a second: smooth to the eye, and cheap for the dialog's thread.
inline constexpr UINT kProgressIntervalMs = 33;

class Cuvc_hid_olvexDlg final : public DialogBase {
  public:
    // `boxes` null: message boxes over this dialog.
    Cuvc_hid_olvexDlg(hid::HidPlatform& platform, MessageBoxes* boxes,
                      const RegistrySetting& setting, FileChooser& chooser);
    ~Cuvc_hid_olvexDlg() override;

    static std::vector<WORD> Template();

    // The identifiers "Device VID : 0x" and "PID : 0x" show when the dialog opens.
    void PresetIdentifiers(std::uint16_t vendorId, std::uint16_t productId);

    bool Running() const { return running_; }
    const app::DialogFacts& Facts() const { return facts_; }
    // True when Open Device closed the dialog because no usable device was there.
    bool EndedWithoutDevice() const { return endedWithoutDevice_; }
    // The outcome of the last run, once its worker has ended.
    const std::optional<app::FlashRunResult>& LastResult() const { return lastResult_; }

  protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnOK() override { Close(IDOK); }
    void OnCancel() override { Close(IDCANCEL); }

  private:
    void Apply(app::DialogEvent event);
    void ApplyStates();
    void MirrorBurnArea();
    void CreateStopButton();
    void Close(INT_PTR result);
    BOOL QueryEndSession();
    void EndSession();
    void ShowBox(const app::PanelBox& box);
    void ShowAbout();

    void OnOpenDevice();
    void FillPanels(const std::string& description);
    app::PanelTexts GatherPanelTexts() const;
    void ShowAnswers(const app::PanelAnswers& answers);

    flash::BurnSelection CurrentSelection();
    void OnGetId();
    void OnChooseBurnFile();
    void OnChooseDumpFile();
    void OnBurnOrDump(app::FlashTask task);
    void Start(app::FlashTask task);
    void OnWorkerEnded();
    void WorkerLoop();
    void WaitForRunEnd();
    void ShowProgress(bool withStatus = true);

    Win32MessageBoxes ownBoxes_;
    MessageBoxes* boxes_;
    const RegistrySetting& setting_;
    FileChooser& chooser_;
    std::unique_ptr<UvcHidDevice> device_;
    app::PeripheralPanel panel_;
    app::BoxHandOver handOver_;
    app::FlashPanelLogic logic_;
    app::AreaChoiceMirror choice_;
    app::FlashProgressRelay relay_;
    std::optional<app::ProgressSnapshot> shown_;
    app::DialogFacts facts_;
    std::optional<app::ControlStates> applied_;
    std::uint16_t vendorId_;
    std::uint16_t productId_;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;

    // One worker for the dialog's life, waiting for the next run: under Wine starting and
    // joining a thread per run costs more than a run's wake-up.
    std::mutex runMutex_;
    std::condition_variable runChanged_;
    struct Run {
        app::FlashTask task;
        app::FlashRunInputs inputs;
        HWND dialog;
    };
    std::optional<Run> nextRun_;
    bool runFinished_ = false;
    bool quitWorker_ = false;
    bool running_ = false;  // from Start until the dialog has handled the run's end
    std::thread worker_;
    app::FlashTask task_ = app::FlashTask::Burn;
    // Written by the worker, read once the run has finished.
    app::FlashRunResult workerResult_;
    std::optional<app::FlashRunResult> lastResult_;
    // The dialog's own, so that Stop never reaches into the worker while it goes away.
    StopRequest dumpStop_;
    std::optional<INT_PTR> pendingClose_;
    bool holdBoxShown_ = false;
    bool endedWithoutDevice_ = false;
};

}  // namespace brimlo::win32
