// The dialog's flash panel against the emulated device: Get ID into the labels, burns and dumps
// on the worker thread with their boxes shown by the dialog's thread, the controls held during
// a run (an area box clicked during a burn stays as it was), the Stop action, an unplug in the
// middle, and closing requests that wait for the worker.

#include <QSignalSpy>
#include <QTest>
#include <map>

#include "capture_debug.h"
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

bool WaitForEnd(FlashDialogHarness& h) {
    return QTest::qWaitFor([&] { return !h.controller->Running(); }, kRunTimeoutMs);
}

// Every control that could reach the device or the selected file.
constexpr int kDeviceControls[] = {
    kIdOpenDevice,
    kIdRead,
    kIdWrite,
    kIdSetGpio,
    kIdGetFwVersion,
    kIdGetHdmiInfo,
    kIdGetId,
    kIdBurnFileBrowse,
    kIdDumpFileBrowse,
    kIdBurn,
    kIdDump,
    kIdEntireFlash,
    kIdOtherArea,
    kIdAreaFirmware,
    kIdAreaPrivateData,
    kIdAreaCustomizedData,
};

std::map<int, bool> EnabledStates(const FlashDialogHarness& h) {
    std::map<int, bool> states;
    for (const int id : kDeviceControls) {
        states[id] = h.dialog->Control<QWidget>(id)->isEnabled();
    }
    return states;
}

class FlashPanelTest : public QObject {
    Q_OBJECT

  private slots:
    void getIdFillsTheLabels();
    void refusalsStartNothing();
    void entireFlashBurn();
    void otherAreaBurnWritesWhatWasChosenWhenBurnWasPressed();
    void controlsAreHeldDuringARunAndRestoredAfter();
    void dumpEqualsTheFlash();
    void stoppedDumpKeepsTheBytesRead();
    void unplugMidBurn();
    void unplugMidDump();
    void okDuringABurnClosesOnlyAfterItsEnd();
    void escapeDuringADumpClosesOnlyAfterItsEnd();

  private:
    TempDir dir_;
};

void FlashPanelTest::getIdFillsTheLabels() {
    FlashDialogHarness h(Chip(32));
    h.W().getId->click();
    QCOMPARE(h.W().deviceName->text(), QStringLiteral("GD_GD25Q128C"));
    QCOMPARE(h.W().pagesPerSector->text(), QStringLiteral("16"));
    QCOMPARE(h.W().totalSize->text(), QStringLiteral("16384 KB"));

    sim::SimFaults faults;
    faults.chipIndexAnswer = 44;
    h.sim->SetFaults(faults);
    h.W().getId->click();
    QCOMPARE(h.boxes.shown.size(), std::size_t{1});
    QCOMPARE(h.boxes.shown[0].caption, QStringLiteral("Error"));
    QVERIFY(h.boxes.shown[0].text.contains(QStringLiteral("44")));
    QCOMPARE(h.W().deviceId->text(), QStringLiteral("32"));  // the previous chip stays
    QCOMPARE(h.W().deviceName->text(), QStringLiteral("GD_GD25Q128C"));
}

void FlashPanelTest::refusalsStartNothing() {
    FlashDialogHarness h(Chip(4));
    QSignalSpy ended(h.controller.get(), &FlashPanelController::workerEnded);
    h.ChooseDump(dir_.path / "refused.bin");
    h.W().dump->click();  // before Get ID
    h.ChooseBurn(dir_.Write("short.bin", Bytes(16, 0x11)));
    QVERIFY(!h.W().dump->isEnabled());
    h.W().getId->click();
    h.W().burn->click();  // too short to burn
    h.ChooseBurn(dir_.path / "missing.bin");
    QVERIFY(h.W().burn->isEnabled());
    h.W().burn->click();  // the file could not be read

    QCoreApplication::processEvents();
    QCOMPARE(ended.count(), 0);
    QCOMPARE(h.boxes.shown.size(), std::size_t{5});
    QCOMPARE(h.boxes.shown[0].text, Q(flash::kExecuteGetId));
    QCOMPARE(h.boxes.shown[2].text, h.boxes.shown[1].text);  // the chooser and Burn agree
    QVERIFY(h.boxes.shown[3].text.contains(QStringLiteral("missing.bin")));
    QCOMPARE(h.boxes.shown[4].text, Q(flash::kSelectBurnFile));
    QCOMPARE(h.W().hexVersion->text(), QString());
}

