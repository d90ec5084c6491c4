#pragma once
// The flash panel of the dialog: Get ID, the two choosers, Burn and Dump on a worker thread,
// the live progress, the Stop action of a dump, and the close path while a worker runs. The
// decisions are FlashPanelLogic's; this class moves texts between it and the widgets and owns
// the worker's thread. Which controls are enabled is the dialog's table: this class reports
// the events the table needs.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>

#include "app/area_choice_mirror.h"
#include "app/flash_file_chooser.h"
#include "app/flash_panel_logic.h"
#include "app/flash_progress_relay.h"
#include "app/flash_worker.h"
#include "app/worker_boxes.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QThread;
class QWidget;

namespace brimlo::app {

// The dialog's flash widgets; every pointer must be set.
struct FlashPanelWidgets {
    // The value labels of "Flash Information", in the order of flash::FlashInformation.
    std::array<QLabel*, flash::kInfoFieldCount> info{};
    QLineEdit* burnPath = nullptr;
    QPushButton* chooseBurn = nullptr;
    QLineEdit* dumpPath = nullptr;
    QPushButton* chooseDump = nullptr;
    QLabel* status = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* count = nullptr;
    QLabel* total = nullptr;
    QRadioButton* entireFlash = nullptr;
    std::array<QCheckBox*, flash::kFlashAreaCount> areas{};
    QLineEdit* hexVersion = nullptr;
    QPushButton* getId = nullptr;
    QPushButton* burn = nullptr;
    QPushButton* dump = nullptr;
};

class FlashPanelController final : public QObject {
    Q_OBJECT

  public:
    // `dialog` owns the widgets and parents the boxes and file dialogs; `uiBoxes` shows boxes
    // on the dialog's thread. All must outlive the controller.
    FlashPanelController(QWidget* dialog, const FlashPanelWidgets& widgets, UvcHidDevice& device,
                         MessageBoxes& uiBoxes, FlashFileChooser& chooser);
    ~FlashPanelController() override;

    bool Running() const { return thread_ != nullptr; }
    std::optional<FlashTask> RunningTask() const;

    // The dialog's close path (OK, Esc, the close box). True when it may close now. While a
    // worker runs the user is told why the window stays, and closeReady(result) follows once
    // the worker has ended.
    bool RequestClose(int result);
    // When the dialog closes: the selected file closed, the burn image freed.
    void CloseSelectedFile() { logic_.CloseSelectedFile(); }

    // The Stop action of a running dump, shown in the Dump button's place.
    QPushButton* StopButton() const { return stop_; }
    const FlashPanelLogic& Logic() const { return logic_; }
    // The outcome of the last run, once its worker has ended.
    const std::optional<FlashRunResult>& LastResult() const { return result_; }

  signals:
    // For the dialog's enabling table.
    void burnFileChosen();
    void dumpFileChosen();
    void workerStarted();
    void workerEnded(brimlo::app::FlashTask task);
    // A close asked for during a run may now go ahead.
    void closeReady(int result);

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

    QWidget* dialog_;
    FlashPanelWidgets w_;
    UvcHidDevice& device_;
    MessageBoxes& uiBoxes_;
    FlashFileChooser& chooser_;
    WorkerBoxes workerBoxes_;
    FlashPanelLogic logic_;
    AreaChoiceMirror choice_;
    FlashProgressRelay relay_;
    QTimer progressTimer_;
    std::optional<ProgressSnapshot> shown_;
    QPushButton* stop_ = nullptr;

    QThread* thread_ = nullptr;
    QPointer<FlashWorker> worker_;
    FlashTask task_ = FlashTask::Burn;
    std::optional<FlashRunResult> result_;
    std::optional<int> pendingClose_;
};

}  // namespace brimlo::app
