// The key filter, driven by real key events: every rule of the table, the paste keys and the
// text limit.

#include <QInputMethodEvent>
#include <QSignalSpy>

#include "hex_edit_test_support.h"

namespace brimlo::controls::testing {

class HexEditKeysTest : public QObject {
    Q_OBJECT

  private slots:
    void filtersKeys_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("typed");  // empty: the text Qt gives the key
        QTest::addColumn<QString>("expected");
        const auto key = [](const char* name, const char* text, int start, int end, Qt::Key k,
                            Qt::KeyboardModifiers modifiers, const char* expected) {
            QTest::newRow(name) << QString(text) << start << end << int(k) << int(modifiers)
                                << QString() << QString(expected);
        };
        const auto chr = [](const char* name, const char* text, int start, int end, QChar ch,
                            const char* expected) {
            QTest::newRow(name) << QString(text) << start << end << int(ch.toUpper().unicode())
                                << int(Qt::NoModifier) << QString(ch) << QString(expected);
        };
        const Qt::KeyboardModifiers none = Qt::NoModifier;
        const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;

        key("ctrl+x takes not the zero alone", "0x1A", 0, 1, Qt::Key_X, ctrl, "0x1A");
        key("ctrl+x cuts the prefix", "0x1A", 0, 2, Qt::Key_X, ctrl, "1A");
        key("ctrl+x without prefix", "01A", 0, 1, Qt::Key_X, ctrl, "1A");
        key("delete at 0", "0x1A", 0, 0, Qt::Key_Delete, none, "0x1A");
        key("delete of the zero", "0x1A", 0, 1, Qt::Key_Delete, none, "0x1A");
        key("shift+delete of the zero", "0x1A", 0, 1, Qt::Key_Delete, Qt::ShiftModifier, "0x1A");
        key("ctrl+delete at 0", "0x1A", 0, 0, Qt::Key_Delete, ctrl, "0x1A");
        key("delete of the prefix", "0x1A", 0, 2, Qt::Key_Delete, none, "1A");
        key("delete at 1", "0x1A", 1, 1, Qt::Key_Delete, none, "01A");
        key("delete without prefix", "1A", 0, 0, Qt::Key_Delete, none, "A");
        key("backspace at 1", "0x1A", 1, 1, Qt::Key_Backspace, none, "0x1A");
        key("backspace of the zero", "0x1A", 0, 1, Qt::Key_Backspace, none, "0x1A");
        key("backspace of the prefix", "0x1A", 0, 2, Qt::Key_Backspace, none, "1A");
        key("backspace at 2", "0x1A", 2, 2, Qt::Key_Backspace, none, "01A");
        key("backspace without prefix", "01A", 1, 1, Qt::Key_Backspace, none, "1A");
        key("ctrl+backspace at 1", "0x1A", 1, 1, Qt::Key_Backspace, ctrl, "0x1A");
        key("ctrl+backspace at end", "0x1A", 4, 4, Qt::Key_Backspace, ctrl, "0x1A");
        chr("digit at 0 before prefix", "0x1A", 0, 0, '5', "0x1A");
        chr("digit at 1 inside prefix", "0x1A", 1, 1, '5', "0x1A");
        chr("digit over the zero", "0x1A", 0, 1, '5', "0x1A");
        chr("digit over the prefix", "0x1A", 0, 2, '5', "51A");
        chr("digit after the prefix", "0x1A", 2, 2, '5', "0x51A");
        chr("x after zero", "0", 1, 1, 'X', "0x");
        chr("x between zero and digits", "01A", 1, 1, 'x', "0x1A");
        chr("x at start", "", 0, 0, 'x', "");
        chr("x after other digit", "1", 1, 1, 'x', "1");
        chr("x at 2", "00", 2, 2, 'x', "00");
        chr("digit", "", 0, 0, '7', "7");
        chr("upper-case letter", "", 0, 0, 'B', "B");
        chr("lower-case letter", "", 0, 0, 'a', "A");
        chr("g", "", 0, 0, 'g', "");
        chr("space", "", 0, 0, ' ', "");
        chr("minus", "", 0, 0, '-', "");
        chr("non-ASCII letter", "", 0, 0, QChar(0xE4), "");
    }

    void filtersKeys() {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        SetClipboard("clip");
        TestHexEdit field;
        Prepare(field, text, start, end);
        const auto mods = Qt::KeyboardModifiers(modifiers);
        if (typed.isEmpty()) {
            QTest::keyClick(&field, Qt::Key(key), mods);
        } else {
            QTest::sendKeyEvent(QTest::Click, &field, Qt::Key(key), typed, mods);
        }
        QCOMPARE(field.text(), expected);
        // A swallowed Ctrl+X must not copy either.
        if (key == Qt::Key_X && expected == text) {
            QCOMPARE(ClipboardText(), QStringLiteral("clip"));
        }
    }

    void typesAPrefixedNumber() {
        TestHexEdit field;
        QTest::keyClicks(&field, "0X1a");
        QCOMPARE(field.text(), QStringLiteral("0x1A"));
    }

    // Keys outside the filter's rules reach the field even where no character may be typed.
    void passesCommandKeys() {
        TestHexEdit field;
        Prepare(field, "0x1A", 0, 0);
        QSignalSpy returns(&field, &QLineEdit::returnPressed);
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(returns.count(), 1);
        QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(field.selectedText(), QStringLiteral("0x1A"));
        QTest::keyClick(&field, Qt::Key_End);
        QTest::keyClick(&field, '5');
        QCOMPARE(field.text(), QStringLiteral("0x1A5"));
    }

    // Both paste keys follow the paste check and leave the clipboard as it was.
    void pasteKeys_data() { AddPasteCases(); }
    void pasteKeys() {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, clip);
        QFETCH(QString, afterKey);
        for (const auto& [key, modifiers] : {std::pair(Qt::Key_V, Qt::ControlModifier),
                                             std::pair(Qt::Key_Insert, Qt::ShiftModifier)}) {
            SetClipboard(clip);
            TestHexEdit field;
            Prepare(field, text, start, end);
            QTest::keyClick(&field, key, modifiers);
            QCOMPARE(field.text(), afterKey);
            QCOMPARE(ClipboardText(), clip);
            QVERIFY(field.messages.isEmpty());
        }
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

    void dropsInputMethodText() {
        TestHexEdit field;
        QInputMethodEvent commit;
        commit.setCommitString("g");
        QCoreApplication::sendEvent(&field, &commit);
        QCOMPARE(field.text(), QString());
    }
};

}  // namespace brimlo::controls::testing

QTEST_MAIN(brimlo::controls::testing::HexEditKeysTest)
#include "hex_edit_keys_test.moc"
