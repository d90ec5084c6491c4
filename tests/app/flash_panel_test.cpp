// The flash panel against the emulated device: Get ID into the labels, burns and dumps on the
// worker thread with their boxes shown by the dialog's thread, the Stop action, an unplug in
// the middle, an area ticked during a burn, and a close request that waits for the worker.

#include <QSignalSpy>
#include <QTest>

#include "flash/flash_messages.h"
#include "flash_panel_harness.h"
#include "flash_test_data.h"

namespace brimlo::app::testing {
namespace {

using flash::testing::Bytes;
using flash::testing::FlashImage;
using flash::testing::Pattern;
using flash::testing::TempDir;

constexpr int kRunTimeoutMs = 60000;

sim::SimConfig Chip(std::uint32_t row, std::uint32_t latencyUs = 0) {
    sim::SimConfig config;
    config.chipRow = row;
    if (latencyUs != 0) {
        config.faults.latencyUs = latencyUs;
    }
    return config;
}

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Chooses `file` as burn file, or as dump file, through the "..." button.
void ChooseBurn(FlashPanelHarness& panel, const std::filesystem::path& file) {
    panel.chooser.burnFile = QString::fromStdString(file.string());
    panel.w.chooseBurn->click();
}
void ChooseDump(FlashPanelHarness& panel, const std::filesystem::path& file) {
    panel.chooser.dumpFile = QString::fromStdString(file.string());
    panel.w.chooseDump->click();
}

bool WaitForEnd(FlashPanelHarness& panel) {
    return QTest::qWaitFor([&] { return !panel.controller->Running(); }, kRunTimeoutMs);
}

class FlashPanelTest : public QObject {
    Q_OBJECT

  private slots:
    void getIdFillsTheLabels();
    void refusalsStartNothing();
    void entireFlashBurn();
    void otherAreaBurnHonoursAnAreaTickedDuringTheRun();
    void dumpEqualsTheFlash();
    void stoppedDumpKeepsTheBytesRead();
    void unplugMidBurn();
    void unplugMidDump();
    void closeDuringARunWaitsForTheEnd();

