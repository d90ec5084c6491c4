// The main dialog over the emulated device, offscreen: the Burn Area setting and the ways out,
// the enabling rules around Open Device, the panels' starting values, each peripheral button's
// report exchanges and answer, the boxes, the About box and the names that drive the window.

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "app/about_dlg.h"
#include "app/burn_area_setting.h"
#include "controls/hex_edit.h"
#include "dialog_test_support.h"
#include "session/version.h"

namespace brimlo::app::testing {
namespace {

// Runs `check` on the modal dialog or menu that the next call opens, then closes it.
void WhenModalOpens(std::function<void(QWidget*)> check) {
    QTimer::singleShot(0, [check] {
        QWidget* modal = QApplication::activePopupWidget();
        if (modal == nullptr) {
            modal = QApplication::activeModalWidget();
        }
        QVERIFY(modal != nullptr);
        check(modal);
    });
}

QStringList LabelTexts(QWidget* parent) {
    QStringList texts;
    for (const QLabel* label : parent->findChildren<QLabel*>()) {
        texts << label->text();
    }
    return texts;
}

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    // The store is the user's INI file, named after the organization and the executable.
    void settingsLiveInTheUsersIniFile() {
        const auto settings = OpenUserSettings(QStringLiteral("brimlo-hid-tool"));
        QCOMPARE(settings->format(), QSettings::IniFormat);
        QCOMPARE(settings->scope(), QSettings::UserScope);
        QVERIFY2(settings->fileName().endsWith(
                     QStringLiteral("/OLVEX UVC Applications/brimlo-hid-tool.ini")),
                 qPrintable(settings->fileName()));
    }

    void firstRunChoosesTheEntireFlash() {
        DialogRun run(dir->path());
        const FlashPanelWidgets& w = run.dialog->FlashPanel();
        QVERIFY(w.entireFlash->isChecked());
        QVERIFY(!w.otherArea->isChecked());
        for (QCheckBox* area : {w.areaFirmware, w.areaPrivateData, w.areaCustomizedData}) {
            QVERIFY(!area->isEnabled());
            QVERIFY(!area->isChecked());
        }
    }

    void anyOtherStoredValueChoosesOtherArea_data() {
        QTest::addColumn<int>("stored");
        QTest::newRow("0") << 0;
        QTest::newRow("2") << 2;
    }
    void anyOtherStoredValueChoosesOtherArea() {
        QFETCH(int, stored);
        {
            QSettings settings(dir->filePath("settings.ini"), QSettings::IniFormat);
            settings.setValue("Settings/IsAccessAll", stored);
        }
        DialogRun run(dir->path());
        const FlashPanelWidgets& w = run.dialog->FlashPanel();
        QVERIFY(w.otherArea->isChecked());
        QVERIFY(!w.entireFlash->isChecked());
        QVERIFY(w.areaFirmware->isEnabled() && w.areaFirmware->isChecked());
        QVERIFY(w.areaPrivateData->isEnabled() && !w.areaPrivateData->isChecked());
        QVERIFY(w.areaCustomizedData->isEnabled() && !w.areaCustomizedData->isChecked());
    }

    // Esc and the close box leave the stored choice alone; OK stores it, and the next run
    // starts with "Other Area" and only "Firmware", whatever areas were ticked.
    void okStoresTheChoiceAndEscDoesNot() {
        {
            DialogRun run(dir->path());
            run.dialog->show();
            run.dialog->FlashPanel().otherArea->click();
            QTest::keyClick(run.Button(kIdOk), Qt::Key_Escape);
            QCOMPARE(run.dialog->result(), int(QDialog::Rejected));
            QVERIFY(!run.dialog->isVisible());
        }
        {
            DialogRun run(dir->path());
            QVERIFY(run.dialog->FlashPanel().entireFlash->isChecked());
            run.dialog->show();
            run.dialog->FlashPanel().otherArea->click();
            run.dialog->close();  // the close box
            QCOMPARE(run.dialog->result(), int(QDialog::Rejected));
        }
        {
            DialogRun run(dir->path());
            const FlashPanelWidgets& w = run.dialog->FlashPanel();
            QVERIFY(w.entireFlash->isChecked());
            run.dialog->show();
            w.otherArea->click();
            QVERIFY(w.areaFirmware->isEnabled());
            w.areaFirmware->click();
            w.areaPrivateData->click();
            run.Button(kIdOk)->click();
            QCOMPARE(run.dialog->result(), int(QDialog::Accepted));
        }
        DialogRun run(dir->path());
        const FlashPanelWidgets& w = run.dialog->FlashPanel();
        QVERIFY(w.otherArea->isChecked());
        QVERIFY(w.areaFirmware->isChecked());
        QVERIFY(!w.areaPrivateData->isChecked());
    }

