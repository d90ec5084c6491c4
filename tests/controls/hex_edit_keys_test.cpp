// The key filter, driven by real key events: every rule of the table, the paste keys and the
// text limit.

#include <QInputMethodEvent>
#include <QMap>
#include <QSignalSpy>

#include "hex_edit_test_support.h"

namespace brimlo::controls::testing {

class HexEditKeysTest : public QObject {
    Q_OBJECT

  private slots:
    // Rows: the field's picture, the key by name or the character typed, the text after, and
    // the clipboard's text (null: none). Both paste keys ("paste") follow the paste check.
    void filtersKeys_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("clip");
        const auto row = [](const char* name, const char* picture, QString input,
                            const char* expected, QString clip = "clip") {
            QTest::newRow(name) << QString(picture) << input << QString(expected) << clip;
        };
        row("ctrl+x takes not the zero alone", "[0]x1A", "ctrl+x", "0x1A");
        row("ctrl+x cuts the prefix", "[0x]1A", "ctrl+x", "1A");
        row("delete at 0", "|0x1A", "delete", "0x1A");
        row("shift+delete of the zero", "[0]x1A", "shift+delete", "0x1A");
        row("delete of the prefix", "[0x]1A", "delete", "1A");
        row("delete at 1", "0|x1A", "delete", "01A");
        row("backspace at 1", "0|x1A", "backspace", "0x1A");
        row("backspace of the prefix", "[0x]1A", "backspace", "1A");
        row("backspace at 2", "0x|1A", "backspace", "01A");
        row("ctrl+backspace at end", "0x1A|", "ctrl+backspace", "0x1A");
        row("digit inside prefix", "0|x1A", "5", "0x1A");
        row("digit over the zero", "[0]x1A", "5", "0x1A");
        row("digit over the prefix", "[0x]1A", "5", "51A");
        row("digit after the prefix", "0x|1A", "5", "0x51A");
        row("x after zero", "0|", "X", "0x");
        row("x after other digit", "1|", "x", "1");
        row("x at 2", "00|", "x", "00");
        row("upper-case letter", "|", "B", "B");
        row("lower-case letter", "|", "a", "A");
        row("g", "|", "g", "");
        row("non-ASCII letter", "|", QChar(0xE4), "");
        row("paste: not hex", "|", "paste", "", "12G");
        row("paste: no clipboard text", "12|", "paste", "12", QString());
        row("paste: empty clip", "12|", "paste", "12", "");
        row("paste: lower case", "|", "paste", "0x1a", "0x1a");
        row("paste: upper-case prefix", "|", "paste", "0X1a", "0X1a");
        row("paste: prefix over prefix", "[0x]34", "paste", "0x1234", "0x12");
        row("paste: prefix over all", "[0x34]", "paste", "0x12", "0x12");
        row("paste: prefix over leading zero", "[0]x34", "paste", "0x34", "0x12");
        row("paste: prefix at end", "0x34|", "paste", "0x34", "0x12");
        row("paste: prefix not at start", "0[x3]4", "paste", "0x34", "0x12");
        row("paste: prefix before plain", "|34", "paste", "0x1234", "0x12");
        row("paste: prefix inside plain", "3|4", "paste", "34", "0x12");
        row("paste: x after zero", "0|", "paste", "0x12", "x12");
        row("paste: x after other digit", "1|", "paste", "1", "x12");
        row("paste: x at start", "|0", "paste", "0", "x12");
        row("paste: digits after prefix", "0x|", "paste", "0x5", "5");
        row("paste: digits inside prefix", "0|x", "paste", "0x", "5");
    }
    // No key but a Ctrl+X that cuts changes the clipboard, and none tells the user anything.
    void filtersKeys() {
        QFETCH(QString, picture);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QFETCH(QString, clip);
        const QMap<QString, std::pair<Qt::Key, Qt::KeyboardModifiers>> keys{
            {"ctrl+x", {Qt::Key_X, Qt::ControlModifier}},
            {"delete", {Qt::Key_Delete, Qt::NoModifier}},
            {"shift+delete", {Qt::Key_Delete, Qt::ShiftModifier}},
            {"backspace", {Qt::Key_Backspace, Qt::NoModifier}},
            {"ctrl+backspace", {Qt::Key_Backspace, Qt::ControlModifier}},
            {"ctrl+v", {Qt::Key_V, Qt::ControlModifier}},
            {"shift+insert", {Qt::Key_Insert, Qt::ShiftModifier}}};
        const QStringList inputs =
            input == "paste" ? QStringList{"ctrl+v", "shift+insert"} : QStringList{input};
        for (const QString& each : inputs) {
            SetClipboard(clip);
            TestHexEdit field;
            Select(field, picture);
            const QString before = field.text();
            if (keys.contains(each)) {
                QTest::keyClick(&field, keys[each].first, keys[each].second);
            } else {
                const auto key = Qt::Key(each.at(0).toUpper().unicode());
                QTest::sendKeyEvent(QTest::Click, &field, key, each, Qt::NoModifier);
            }
            QCOMPARE(field.text(), expected);
            if (each != "ctrl+x" || expected == before) {
                QCOMPARE(ClipboardText(), clip);
            }
            QVERIFY(field.messages.isEmpty());
        }
    }

    // Keys outside the filter's rules reach the field even where no character may be typed;
    // text an input method commits would bypass the filter and is dropped.
    void typesAndPassesCommandKeys() {
        TestHexEdit field;
        QTest::keyClicks(&field, "0X1a");
        QCOMPARE(field.text(), QStringLiteral("0x1A"));
        QSignalSpy returns(&field, &QLineEdit::returnPressed);
        QTest::keyClick(&field, Qt::Key_Home);
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(returns.count(), 1);
        QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(field.selectedText(), QStringLiteral("0x1A"));
        QTest::keyClick(&field, Qt::Key_End);
        QTest::keyClick(&field, '5');
        QCOMPARE(field.text(), QStringLiteral("0x1A5"));
        QInputMethodEvent commit;
        commit.setCommitString("g");
        QCoreApplication::sendEvent(&field, &commit);
        QCOMPARE(field.text(), QStringLiteral("0x1A5"));
    }

    void textLimitHoldsTypingAndPaste() {
        TestHexEdit field;
        field.SetTextLimit(3);
        QTest::keyClicks(&field, "1234");
        QCOMPARE(field.text(), QStringLiteral("123"));
        field.setSelection(0, 1);
        QTest::keyClick(&field, '9');
        QCOMPARE(field.text(), QStringLiteral("923"));
        SetClipboard("4567");
        field.setSelection(1, 1);
        QTest::keyClick(&field, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(field.text(), QStringLiteral("943"));
    }
};

}  // namespace brimlo::controls::testing

QTEST_MAIN(brimlo::controls::testing::HexEditKeysTest)
#include "hex_edit_keys_test.moc"