void FlashPanelTest::entireFlashBurn() {
    FlashDialogHarness h(Chip(34));  // 256 KB
    Bytes image = Pattern(256 * 1024, 0x42);
    image[28] = 0x04, image[29] = 0x03, image[30] = 0x02, image[31] = 0x01;
    h.W().getId->click();
    const auto file = dir_.Write("whole.bin", image);
    h.ChooseBurn(file);
    QCOMPARE(h.W().burnFile->text(), QString::fromStdString(file.string()));
    QCOMPARE(h.W().hexVersion->text(), QStringLiteral("01.02.03.04"));
    QSignalSpy ended(h.controller.get(), &FlashPanelController::workerEnded);
    brimlo::testing::CaptureDebug debug;
    h.W().burn->click();
    QVERIFY(h.controller->Running());
    QVERIFY(WaitForEnd(h));
    QVERIFY(debug.lines.size() >= 3);
    QCOMPARE(debug.lines.front(), std::string("Start write data to flash.\n"));
    QCOMPARE(debug.lines.end()[-2], std::string("Call ExitThread_0.\n"));
    QCOMPARE(debug.lines.back(), std::string("Call ExitThread_1.\n"));

    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended[0][0].value<FlashTask>(), FlashTask::Burn);
    QCOMPARE(h.boxes.shown.size(), std::size_t{1});
    QCOMPARE(h.boxes.shown[0].text, Q(flash::kEntireUpdated));
    QCOMPARE(h.boxes.shown[0].caption, QStringLiteral("Info"));
    QCOMPARE(h.boxes.shown[0].icon, MessageIcon::Information);
    QVERIFY(h.boxes.shown[0].onDialogThread);
    QVERIFY(h.sim->PeekFlash(0, image.size()) == image);
    // The final counts stay shown, the label waits, the image is freed, Burn needs a new file.
    QCOMPARE(h.W().progressCount->text(), QString::number(image.size()));
    QCOMPARE(h.W().progressTotal->text(), QString::number(image.size()));
    QCOMPARE(h.W().progress->value(), int(image.size()));
    QCOMPARE(h.W().status->text(), QStringLiteral("Status: Wait"));
    QVERIFY(!h.controller->Logic().BurnLoaded());
    QVERIFY(!h.W().burn->isEnabled());
}

void FlashPanelTest::otherAreaBurnWritesWhatWasChosenWhenBurnWasPressed() {
    // Slow exchanges, so that the burn is still at the firmware when the box is clicked.
    FlashDialogHarness h(Chip(4, 3000));
    const Bytes image = FlashImage(0x10000, 1);
    h.dialog->show();
    h.W().otherArea->click();
    h.W().areaFirmware->setChecked(true);
    h.W().areaPrivateData->setChecked(false);
    h.W().getId->click();
    h.ChooseBurn(dir_.Write("areas.bin", image));
    h.W().burn->click();
    QVERIFY(h.controller->Running());
    // Greyed for the run: the user's click does not tick the box.
    QTest::mouseClick(h.W().areaPrivateData, Qt::LeftButton);
    QTest::keyClick(h.W().areaPrivateData, Qt::Key_Space);
    QVERIFY(!h.W().areaPrivateData->isChecked());
    QVERIFY(WaitForEnd(h));

    QCOMPARE(h.boxes.shown.size(), std::size_t{1});
    QCOMPARE(h.boxes.shown[0].text,
             QStringLiteral("- Firmware Area\n\n has updated, please replug-in device!"));
    const auto& area = flash::kFlashAreas[flash::kPrivateArea];
    QVERIFY(h.sim->PeekFlash(area.address, area.length) !=
            Bytes(image.begin() + area.address, image.begin() + area.address + area.length));
    QCOMPARE(h.sim->PeekFlash(flash::kFlagSectorAddress, 1).at(0), std::uint8_t{1});
}