    void enterInAnEntryFieldClosesAsOk() {
        {
            DialogRun run(dir->path());
            run.dialog->show();
            run.dialog->FlashPanel().otherArea->click();
            QTest::keyClick(run.Field(kIdVendorId), Qt::Key_Return);
            QCOMPARE(run.dialog->result(), int(QDialog::Accepted));
            QVERIFY(!run.dialog->isVisible());
        }
        QSettings settings(dir->filePath("settings.ini"), QSettings::IniFormat);
        QCOMPARE(settings.value("Settings/IsAccessAll").toInt(), 0);
    }

    void openDeviceSwitchesTheEnabling() {
        DialogRun run(dir->path());
        const QList<int> selfChecking = {kIdOpenDevice, kIdRead, kIdWrite, kIdSetGpio, kIdGetId};
        const QList<int> needDevice = {kIdBurnFileBrowse, kIdDumpFileBrowse, kIdGetFwVersion,
                                       kIdGetHdmiInfo};
        for (const int id : selfChecking) {
            QVERIFY2(run.Button(id)->isEnabled(), qPrintable(run.Button(id)->text()));
        }
        for (const int id : needDevice + QList<int>{kIdBurn, kIdDump}) {
            QVERIFY2(!run.Button(id)->isEnabled(), qPrintable(run.Button(id)->text()));
        }
        run.Button(kIdOpenDevice)->click();
        QVERIFY(!run.Button(kIdOpenDevice)->isEnabled());
        for (const int id : needDevice + QList<int>{kIdRead, kIdWrite, kIdSetGpio, kIdGetId}) {
            QVERIFY2(run.Button(id)->isEnabled(), qPrintable(run.Button(id)->text()));
        }
        QVERIFY(!run.Button(kIdBurn)->isEnabled());
        QVERIFY(!run.Button(kIdDump)->isEnabled());
        QVERIFY(run.boxes.shown.empty());
    }

    void openDeviceFillsThePanels() {
        DialogRun run(dir->path());
        for (const int id : {kIdStatus, kIdProgressCount, kIdProgressTotal}) {
            QCOMPARE(run.Control<QLabel>(id)->text(), QStringLiteral("Static"));
        }
        QCOMPARE(run.Field(kIdVendorId)->text(), QStringLiteral("1209"));
        QCOMPARE(run.Field(kIdProductId)->text(), QStringLiteral("0001"));
        QVERIFY(!run.Control<QRadioButton>(kIdRegister)->isChecked());

        run.Button(kIdOpenDevice)->click();
        QCOMPARE(
            run.Control<QLineEdit>(kIdDeviceInfo)->text(),
            QStringLiteral("Device #0: VID: 0x1209  PID: 0x0001  UsagePage: 0xFF00  Usage: 0x1"));
        QVERIFY(run.Control<QLineEdit>(kIdDeviceInfo)->isReadOnly());
        QVERIFY(run.Control<QRadioButton>(kIdRegister)->isChecked());
        QVERIFY(!run.Control<QRadioButton>(kIdIic)->isChecked());
        QVERIFY(!run.Control<QRadioButton>(kIdGpio)->isChecked());

        struct Expected {
            int id;
            const char* text;
            int limit;
        };
        for (const Expected& e :
             {Expected{kIdRegisterAddress, "03FF0000", 8},
              Expected{kIdRegisterValue, "F6000000", 8}, Expected{kIdIicAddress, "90", 2},
              Expected{kIdIicData, "0F00", 4}, Expected{kIdIicReturnCode, "00", 2},
              Expected{kIdGpioValue, "00", 2}}) {
            QCOMPARE(run.Field(e.id)->text(), QString::fromUtf8(e.text));
            QCOMPARE(run.Field(e.id)->TextLimit(), e.limit);
        }
        // The limits hold what the user types, not what the program sets.
        controls::CHexEdit* iicAddress = run.Field(kIdIicAddress);
        iicAddress->setFocus();
        iicAddress->end(false);
        QTest::keyClick(iicAddress, Qt::Key_A);
        QCOMPARE(iicAddress->text(), QStringLiteral("90"));

        auto* number = run.Control<QComboBox>(kIdGpioNumber);
        auto* direction = run.Control<QComboBox>(kIdGpioDirection);
        QCOMPARE(number->count(), 4);
        QCOMPARE(number->itemText(3), QStringLiteral("GPIO_3"));
        QCOMPARE(number->currentIndex(), 0);
        QCOMPARE(direction->count(), 2);
        QCOMPARE(direction->itemText(1), QStringLiteral("OUTPUT"));
        QCOMPARE(direction->currentIndex(), 0);
        QCOMPARE(run.Control<QLabel>(kIdProgressTotal)->text(), QStringLiteral("0"));
        QCOMPARE(run.Control<QLabel>(kIdProgressCount)->text(), QStringLiteral("0"));
        QCOMPARE(run.Control<QLabel>(kIdStatus)->text(), QStringLiteral("Status: Wait"));
    }