  private:
    TempDir dir_;
};

void FlashPanelTest::getIdFillsTheLabels() {
    FlashPanelHarness panel(Chip(32));
    QVERIFY(panel.opened);
    panel.w.getId->click();
    QCOMPARE(panel.w.info[0]->text(), QStringLiteral("GD_GD25Q128C"));
    QCOMPARE(panel.w.info[7]->text(), QStringLiteral("16384 KB"));

    sim::SimFaults faults;
    faults.chipIndexAnswer = 44;
    panel.sim->SetFaults(faults);
    panel.w.getId->click();
    QCOMPARE(panel.boxes.shown.size(), std::size_t{1});
    QVERIFY(panel.boxes.shown[0].text.contains(QStringLiteral("44")));
    QCOMPARE(panel.w.info[4]->text(), QStringLiteral("32"));  // the previous chip stays
}

void FlashPanelTest::refusalsStartNothing() {
    FlashPanelHarness panel(Chip(4));
    QSignalSpy started(panel.controller, &FlashPanelController::workerStarted);
    panel.w.burn->click();
    panel.w.dump->click();
    ChooseDump(panel, dir_.path / "refused.bin");
    panel.w.dump->click();  // no Get ID yet
    ChooseBurn(panel, dir_.Write("short.bin", Bytes(16, 0x11)));
    panel.w.getId->click();
    panel.w.burn->click();  // too short to burn
    QCOMPARE(started.count(), 0);
    QCOMPARE(panel.boxes.shown.size(), std::size_t{5});
    QCOMPARE(panel.boxes.shown[0].text, Q(flash::kSelectBurnFile));
    QCOMPARE(panel.boxes.shown[1].text, Q(flash::kSelectDumpFile));
    QCOMPARE(panel.boxes.shown[2].text, Q(flash::kExecuteGetId));
    QCOMPARE(panel.boxes.shown[4].text, panel.boxes.shown[3].text);  // chooser and Burn agree
    QVERIFY(panel.controller->Logic().BurnLoaded());                 // the refusal keeps the file
}

void FlashPanelTest::entireFlashBurn() {
    FlashPanelHarness panel(Chip(34));  // 256 KB
    const Bytes image = Pattern(256 * 1024, 0x42);
    panel.w.getId->click();
    ChooseBurn(panel, dir_.Write("whole.bin", image));
    QSignalSpy ended(panel.controller, &FlashPanelController::workerEnded);
    panel.w.burn->click();
    QVERIFY(panel.controller->Running());
    QVERIFY(WaitForEnd(panel));

    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended[0][0].value<FlashTask>(), FlashTask::Burn);
    QCOMPARE(panel.boxes.shown.size(), std::size_t{1});
    QCOMPARE(panel.boxes.shown[0].text, Q(flash::kEntireUpdated));
    QCOMPARE(panel.boxes.shown[0].caption, QStringLiteral("Info"));
    QVERIFY(panel.boxes.shown[0].onDialogThread);
    QVERIFY(panel.sim->PeekFlash(0, image.size()) == image);
    // The final counts are shown, then the label waits; the image is freed.
    QCOMPARE(panel.w.count->text(), QString::number(image.size()));
    QCOMPARE(panel.w.total->text(), QString::number(image.size()));
    QCOMPARE(panel.w.progress->value(), int(image.size()));
    QCOMPARE(panel.w.status->text(), QStringLiteral("Status: Wait"));
    QVERIFY(!panel.controller->Logic().BurnLoaded());
}

void FlashPanelTest::otherAreaBurnHonoursAnAreaTickedDuringTheRun() {
    // Slow exchanges, so that the burn is still at the firmware when the box is ticked.
    FlashPanelHarness panel(Chip(4, 1000));
    const Bytes image = FlashImage(0x10000, 1);
    panel.otherArea->setChecked(true);
    panel.w.areas[flash::kFirmwareArea]->setChecked(true);
    panel.w.getId->click();
    ChooseBurn(panel, dir_.Write("areas.bin", image));
    panel.w.burn->click();
    QVERIFY(panel.controller->Running());
    panel.w.areas[flash::kCustomizedArea]->setChecked(true);
    QVERIFY(WaitForEnd(panel));

    QCOMPARE(panel.boxes.shown.size(), std::size_t{1});
    QCOMPARE(panel.boxes.shown[0].text,
             QStringLiteral("- Firmware Area\n- Customized Area\n\n has updated, please "
                            "replug-in device!"));
    const auto& customized = flash::kFlashAreas[flash::kCustomizedArea];
    QVERIFY(panel.sim->PeekFlash(customized.address, customized.length) ==
            Bytes(image.begin() + customized.address,
                  image.begin() + customized.address + customized.length));
    QCOMPARE(panel.sim->PeekFlash(flash::kFlagSectorAddress, 1).at(0), std::uint8_t{1});
}

void FlashPanelTest::dumpEqualsTheFlash() {
    FlashPanelHarness panel(Chip(34));
    const Bytes contents = Pattern(256 * 1024, 0x5C);
    panel.sim->PokeFlash(0, contents);
    panel.w.getId->click();
    const auto file = dir_.path / "dump.bin";
    ChooseDump(panel, file);
    QCOMPARE(panel.w.dumpPath->text(), QString::fromStdString(file.string()));
    panel.w.dump->click();
    QVERIFY(WaitForEnd(panel));

    QCOMPARE(panel.boxes.shown.size(), std::size_t{1});
    QCOMPARE(panel.boxes.shown[0].text, Q(flash::kDumpFinished));
    QVERIFY(TempDir::Read(file) == contents);
    QCOMPARE(panel.w.count->text(), QString::number(contents.size()));
    QVERIFY(!panel.controller->StopButton()->isVisible());
}

void FlashPanelTest::stoppedDumpKeepsTheBytesRead() {
    FlashPanelHarness panel(Chip(4, 200));
    const Bytes contents = Pattern(8 * 1024 * 1024, 0x17);
    panel.sim->PokeFlash(0, contents);
    panel.show();
    panel.w.getId->click();
    ChooseDump(panel, dir_.path / "stopped.bin");
    panel.w.dump->click();
    QPushButton* stop = panel.controller->StopButton();
    QVERIFY(stop->isVisible());
    QVERIFY(!panel.w.dump->isVisible());
    QVERIFY(QTest::qWaitFor([&] { return panel.w.count->text().toUInt() > 0; }, kRunTimeoutMs));
    stop->click();
    QVERIFY(WaitForEnd(panel));

    const FlashRunResult& result = *panel.controller->LastResult();
    QVERIFY(result.dump.stopped);
    const std::uint32_t kept = result.dump.bytesDumped;
    QVERIFY(kept > 0 && kept < contents.size());
    QCOMPARE(panel.boxes.shown.size(), std::size_t{1});
    QVERIFY(panel.boxes.shown[0].text.contains(QString::number(kept)));
    const Bytes partial = TempDir::Read(result.dump.location);
    QVERIFY(partial == Bytes(contents.begin(), contents.begin() + kept));
    QVERIFY(!stop->isVisible());
    QVERIFY(panel.w.dump->isVisible());
}

void FlashPanelTest::unplugMidBurn() {
    FlashPanelHarness panel(Chip(34));
    panel.w.getId->click();
    ChooseBurn(panel, dir_.Write("unplug.bin", Pattern(256 * 1024, 0x33)));
    sim::SimFaults faults;
    faults.unplugAfter = 40;  // a few chunks into the write
    panel.sim->SetFaults(faults);
    panel.w.burn->click();
    QVERIFY(WaitForEnd(panel));

    const FlashRunResult& result = *panel.controller->LastResult();
    QVERIFY(!result.burn.Updated());
    QVERIFY(!result.burn.error.empty() || result.burn.compareFailed);
    QVERIFY(!panel.boxes.shown.empty());
    QCOMPARE(panel.boxes.shown.back().caption, QStringLiteral("Error"));
    QVERIFY(panel.BoxesWith(Q(flash::kEntireUpdated)) == 0);
    QCOMPARE(panel.w.status->text(), QStringLiteral("Status: Wait"));
    QVERIFY(!panel.controller->Logic().BurnLoaded());
}

void FlashPanelTest::unplugMidDump() {
    FlashPanelHarness panel(Chip(34));
    panel.w.getId->click();
    const auto file = dir_.path / "unplugged.bin";
    ChooseDump(panel, file);
    sim::SimFaults faults;
    faults.unplugAfter = 20;
    panel.sim->SetFaults(faults);
    panel.w.dump->click();
    QVERIFY(WaitForEnd(panel));

    const FlashRunResult& result = *panel.controller->LastResult();
    QVERIFY(!result.dump.completed);
    QVERIFY(!result.dump.stopped);
    QCOMPARE(panel.boxes.shown.size(), std::size_t{1});
    QCOMPARE(panel.boxes.shown[0].caption, QStringLiteral("Error"));
    QVERIFY(!std::filesystem::exists(file));  // a half dump never sits under the chosen name
    QCOMPARE(panel.w.status->text(), QStringLiteral("Status: Wait"));
}

void FlashPanelTest::closeDuringARunWaitsForTheEnd() {
    FlashPanelHarness panel(Chip(34, 300));
    panel.w.getId->click();
    ChooseBurn(panel, dir_.Write("close.bin", Pattern(256 * 1024, 0x71)));
    QSignalSpy ready(panel.controller, &FlashPanelController::closeReady);
    bool endedBeforeReady = false;
    connect(panel.controller, &FlashPanelController::closeReady, this,
            [&] { endedBeforeReady = !panel.controller->Running(); });
    panel.w.burn->click();

    QVERIFY(!panel.controller->RequestClose(1));
    QCOMPARE(ready.count(), 0);
    QCOMPARE(panel.boxes.shown.size(), std::size_t{1});
    QVERIFY(panel.boxes.shown[0].text.contains(QStringLiteral("cannot be stopped halfway")));
    QVERIFY(ready.wait(kRunTimeoutMs));
    QCOMPARE(ready[0][0].toInt(), 1);
    QVERIFY(endedBeforeReady);
    // The burn's own closing box came before the close.
    QCOMPARE(panel.boxes.shown.back().text, Q(flash::kEntireUpdated));
    QVERIFY(panel.controller->RequestClose(1));
}

}  // namespace
}  // namespace brimlo::app::testing

QTEST_MAIN(brimlo::app::testing::FlashPanelTest)
#include "flash_panel_test.moc"
