#pragma once
// The flash panel of the dialog: Get ID, the two choosers, Burn and Dump on a worker thread,
// the live progress, the Stop action of a dump, and the close path while a worker runs. The
// decisions are FlashPanelLogic's; this class moves texts between it and the widgets and owns
// the worker's thread. Which controls are enabled is the dialog's table: this class feeds it
// the events of the flash panel.

#include <QObject>
#include <QTimer>
#include <array>
#include <optional>

#include "app/flash_file_chooser.h"
#include "app/flash_worker.h"
#include "app/uvc_hid_dlg.h"
#include "commands/stop_request.h"
#include "dialog/area_choice_mirror.h"
#include "dialog/box_hand_over.h"
#include "dialog/flash_panel_logic.h"
#include "dialog/flash_progress_relay.h"

class QPushButton;
class QThread;

namespace brimlo::app {

class FlashPanelController final : public QObject, public CloseHold {
    Q_OBJECT

  public:
    // Takes over `dialog`'s flash panel and holds its close path; the dialog and the chooser
    // must outlive the controller.
    FlashPanelController(Cuvc_hid_olvexDlg& dialog, FlashFileChooser& chooser);
    ~FlashPanelController() override;

    bool Running() const { return thread_ != nullptr; }

    // OK, Enter, Esc, the close box and a termination signal while a worker runs: the user is
    // told why the window stays, and the dialog closes with `result` once the worker has ended,
    // taking that box with it if it is still open.
    bool HoldClose(int result) override;

    // The Stop action of a running dump, shown in the Dump button's place.
    QPushButton* StopButton() const { return stop_; }
    const FlashPanelLogic& Logic() const { return logic_; }
    // The outcome of the last run, once its worker has ended.
    const std::optional<FlashRunResult>& LastResult() const { return result_; }

  signals:
    // After the dialog has applied the worker's end.
    void workerEnded(brimlo::app::FlashTask task);

  private:
    void OnGetId();
    void OnChooseBurnFile();
    void OnChooseDumpFile();
    void OnBurn();
    void OnDump();
    void OnStop();
    void Start(FlashTask task);
    void OnWorkerFinished(const FlashRunResult& result);
    void OnThreadFinished();
    void ShowProgress();
    void ShowBox(const PanelBox& box);
    flash::BurnSelection CurrentSelection();

    Cuvc_hid_olvexDlg& dialog_;
    const FlashPanelWidgets& w_;
    std::array<QLabel*, flash::kInfoFieldCount> info_;
    std::array<QCheckBox*, flash::kFlashAreaCount> areas_;
    FlashFileChooser& chooser_;
    // Worker boxes reach the dialog's thread through a queued call to this controller.
    BoxHandOver handOver_;
    FlashPanelLogic logic_;
    AreaChoiceMirror choice_;
    FlashProgressRelay relay_;
    QTimer progressTimer_;
    std::optional<ProgressSnapshot> shown_;
    QPushButton* stop_ = nullptr;

    QThread* thread_ = nullptr;
    // The dialog's own, so that Stop never reaches into the worker while it goes away.
    StopRequest dumpStop_;
    FlashTask task_ = FlashTask::Burn;
    std::optional<FlashRunResult> result_;
    std::optional<int> pendingClose_;
    bool holdBoxShown_ = false;
};

}  // namespace brimlo::app
