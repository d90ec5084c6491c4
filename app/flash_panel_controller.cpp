#include "app/flash_panel_controller.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <filesystem>

#include "controls/hex_edit.h"

namespace brimlo::app {
namespace {

// About 30 repaints a second: smooth to the eye, and cheap for the dialog's thread.
constexpr int kProgressIntervalMs = 33;

std::filesystem::path LocalPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

FlashPanelController::FlashPanelController(Cuvc_hid_olvexDlg& dialog, FlashFileChooser& chooser)
    : dialog_(dialog),
      w_(dialog.FlashPanel()),
      info_{w_.deviceName, w_.pageSize,       w_.sectorSize,      w_.totalBlock,
            w_.deviceId,   w_.pagesPerSector, w_.sectorsPerBlock, w_.totalSize},
      areas_{w_.areaFirmware, w_.areaPrivateData, w_.areaCustomizedData},
      chooser_(chooser),
      handOver_(dialog.Boxes(),
                [this] {
                    QMetaObject::invokeMethod(
                        this, [this] { handOver_.ServePending(); }, Qt::QueuedConnection);
                }),
      logic_(handOver_) {
    // The worker reads the Burn Area choice from the mirror, kept up to date by the controls'
    // own signals, whoever changes them.
    choice_.SetEntireFlash(w_.entireFlash->isChecked());
    connect(w_.entireFlash, &QRadioButton::toggled, this,
            [this](bool checked) { choice_.SetEntireFlash(checked); });
    for (std::size_t row = 0; row < areas_.size(); ++row) {
        choice_.SetAreaChecked(row, areas_[row]->isChecked());
        connect(areas_[row], &QCheckBox::toggled, this,
                [this, row](bool checked) { choice_.SetAreaChecked(row, checked); });
    }

    connect(w_.getId, &QPushButton::clicked, this, &FlashPanelController::OnGetId);
    connect(w_.burnFileBrowse, &QPushButton::clicked, this,
            &FlashPanelController::OnChooseBurnFile);
    connect(w_.dumpFileBrowse, &QPushButton::clicked, this,
            &FlashPanelController::OnChooseDumpFile);
    connect(w_.burn, &QPushButton::clicked, this, &FlashPanelController::OnBurn);
    connect(w_.dump, &QPushButton::clicked, this, &FlashPanelController::OnDump);

    stop_ = new QPushButton(QStringLiteral("Stop"), w_.dump->parentWidget());
    stop_->setObjectName(QStringLiteral("stopDump"));
    stop_->setAccessibleName(QStringLiteral("Stop"));
    stop_->hide();
    connect(stop_, &QPushButton::clicked, this, &FlashPanelController::OnStop);

    progressTimer_.setInterval(kProgressIntervalMs);
    connect(&progressTimer_, &QTimer::timeout, this, &FlashPanelController::ShowProgress);
    dialog_.SetCloseHold(this);
}

FlashPanelController::~FlashPanelController() {
    dialog_.SetCloseHold(nullptr);
    if (thread_ == nullptr) {
        return;
    }
    // Only reached when the dialog is torn down without its close path (which waits for the
    // worker's end): release a worker waiting for a box, end a dump early, and let the worker
    // finish before the device and the file it uses go away.
    handOver_.Release();
    dumpStop_.Request();
    thread_->wait();
    delete thread_;
}

bool FlashPanelController::HoldClose(int result) {
    if (!Running()) {
        return false;
    }
    pendingClose_ = result;
    // A request that comes while the box is up (a signal from outside) needs no second one.
    if (!holdBoxShown_) {
        holdBoxShown_ = true;
        ShowBox(RunningCloseBox(task_));
        holdBoxShown_ = false;
    }
    return true;
}

void FlashPanelController::ShowBox(const PanelBox& box) {
    dialog_.Boxes().Show(box.text, box.caption, box.icon);
}

flash::BurnSelection FlashPanelController::CurrentSelection() {
    flash::BurnSelection selection;
    selection.entireFlash = choice_.EntireFlash();
    for (std::size_t row = 0; row < selection.areas.size(); ++row) {
        selection.areas[row] = choice_.AreaChecked(row);
    }
    return selection;
}

void FlashPanelController::OnGetId() {
    const GetIdResult result = logic_.GetId(dialog_.Device());
    if (result.fields) {
        for (std::size_t i = 0; i < info_.size(); ++i) {
            info_[i]->setText(Text((*result.fields)[i]));
        }
    }
    if (result.box) {
        ShowBox(*result.box);
    }
}

void FlashPanelController::OnChooseBurnFile() {
    const std::optional<QString> path = chooser_.ChooseBurnFile(&dialog_);
    if (!path) {
        return;
    }
    w_.burnFile->setText(*path);
    dialog_.Apply(DialogEvent::BurnFileChosen);
    const BurnFileResult result = logic_.ChooseBurnFile(LocalPath(*path), CurrentSelection());
    w_.hexVersion->setText(Text(result.versionText));
    if (result.box) {
        ShowBox(*result.box);
    }
}

void FlashPanelController::OnChooseDumpFile() {
    const std::optional<QString> path = chooser_.ChooseDumpFile(&dialog_);
    if (!path) {
        return;
    }
    w_.dumpFile->setText(*path);
    dialog_.Apply(DialogEvent::DumpFileChosen);
    if (const auto box = logic_.ChooseDumpFile(LocalPath(*path))) {
        ShowBox(*box);
    }
}

void FlashPanelController::OnBurn() {
    if (Running()) {
        return;
    }
    if (const auto refusal = logic_.BurnRefusal(CurrentSelection())) {
        ShowBox(*refusal);
        return;
    }
    Start(FlashTask::Burn);
}

void FlashPanelController::OnDump() {
    if (Running()) {
        return;
    }
    if (const auto refusal = logic_.DumpRefusal()) {
        ShowBox(*refusal);
        return;
    }
    Start(FlashTask::Dump);
}

void FlashPanelController::OnStop() {
    dumpStop_.Request();
    stop_->setEnabled(false);
}

void FlashPanelController::Start(FlashTask task) {
    task_ = task;
    result_.reset();
    relay_.Reset();
    shown_.reset();
    dumpStop_.Clear();

    const FlashRunInputs inputs{dialog_.Device(),
                                logic_.Identity(),
                                logic_.BurnBytes(),
                                logic_.DumpSink(),
                                choice_,
                                handOver_,
                                relay_,
                                dumpStop_};
    thread_ = new QThread;
    auto* worker = new FlashWorker(task, inputs);
    worker->moveToThread(thread_);
    connect(thread_, &QThread::started, worker, &FlashWorker::Run);
    connect(worker, &FlashWorker::finished, this, &FlashPanelController::OnWorkerFinished);
    connect(worker, &FlashWorker::finished, thread_, &QThread::quit, Qt::DirectConnection);
    connect(thread_, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread_, &QThread::finished, this, &FlashPanelController::OnThreadFinished);

    // The worker starts first; no click can come between, as this handler holds the dialog's
    // thread until the controls are held.
    thread_->start();
    dialog_.Apply(DialogEvent::WorkerStarted);
    if (task == FlashTask::Dump) {
        stop_->setGeometry(w_.dump->geometry());
        stop_->setEnabled(true);
        w_.dump->hide();
        stop_->show();
    }
    ShowProgress();
    progressTimer_.start();
}

void FlashPanelController::OnWorkerFinished(const FlashRunResult& result) {
    result_ = result;
}

void FlashPanelController::OnThreadFinished() {
    // The run is over only now that its thread has ended: nothing uses the device, the file or
    // the image any more.
    progressTimer_.stop();
    ShowProgress();  // the final counts, however recent the last tick
    thread_->deleteLater();
    thread_ = nullptr;

    stop_->hide();
    w_.dump->show();
    logic_.CloseSelectedFile();
    w_.status->setText(Text(kStatusWait));
    dialog_.Apply(task_ == FlashTask::Burn ? DialogEvent::BurnWorkerEnded
                                           : DialogEvent::DumpWorkerEnded);
    emit workerEnded(task_);

    if (pendingClose_) {
        const int result = *pendingClose_;
        pendingClose_.reset();
        dialog_.done(result);
    }
}

void FlashPanelController::ShowProgress() {
    const ProgressSnapshot now = relay_.Snapshot();
    if (shown_ == now) {
        return;
    }
    if (!shown_ || shown_->status != now.status) {
        w_.status->setText(Text(FlashStatusText(now.status)));
    }
    if (!shown_ || shown_->total != now.total) {
        w_.progressTotal->setText(QString::number(now.total));
        // An empty range would make the bar spin as "busy"; a burst of 0 bytes shows empty.
        w_.progress->setRange(0, now.total == 0 ? 1 : static_cast<int>(now.total));
    }
    if (!shown_ || shown_->done != now.done) {
        w_.progressCount->setText(QString::number(now.done));
    }
    w_.progress->setValue(static_cast<int>(now.done));
    shown_ = now;
}

}  // namespace brimlo::app