void FlashPanelTest::controlsAreHeldDuringARunAndRestoredAfter() {
    FlashDialogHarness h(Chip(4, 2000));
    h.W().otherArea->click();
    h.W().areaFirmware->setChecked(true);
    h.W().getId->click();
    h.ChooseBurn(dir_.Write("held.bin", FlashImage(0x10000, 1)));
    const std::map<int, bool> before = EnabledStates(h);
    QVERIFY(before.at(kIdBurn) && before.at(kIdGetId) && before.at(kIdAreaPrivateData));

    h.W().burn->click();
    QVERIFY(h.controller->Running());
    for (const auto& [id, enabled] : EnabledStates(h)) {
        QVERIFY2(!enabled, qPrintable(QString::number(id)));
    }
    QVERIFY(h.Button(kIdOk)->isEnabled());  // the way to ask for the close
    QVERIFY(WaitForEnd(h));

    std::map<int, bool> expected = before;
    expected[kIdBurn] = false;  // the burn file was used up
    QCOMPARE(EnabledStates(h), expected);
}

void FlashPanelTest::dumpEqualsTheFlash() {
    FlashDialogHarness h(Chip(34));
    const Bytes contents = Pattern(256 * 1024, 0x5C);
    h.sim->PokeFlash(0, contents);
    h.W().getId->click();
    const auto file = dir_.path / "dump.bin";
    h.ChooseDump(file);
    QCOMPARE(h.W().dumpFile->text(), QString::fromStdString(file.string()));
    h.W().dump->click();
    QVERIFY(WaitForEnd(h));

    QCOMPARE(h.boxes.shown.size(), std::size_t{1});
    QCOMPARE(h.boxes.shown[0].text, Q(flash::kDumpFinished));
    QVERIFY(TempDir::Read(file) == contents);
    QCOMPARE(h.W().progressCount->text(), QString::number(contents.size()));
    QVERIFY(!h.W().dump->isEnabled());
}

void FlashPanelTest::stoppedDumpKeepsTheBytesRead() {
    FlashDialogHarness h(Chip(4, 200));
    const Bytes contents = Pattern(8 * 1024 * 1024, 0x17);
    h.sim->PokeFlash(0, contents);
    h.dialog->show();
    h.W().getId->click();
    h.ChooseDump(dir_.path / "stopped.bin");
    QVERIFY(!h.controller->StopButton()->isVisible());
    h.W().dump->click();
    QPushButton* stop = h.controller->StopButton();
    QVERIFY(stop->isVisible() && stop->isEnabled());
    QVERIFY(!h.W().dump->isVisible());
    QVERIFY(
        QTest::qWaitFor([&] { return h.W().progressCount->text().toUInt() > 0; }, kRunTimeoutMs));
    stop->click();
    QVERIFY(WaitForEnd(h));

    const FlashRunResult& result = *h.controller->LastResult();
    QVERIFY(result.dump.stopped);
    const std::uint32_t kept = result.dump.bytesDumped;
    QVERIFY(kept > 0 && kept < contents.size());
    QCOMPARE(h.boxes.shown.size(), std::size_t{1});
    QVERIFY(h.boxes.shown[0].text.contains(QString::number(kept)));
    QVERIFY(TempDir::Read(result.dump.location) ==
            Bytes(contents.begin(), contents.begin() + kept));
    QVERIFY(!stop->isVisible());
    QVERIFY(h.W().dump->isVisible());
}