    void registerButtonsExchangeAndShow() {
        DialogRun run(dir->path());
        run.Button(kIdOpenDevice)->click();
        run.Field(kIdRegisterValue)->setText("0x12345678");
        std::vector<Exchange> sent = run.Click(kIdWrite);
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0].op, QStringLiteral("set_output"));
        QCOMPARE(sent[0].reportId, 2);
        // Length 10, REPORT_REG_WRITE, address 03FF0000 and value, both little-endian.
        QVERIFY2(sent[0].data.startsWith("020a000000ff0378563412"), qPrintable(sent[0].data));

        run.Field(kIdRegisterValue)->setText("");
        sent = run.Click(kIdRead);
        QCOMPARE(sent.size(), size_t(2));
        QVERIFY2(sent[0].data.startsWith("0206010000ff03"), qPrintable(sent[0].data));
        QCOMPARE(sent[1].op, QStringLiteral("get_input"));
        QCOMPARE(sent[1].requestedLength, 0x240);
        QCOMPARE(run.Field(kIdRegisterValue)->text(), QStringLiteral("12345678"));
    }

    // Two presses of Convert leave "0xF6000000" in the field: all ten characters count.
    void convertTwiceWritesTheValueShown() {
        DialogRun run(dir->path());
        run.Button(kIdOpenDevice)->click();
        controls::CHexEdit* value = run.Field(kIdRegisterValue);
        value->Convert();
        QCOMPARE(value->text(), QStringLiteral("4127195136"));
        value->Convert();
        QCOMPARE(value->text(), QStringLiteral("0xF6000000"));
        const std::vector<Exchange> sent = run.Click(kIdWrite);
        QCOMPARE(sent.size(), size_t(1));
        QVERIFY2(sent[0].data.startsWith("020a000000ff03000000f6"), qPrintable(sent[0].data));
    }

    void iicButtonsExchangeAndShow() {
        DialogRun run(dir->path());
        run.Button(kIdOpenDevice)->click();
        run.Control<QRadioButton>(kIdIic)->click();
        run.Field(kIdIicData)->setText("215A");  // sub-address 21, byte 5A
        std::vector<Exchange> sent = run.Click(kIdWrite);
        QCOMPARE(sent.size(), size_t(2));
        QCOMPARE(sent[0].reportId, 3);
        QVERIFY2(sent[0].data.startsWith("0306069002215a"), qPrintable(sent[0].data));
        QCOMPARE(sent[1].requestedLength, 0x640);
        QCOMPARE(run.Field(kIdIicReturnCode)->text(), QStringLiteral("00"));

        run.Field(kIdIicData)->setText("21");
        run.Field(kIdIicReturnCode)->setText("FF");
        sent = run.Click(kIdRead);
        QCOMPARE(sent.size(), size_t(2));
        QVERIFY2(sent[0].data.startsWith("03060790012101"), qPrintable(sent[0].data));
        QCOMPARE(sent[1].requestedLength, 0x740);
        QCOMPARE(run.Field(kIdIicData)->text(), QStringLiteral("5a"));
        QCOMPARE(run.Field(kIdIicReturnCode)->text(), QStringLiteral("00"));
    }

    void gpioButtonsExchangeAndShow() {
        DialogRun run(dir->path());
        run.Button(kIdOpenDevice)->click();
        run.Control<QRadioButton>(kIdGpio)->click();
        run.Control<QComboBox>(kIdGpioNumber)->setCurrentIndex(2);
        run.Control<QComboBox>(kIdGpioDirection)->setCurrentIndex(1);
        std::vector<Exchange> sent = run.Click(kIdSetGpio);
        QCOMPARE(sent.size(), size_t(1));
        QVERIFY2(sent[0].data.startsWith("0204080201"), qPrintable(sent[0].data));

        run.Field(kIdGpioValue)->setText("1");
        sent = run.Click(kIdWrite);
        QCOMPARE(sent.size(), size_t(1));
        QVERIFY2(sent[0].data.startsWith("0204090201"), qPrintable(sent[0].data));

        run.Field(kIdGpioValue)->setText("");
        sent = run.Click(kIdRead);
        QCOMPARE(sent.size(), size_t(2));
        QVERIFY2(sent[0].data.startsWith("02030a02"), qPrintable(sent[0].data));
        QCOMPARE(sent[1].requestedLength, 0xA40);
        QCOMPARE(run.Field(kIdGpioValue)->text(), QStringLiteral("01"));
    }

    void versionAndHdmiButtonsExchangeAndShow() {
        DialogRun run(dir->path());
        run.Button(kIdOpenDevice)->click();
        std::vector<Exchange> sent = run.Click(kIdGetFwVersion);
        QCOMPARE(sent.size(), size_t(8));
        QVERIFY2(sent[0].data.startsWith("02060154000000"), qPrintable(sent[0].data));
        QVERIFY2(sent[6].data.startsWith("02060160000000"), qPrintable(sent[6].data));
        QCOMPARE(run.Field(kIdFirmwareVersion)->text(), QStringLiteral("01.00.04.10"));

        sent = run.Click(kIdGetHdmiInfo);
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0].op, QStringLiteral("get_input"));
        QCOMPARE(sent[0].reportId, 3);
        QCOMPARE(sent[0].requestedLength, 0xB40);
        auto* hdmi = run.Control<QLineEdit>(kIdHdmiInfo);
        QVERIFY(hdmi->isReadOnly());
        QCOMPARE(hdmi->text(), QStringLiteral("07 80 04 38 3c 01 00 00 00 00 00 00 00 00 00 00 "
                                              "00 00 00 00 00 00 00 00"));
    }

    // The device fails its first exchange after opening: the HDMI field keeps its text.
    void failedHdmiReadKeepsTheField() {
        // Open Device lists and opens the device without a report exchange.
        DialogRun run(dir->path(), R"({"faults": {"fail_exchange": 1}})");
        run.Button(kIdOpenDevice)->click();
        auto* hdmi = run.Control<QLineEdit>(kIdHdmiInfo);
        hdmi->setText(QStringLiteral("before"));
        const std::vector<Exchange> sent = run.Click(kIdGetHdmiInfo);
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(hdmi->text(), QStringLiteral("before"));
        QVERIFY(run.boxes.shown.empty());
    }

    void withoutADeviceTheButtonsRefuse() {
        DialogRun run(dir->path());
        for (const int id : {kIdRead, kIdWrite, kIdSetGpio}) {
            QVERIFY(run.Click(id).empty());
        }
        QCOMPARE(run.boxes.Texts(), QStringList(3, QStringLiteral("HID Device no found !")));
        for (const ShownBox& box : run.boxes.shown) {
            QCOMPARE(box.caption, QStringLiteral("Error"));
            QVERIFY(box.icon == MessageIcon::Error);
        }
    }

    // Nothing with the typed identifiers: the box, then the Cancel path, which stores nothing.
    void noMatchingDeviceClosesTheDialogAsCancel() {
        {
            DialogRun run(dir->path());
            run.dialog->show();
            run.dialog->FlashPanel().otherArea->click();
            run.Field(kIdVendorId)->setText("abcd");
            run.Button(kIdOpenDevice)->click();
            QCOMPARE(run.boxes.Texts(), QStringList{QStringLiteral("HID Device no found !")});
            QTRY_VERIFY(!run.dialog->isVisible());
            QCOMPARE(run.dialog->result(), int(QDialog::Rejected));
            QVERIFY(run.dialog->EndedWithoutDevice());
        }
        QSettings settings(dir->filePath("settings.ini"), QSettings::IniFormat);
        QVERIFY(!settings.contains("Settings/IsAccessAll"));
    }

    void unusableDeviceIsExplainedBeforeClosing() {
        DialogRun run(dir->path(), R"({"report_ids": [1, 2], "output_report_lengths": [4100, 64],
                                      "input_report_lengths": [4100, 64]})");
        run.dialog->show();
        run.Button(kIdOpenDevice)->click();
        QCOMPARE(run.boxes.shown.size(), std::size_t{1});
        QVERIFY2(run.boxes.shown[0].text.contains(QStringLiteral("three of each")),
                 qPrintable(run.boxes.shown[0].text));
        QTRY_VERIFY(!run.dialog->isVisible());
        QVERIFY(run.Button(kIdOpenDevice)->isEnabled());
    }

    void setGpioOutsideGpioModeAsksForIt() {
        DialogRun run(dir->path());
        run.Button(kIdOpenDevice)->click();
        run.Control<QComboBox>(kIdGpioNumber)->setCurrentIndex(3);
        QVERIFY(run.Click(kIdSetGpio).empty());
        run.Control<QRadioButton>(kIdIic)->click();
        QVERIFY(run.Click(kIdSetGpio).empty());
        QCOMPARE(run.boxes.Texts(), QStringList(2, QStringLiteral("Please select GPIO mode !")));
    }

    void aboutBoxFromTheContextMenuAndF1() {
        DialogRun run(dir->path());
        run.dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(run.dialog.get()));
        bool seen = false;
        WhenModalOpens([&seen](QWidget* menu) {
            auto* popup = qobject_cast<QMenu*>(menu);
            QVERIFY(popup != nullptr);
            QCOMPARE(popup->actions().size(), 1);
            QCOMPARE(popup->actions()[0]->text(), QStringLiteral("&About BRIMLO HID Tool..."));
            WhenModalOpens([&seen](QWidget* about) {
                QCOMPARE(about->windowTitle(), QStringLiteral("About BRIMLO HID Tool"));
                QVERIFY(
                    LabelTexts(about).contains(QStringLiteral("BRIMLO HID Tool, Version 1.0.4.0")));
                QVERIFY(LabelTexts(about).contains(QStringLiteral("brimlo-hid-tool ") +
                                                   QString::fromUtf8(brimlo::session::kVersion)));
                seen = true;
                QTest::keyClick(about, Qt::Key_Escape);
            });
            popup->actions()[0]->trigger();
            popup->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                run.dialog->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(run.dialog.get(), &event);
        QTRY_VERIFY(seen);

        seen = false;
        run.dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(run.dialog.get()));
        WhenModalOpens([&seen](QWidget* about) {
            QVERIFY(qobject_cast<CAboutDlg*>(about) != nullptr);
            auto* ok = about->findChild<QPushButton*>();
            QCOMPARE(ok->text(), QStringLiteral("OK"));
            QVERIFY(ok->isDefault());
            seen = true;
            ok->click();
        });
        // Through the window, as the window system delivers it: shortcuts are matched there.
        QTest::keyClick(run.dialog->windowHandle(), Qt::Key_F1);
        QTRY_VERIFY(seen);
    }

    // "OK" has the focus and comes first; Tab then walks the device row. Every control can be
    // found by a name of its own.
    void tabOrderAndAccessibleNames() {
        DialogRun run(dir->path());
        run.dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(run.dialog.get()));
        QCOMPARE(QApplication::focusWidget(), run.Button(kIdOk));
        for (const int id : {kIdVendorId, kIdProductId, kIdOpenDevice, kIdDeviceInfo}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), run.dialog->Control<QWidget>(id));
        }
        QSet<QString> names;
        for (const ControlTemplate& control : MainDialogTemplate().controls) {
            if (control.id == kNoId) {
                continue;
            }
            QAccessibleInterface* accessible =
                QAccessible::queryAccessibleInterface(run.dialog->Control<QWidget>(control.id));
            QVERIFY(accessible != nullptr);
            const QString name = accessible->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), control.caption);
            QVERIFY2(!names.contains(name), qPrintable(name));
            names << name;
        }
        QVERIFY(names.contains(QStringLiteral("Open Device")));
        QVERIFY(names.contains(QStringLiteral("register value")));
    }

    // Every control lies inside the window, and resizing the frame leaves them where they are.
    void controlsKeepTheirPlacesInsideTheWindow() {
        DialogRun run(dir->path());
        run.dialog->show();
        const QRect client = run.dialog->rect();
        for (QWidget* child : run.dialog->findChildren<QWidget*>()) {
            if (!child->isVisible()) {
                continue;
            }
            const QRect placed(child->mapTo(run.dialog.get(), QPoint(0, 0)), child->size());
            QVERIFY2(client.contains(placed), qPrintable(child->accessibleName()));
        }
        const QPoint okAt = run.Button(kIdOk)->pos();
        run.dialog->resize(client.width() + 120, client.height() + 80);
        QCOMPARE(run.Button(kIdOk)->pos(), okAt);
        QVERIFY(!run.dialog->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!run.dialog->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(run.dialog->windowTitle(), QStringLiteral("BRIMLO HID tool"));
    }

  private:
    std::unique_ptr<QTemporaryDir> dir;
};

}  // namespace brimlo::app::testing

QTEST_MAIN(brimlo::app::testing::DialogTest)
#include "dialog_test.moc"
