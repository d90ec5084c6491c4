// The context menu: its items, their greying, their commands, the clipboard normalization
// before the edit commands, and a missing clipboard.

#include "hex_edit_test_support.h"

namespace brimlo::controls::testing {

class HexEditMenuTest : public QObject {
    Q_OBJECT

  private slots:
    void listsItemsInOrder() {
        TestHexEdit field;
        const std::unique_ptr<QMenu> menu = field.CreateContextMenu();
        QStringList texts;
        for (const QAction* action : menu->actions()) {
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        QCOMPARE(texts, QStringList({"&Undo", "-", "Cu&t", "&Copy", "&Paste", "&Delete", "-",
                                     "Select &All", "-", "Con&vert"}));
    }

    void greysItems_data() {
        QTest::addColumn<QString>("typed");  // typed into an empty field first, for Undo
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QStringList>("enabled");
        const auto row = [](const char* name, const char* typed, const char* text, int start,
                            int end, bool readOnly, QString clip, QStringList enabled) {
            QTest::newRow(name) << QString(typed) << QString(text) << start << end << readOnly
                                << clip << enabled;
        };
        row("empty", "", "", 0, 0, false, "1", {"&Paste"});
        row("prefix only", "", "0x", 2, 2, false, "1", {"&Paste", "Select &All"});
        row("all selected", "", "0x1A", 0, 4, false, "1",
            {"Cu&t", "&Copy", "&Paste", "&Delete", "Con&vert"});
        row("leading zero selected", "", "0x1A", 0, 1, false, "1",
            {"&Copy", "Select &All", "Con&vert"});
        row("read-only", "", "0x1A", 0, 4, true, "1", {"&Copy", "Con&vert"});
        row("no clipboard text", "", "12", 0, 1, false, QString(),
            {"Cu&t", "&Copy", "&Delete", "Select &All", "Con&vert"});
        row("clipboard text not hex", "", "12", 2, 2, false, "12G", {"Select &All", "Con&vert"});
        row("after typing", "5", "", 1, 1, false, "1",
            {"&Undo", "&Paste", "Select &All", "Con&vert"});
        row("after typing, read-only", "5", "", 1, 1, true, "1", {"Select &All", "Con&vert"});
    }

    void greysItems() {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(bool, readOnly);
        QFETCH(QString, clip);
        QFETCH(QStringList, enabled);
        SetClipboard(clip);
        TestHexEdit field;
        if (typed.isEmpty()) {
            Prepare(field, text, start, end);
        } else {
            QTest::keyClicks(&field, typed);
            field.setSelection(start, end - start);
        }
        field.setReadOnly(readOnly);
        const std::unique_ptr<QMenu> menu = field.CreateContextMenu();
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                QVERIFY2(action->isEnabled() == enabled.contains(action->text()),
                         qPrintable(action->text()));
            }
        }
    }

    void pasteItemFollowsPasteCheck_data() { AddPasteCases(); }
    void pasteItemFollowsPasteCheck() {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, clip);
        QFETCH(bool, allowed);
        QFETCH(QString, afterMenu);
        SetClipboard(clip);
        TestHexEdit field;
        Prepare(field, text, start, end);
        const std::unique_ptr<QMenu> menu = field.CreateContextMenu();
        QAction* paste = MenuItem(*menu, "&Paste");
        QCOMPARE(paste->isEnabled(), allowed);
        if (allowed) {
            paste->trigger();
        }
        QCOMPARE(field.text(), afterMenu);
    }

    // The clipboard can change while the menu is open; the paste checks it again.
    void pasteChecksTheClipboardAgain() {
        SetClipboard("12");
        TestHexEdit field;
        const std::unique_ptr<QMenu> menu = field.CreateContextMenu();
        SetClipboard("12G");
        MenuItem(*menu, "&Paste")->trigger();
        QCOMPARE(field.text(), QString());
    }

    void editItemsNormalizeTheClipboard_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("expected");
        QTest::newRow("undo") << "&Undo"
                              << "";
        QTest::newRow("paste") << "&Paste"
                               << "0x1A";
        QTest::newRow("delete") << "&Delete"
                                << "";
    }
    void editItemsNormalizeTheClipboard() {
        QFETCH(QString, item);
        QFETCH(QString, expected);
        TestHexEdit field;
        QTest::keyClicks(&field, "12");
        field.selectAll();
        SetClipboard("0X1a");
        const std::unique_ptr<QMenu> menu = field.CreateContextMenu();
        MenuItem(*menu, item)->trigger();
        QCOMPARE(field.text(), expected);
        QCOMPARE(ClipboardText(), QStringLiteral("0x1A"));
    }

    void runsEditCommands_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("cut") << "Cu&t" << 2 << 4 << "0x"
                             << "1A";
        QTest::newRow("copy") << "&Copy" << 0 << 4 << "0x1A"
                              << "0x1A";
        QTest::newRow("delete") << "&Delete" << 0 << 2 << "1A"
                                << "FF";
        QTest::newRow("convert") << "Con&vert" << 0 << 0 << "26"
                                 << "ff";
    }
    void runsEditCommands() {
        QFETCH(QString, item);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, text);
        QFETCH(QString, clipboard);
        SetClipboard("ff");
        TestHexEdit field;
        Prepare(field, "0x1A", start, end);
        const std::unique_ptr<QMenu> menu = field.CreateContextMenu();
        MenuItem(*menu, item)->trigger();
        QCOMPARE(field.text(), text);
        QCOMPARE(ClipboardText(), clipboard);
    }

    void selectsAll() {
        TestHexEdit field;
        Prepare(field, "0x1A", 2, 2);
        const std::unique_ptr<QMenu> menu = field.CreateContextMenu();
        MenuItem(*menu, "Select &All")->trigger();
        QCOMPARE(field.selectedText(), QStringLiteral("0x1A"));
    }

    // Without a clipboard the user is told once per attempt; nothing is pasted, and the
    // normalization before the other commands stays silent.
    void toleratesAMissingClipboard() {
        TestHexEdit field;
        field.clipboardMissing = true;
        Prepare(field, "12", 0, 1);
        QTest::keyClick(&field, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(field.text(), QStringLiteral("12"));
        QCOMPARE(field.messages, QStringList{"Cannot open clipboard!"});
        const std::unique_ptr<QMenu> menu = field.CreateContextMenu();
        QVERIFY(!MenuItem(*menu, "&Paste")->isEnabled());
        QCOMPARE(field.messages.size(), 2);
        MenuItem(*menu, "&Delete")->trigger();
        QCOMPARE(field.text(), QStringLiteral("2"));
        QCOMPARE(field.messages.size(), 2);
    }
};

}  // namespace brimlo::controls::testing

QTEST_MAIN(brimlo::controls::testing::HexEditMenuTest)
#include "hex_edit_menu_test.moc"
