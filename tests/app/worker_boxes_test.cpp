// Boxes raised on a worker thread: shown by the dialog's thread while only the worker waits.

#include "app/worker_boxes.h"

#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

namespace brimlo::app {
namespace {

class ThreadRecordingBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view caption, MessageIcon) override {
        texts << QString::fromUtf8(text.data(), qsizetype(text.size())) + u'|' +
                     QString::fromUtf8(caption.data(), qsizetype(caption.size()));
        threads << QThread::currentThread();
    }
    QStringList texts;
    QList<QThread*> threads;
};

// Joins the worker however the test function is left: a failed check returns early, and a
// thread still joinable would end the process instead of reporting. A worker waiting for a
// box is released first.
class JoinOnExit {
  public:
    JoinOnExit(WorkerBoxes& boxes, std::thread& worker) : boxes_(boxes), worker_(worker) {}
    ~JoinOnExit() {
        if (worker_.joinable()) {
            boxes_.Release();
            worker_.join();
        }
    }
    JoinOnExit(const JoinOnExit&) = delete;
    JoinOnExit& operator=(const JoinOnExit&) = delete;

  private:
    WorkerBoxes& boxes_;
    std::thread& worker_;
};

class WorkerBoxesTest : public QObject {
    Q_OBJECT

  private slots:
    void aWorkersBoxIsShownByTheDialogThreadWhileTheWorkerWaits() {
        ThreadRecordingBoxes ui;
        WorkerBoxes boxes(ui);
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            boxes.Show("Dump firmware has finished!", "Info", MessageIcon::Information);
            returned = true;
        });
        const JoinOnExit joined(boxes, worker);
        // Until the dialog's thread handles its events, the box is not shown and the worker waits.
        QTest::qSleep(50);
        QVERIFY(!returned);
        QVERIFY(ui.texts.isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return bool(returned); }, 5000));
        worker.join();
        QCOMPARE(ui.texts, QStringList{QStringLiteral("Dump firmware has finished!|Info")});
        QCOMPARE(ui.threads.value(0), QThread::currentThread());
    }

    void theDialogThreadShowsItsOwnBoxesDirectly() {
        ThreadRecordingBoxes ui;
        WorkerBoxes boxes(ui);
        boxes.Show("Please select the dump file !", "Error", MessageIcon::Error);
        QCOMPARE(ui.texts.size(), 1);
    }

    void releaseFreesAWaitingWorkerAndDropsLaterBoxes() {
        ThreadRecordingBoxes ui;
        WorkerBoxes boxes(ui);
        std::atomic<int> returned{0};
        std::thread worker([&] {
            boxes.Show("first", "Info", MessageIcon::Information);
            ++returned;
            boxes.Show("second", "Info", MessageIcon::Information);
            ++returned;
        });
        const JoinOnExit joined(boxes, worker);
        QTest::qSleep(50);  // the queued box waits; no event is processed here
        QCOMPARE(int(returned), 0);
        boxes.Release();
        worker.join();
        QCOMPARE(int(returned), 2);
        QCoreApplication::processEvents();
        QVERIFY(ui.texts.isEmpty());
    }
};

}  // namespace
}  // namespace brimlo::app

QTEST_MAIN(brimlo::app::WorkerBoxesTest)
#include "worker_boxes_test.moc"