void FlashPanelTest::unplugMidBurn() {
    FlashDialogHarness h(Chip(34));
    h.W().getId->click();
    h.ChooseBurn(dir_.Write("unplug.bin", Pattern(256 * 1024, 0x33)));
    sim::SimFaults faults;
    faults.unplugAfter = 40;  // a few chunks into the write
    h.sim->SetFaults(faults);
    h.W().burn->click();
    QVERIFY(WaitForEnd(h));

    const FlashRunResult& result = *h.controller->LastResult();
    QVERIFY(!result.burn.Updated());
    QVERIFY(!h.boxes.shown.empty());
    QCOMPARE(h.boxes.shown.back().caption, QStringLiteral("Error"));
    QCOMPARE(h.BoxesWith(Q(flash::kEntireUpdated)), 0);
    QCOMPARE(h.W().status->text(), QStringLiteral("Status: Wait"));
    QVERIFY(!h.controller->Logic().BurnLoaded());
    QVERIFY(!h.W().burn->isEnabled());
    QVERIFY(h.W().getId->isEnabled());
}

void FlashPanelTest::unplugMidDump() {
    FlashDialogHarness h(Chip(34));
    h.W().getId->click();
    const auto file = dir_.path / "unplugged.bin";
    h.ChooseDump(file);
    sim::SimFaults faults;
    faults.unplugAfter = 20;
    h.sim->SetFaults(faults);
    h.W().dump->click();
    QVERIFY(WaitForEnd(h));

    const FlashRunResult& result = *h.controller->LastResult();
    QVERIFY(!result.dump.completed);
    QVERIFY(!result.dump.stopped);
    QCOMPARE(h.boxes.shown.size(), std::size_t{1});
    QCOMPARE(h.boxes.shown[0].caption, QStringLiteral("Error"));
    QVERIFY(!std::filesystem::exists(file));  // a half dump never sits under the chosen name
    QCOMPARE(h.W().status->text(), QStringLiteral("Status: Wait"));
    QVERIFY(!h.W().dump->isEnabled());
}

void FlashPanelTest::okDuringABurnClosesOnlyAfterItsEnd() {
    FlashDialogHarness h(Chip(34, 1500));
    h.dialog->show();
    h.W().getId->click();
    h.ChooseBurn(dir_.Write("close.bin", Pattern(256 * 1024, 0x71)));
    QSignalSpy finished(h.dialog.get(), &QDialog::finished);
    bool endedFirst = false;
    connect(h.dialog.get(), &QDialog::finished, this,
            [&] { endedFirst = !h.controller->Running(); });
    h.W().burn->click();

    QVERIFY(!h.dialog->close());  // the close box
    h.Button(kIdOk)->click();
    QCOMPARE(finished.count(), 0);
    QVERIFY(h.dialog->isVisible());
    QCOMPARE(h.boxes.shown.size(), std::size_t{2});
    for (const ShownBox& box : h.boxes.shown) {
        QVERIFY(box.text.contains(QStringLiteral("cannot be stopped halfway")));
    }
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(finished[0][0].toInt(), int(QDialog::Accepted));
    QVERIFY(endedFirst);
    QVERIFY(!h.dialog->isVisible());
    // The burn's own closing box came before the dialog closed.
    QCOMPARE(h.boxes.shown.back().text, Q(flash::kEntireUpdated));
}

void FlashPanelTest::escapeDuringADumpClosesOnlyAfterItsEnd() {
    FlashDialogHarness h(Chip(34, 2000));
    h.dialog->show();
    h.W().getId->click();
    h.ChooseDump(dir_.path / "escape.bin");
    QSignalSpy finished(h.dialog.get(), &QDialog::finished);
    h.W().dump->click();

    QTest::keyClick(h.dialog.get(), Qt::Key_Escape);
    QCOMPARE(finished.count(), 0);
    QVERIFY(h.boxes.shown.at(0).text.contains(QStringLiteral("A dump is running")));
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(finished[0][0].toInt(), int(QDialog::Rejected));
    QCOMPARE(h.boxes.shown.back().text, Q(flash::kDumpFinished));
}

}  // namespace
}  // namespace brimlo::app::testing

QTEST_MAIN(brimlo::app::testing::FlashPanelTest)
#include "flash_panel_test.moc"
