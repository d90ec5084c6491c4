// The context menu: its items, their greying, their commands, the clipboard normalization
// before the edit commands, and a missing clipboard.

#include <QRegularExpression>

#include "hex_edit_test_support.h"

namespace brimlo::controls::testing {

class HexEditMenuTest : public QObject {
    Q_OBJECT

  private slots:
    // The enabled items in menu order, for the picture's text as typed (so Undo has something
    // to undo once anything was typed); every item is enabled in some row.
    void greysItems_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QStringList>("enabled");
        const auto row = [](const char* name, const char* picture, bool readOnly, QString clip,
                            QStringList enabled) {
            QTest::newRow(name) << QString(picture) << readOnly << clip << enabled;
        };
        row("empty", "|", false, "1", {"&Paste"});
        row("prefix only", "0x|", false, "1", {"&Undo", "&Paste", "Select &All"});
        row("all selected", "[0x1A]", false, "1",
            {"&Undo", "Cu&t", "&Copy", "&Paste", "&Delete", "Con&vert"});
        row("leading zero selected", "[0]x1A", false, "1",
            {"&Undo", "&Copy", "Select &All", "Con&vert"});
        row("read-only", "[0x1A]", true, "1", {"&Copy", "Con&vert"});
        row("read-only, nothing selected", "5|", true, "1", {"Select &All", "Con&vert"});
        row("no clipboard text", "[1]2", false, QString(),
            {"&Undo", "Cu&t", "&Copy", "&Delete", "Select &All", "Con&vert"});
        row("clipboard text not hex", "12|", false, "12G", {"&Undo", "Select &All", "Con&vert"});
    }
    void greysItems() {
        QFETCH(QString, picture);
        QFETCH(bool, readOnly);
        QFETCH(QString, clip);
        QFETCH(QStringList, enabled);
        SetClipboard(clip);
        TestHexEdit field;
        QTest::keyClicks(&field, QString(picture).remove(QRegularExpression("[][|]")));
        Select(field, picture, false);
        field.setReadOnly(readOnly);
        const std::unique_ptr<QMenu> menu = field.CreateContextMenu();
        QStringList items;
        for (const QAction* action : menu->actions()) {
            if (action->isEnabled() && !action->isSeparator()) {
                items << action->text();
            }
        }
        QCOMPARE(items, enabled);
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

    // Each item on "0x1A" as typed, with "0X2b" on the clipboard: the edit commands first bring
    // the clipboard's text into the field's own form; Select All and Convert leave it alone.
    void runsCommands_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("clipboard");
        const auto row = [](const char* item, const char* picture, const char* text,
                            const char* selected, const char* clipboard) {
            QTest::newRow(item) << QString(item) << QString(picture) << QString(text)
                                << QString(selected) << QString(clipboard);
        };
        row("&Undo", "[0x1A]", "", "", "0x2B");
        row("Cu&t", "0x[1A]", "0x", "", "1A");
        row("&Copy", "[0x]1A", "0x1A", "0x", "0x");
        row("&Paste", "[0x1A]", "0x2B", "", "0x2B");
        row("&Delete", "[0x]1A", "1A", "", "0x2B");
        row("Select &All", "0x|1A", "0x1A", "0x1A", "0X2b");
        row("Con&vert", "|0x1A", "26", "", "0X2b");
    }
    void runsCommands() {
        QFETCH(QString, item);
        QFETCH(QString, picture);
        QFETCH(QString, text);
        QFETCH(QString, selected);
        QFETCH(QString, clipboard);
        TestHexEdit field;
        QTest::keyClicks(&field, "0x1A");
        Select(field, picture, false);
        SetClipboard("0X2b");
        const std::unique_ptr<QMenu> menu = field.CreateContextMenu();
        MenuItem(*menu, item)->trigger();
        QCOMPARE(field.text(), text);
        QCOMPARE(field.selectedText(), selected);
        QCOMPARE(ClipboardText(), clipboard);
    }

    // Without a clipboard the user is told once per attempt; nothing is pasted, and the
    // normalization before the other commands stays silent.
    void toleratesAMissingClipboard() {
        TestHexEdit field;
        field.clipboardMissing = true;
        Select(field, "[1]2");
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
