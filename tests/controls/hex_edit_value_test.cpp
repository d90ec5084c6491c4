// SetValue and Convert in both directions, never cut by the text limit, and the two colour
// schemes around the first change.

#include <QImage>

#include "controls/hex_number.h"
#include "hex_edit_test_support.h"

namespace brimlo::controls::testing {
namespace {

// The colour painted well inside the frame, right of any text.
QColor PaintedBackground(CHexEdit& field) {
    const QImage image = field.grab().toImage();
    return image.pixelColor(image.width() - 6, image.height() / 2);
}

}  // namespace

class HexEditValueTest : public QObject {
    Q_OBJECT

  private slots:
    void setsValue_data() {
        QTest::addColumn<uint>("value");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        QTest::newRow("byte form does not cut") << 0xF00u << true << 0 << "F00";
        QTest::newRow("word") << 0xABu << true << 1 << "00AB";
        QTest::newRow("double word") << 0xF00u << true << 2 << "00000F00";
        QTest::newRow("other width") << 0x5u << true << 9 << "00000005";
        QTest::newRow("decimal maximum") << 0xFFFFFFFFu << false << 1 << "4294967295";
    }
    void setsValue() {
        QFETCH(uint, value);
        QFETCH(bool, hex);
        QFETCH(int, width);
        QFETCH(QString, expected);
        TestHexEdit field;
        field.SetTextLimit(4);  // set text is never cut
        field.SetValue(value, hex, static_cast<std::uint8_t>(width));
        QCOMPARE(field.text(), expected);
    }

    // Convert toggles: hexadecimal text becomes decimal, and the decimal text Convert wrote
    // becomes hexadecimal with "0x" again.
    void converts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("times");
        QTest::addColumn<QString>("expected");
        QTest::newRow("prefixed") << "0x1A" << 1 << "26";
        QTest::newRow("upper-case prefix") << "0X1A" << 1 << "26";
        QTest::newRow("plain") << "FF" << 1 << "255";
        QTest::newRow("beyond 32 bits") << "FFFFFFFFF" << 1 << "4294967295";
        QTest::newRow("stops at non-digit") << "1G2" << 1 << "1";
        QTest::newRow("back to hex, top bit set") << "FFFFFFFF" << 2 << "0xFFFFFFFF";
        QTest::newRow("three times") << "1A" << 3 << "26";
    }
    void converts() {
        QFETCH(QString, text);
        QFETCH(int, times);
        QFETCH(QString, expected);
        TestHexEdit field;
        field.SetTextLimit(4);  // converted text is never cut
        field.setText(text);
        for (int i = 0; i < times; ++i) {
            field.Convert();
        }
        QCOMPARE(field.text(), expected);
    }

    // Once the decimal text is edited it is hexadecimal input again; SetValue's decimal form
    // converts back like Convert's.
    void convertsEditedDecimalAsHex() {
        TestHexEdit field;
        field.setText("0x1A");
        field.Convert();
        QTest::keyClick(&field, '0');
        field.Convert();
        QCOMPARE(field.text(), QStringLiteral("608"));
        field.SetValue(3840, false, 0);
        field.Convert();
        QCOMPARE(field.text(), QStringLiteral("0xF00"));
    }

    // Two presses of Convert give the register value back with a prefix, ten characters that
    // must read as the value shown before.
    void convertTwiceReadsAsTheSameValue() {
        TestHexEdit field;
        field.SetTextLimit(8);
        field.SetValue(0xF6000000, true, 2);
        field.Convert();
        field.Convert();
        QCOMPARE(field.text(), QStringLiteral("0xF6000000"));
        QCOMPARE(ParseHexNumber(field.text().toStdU16String()), 0xF6000000u);
    }

    // Orange on yellow until the text first changes (a swallowed key or the same text set again
    // is no change), slate on green from then on, even once the text is back as it was; in
    // every colour group, whether or not the field can be edited.
    void colours() {
        TestHexEdit field;
        field.resize(120, 30);
        field.show();
        const auto check = [&field](const QColor& text, const QColor& base) {
            for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                QCOMPARE(field.palette().color(group, QPalette::Text), text);
                QCOMPARE(field.palette().color(group, QPalette::Base), base);
            }
            QCOMPARE(PaintedBackground(field), base);
        };
        field.setText("");
        QTest::keyClick(&field, 'g');
        check(QColor(192, 97, 10), QColor(251, 244, 170));
        QTest::keyClick(&field, '1');
        QTest::keyClick(&field, Qt::Key_Backspace);
        field.setReadOnly(true);
        check(QColor(74, 115, 132), QColor(219, 247, 220));

        TestHexEdit set;
        set.SetValue(0, true, 0);
        QCOMPARE(set.palette().color(QPalette::Base), QColor(219, 247, 220));
    }
};

}  // namespace brimlo::controls::testing

QTEST_MAIN(brimlo::controls::testing::HexEditValueTest)
#include "hex_edit_value_test.moc"
