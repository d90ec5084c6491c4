// SetValue, Convert in both directions, the text limit against set text, and the two colour
// schemes around the first change.

#include <QImage>
#include <functional>

#include "hex_edit_test_support.h"

using FieldChange = std::function<void(brimlo::controls::CHexEdit&)>;
Q_DECLARE_METATYPE(FieldChange)

namespace brimlo::controls::testing {
namespace {

const QColor kFreshText(192, 97, 10);
const QColor kFreshBase(251, 244, 170);
const QColor kEditedText(74, 115, 132);
const QColor kEditedBase(219, 247, 220);

// QLineEdit's own maximum length would cut set text, so the field does not offer it.
template <typename Field>
concept OffersMaxLength = requires(Field& field) {
    field.setMaxLength(4);
};
static_assert(OffersMaxLength<QLineEdit> && !OffersMaxLength<CHexEdit>);

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
        QTest::newRow("byte") << 0xABu << true << 0 << "AB";
        QTest::newRow("byte form does not cut") << 0xF00u << true << 0 << "F00";
        QTest::newRow("word") << 0xF00u << true << 1 << "0F00";
        QTest::newRow("double word") << 0xF00u << true << 2 << "00000F00";
        QTest::newRow("other width") << 0x5u << true << 9 << "00000005";
        QTest::newRow("decimal") << 0xF00u << false << 1 << "3840";
        QTest::newRow("decimal maximum") << 0xFFFFFFFFu << false << 0 << "4294967295";
    }
    void setsValue() {
        QFETCH(uint, value);
        QFETCH(bool, hex);
        QFETCH(int, width);
        QFETCH(QString, expected);
        TestHexEdit field;
        field.SetValue(value, hex, static_cast<std::uint8_t>(width));
        QCOMPARE(field.text(), expected);
    }

    void converts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("times");
        QTest::addColumn<QString>("expected");
        QTest::newRow("prefixed") << "0x1A" << 1 << "26";
        QTest::newRow("upper-case prefix") << "0X1A" << 1 << "26";
        QTest::newRow("plain") << "FF" << 1 << "255";
        QTest::newRow("beyond 32 bits") << "FFFFFFFFF" << 1 << "4294967295";
        QTest::newRow("no digits") << "G1" << 1 << "0";
        QTest::newRow("stops at non-digit") << "1G2" << 1 << "1";
        QTest::newRow("back to hex") << "0x1A" << 2 << "0x1A";
        QTest::newRow("back to hex, top bit set") << "FFFFFFFF" << 2 << "0xFFFFFFFF";
        QTest::newRow("zero back to hex") << "0" << 2 << "0x0";
        QTest::newRow("three times") << "1A" << 3 << "26";
    }
    void converts() {
        QFETCH(QString, text);
        QFETCH(int, times);
        QFETCH(QString, expected);
        TestHexEdit field;
        field.setText(text);
        for (int i = 0; i < times; ++i) {
            field.Convert();
        }
        QCOMPARE(field.text(), expected);
    }

    // Once the decimal text is edited it is hexadecimal input again.
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

    // A field limited to four characters still shows a longer converted or set number whole.
    void textLimitLeavesSetTextWhole() {
        TestHexEdit field;
        field.SetTextLimit(4);
        field.setText("FFFF");
        field.Convert();
        QCOMPARE(field.text(), QStringLiteral("65535"));
        field.SetValue(0x12345678, true, 2);
        QCOMPARE(field.text(), QStringLiteral("12345678"));
    }

    void colours_data() {
        QTest::addColumn<FieldChange>("change");
        QTest::addColumn<bool>("edited");
        QTest::newRow("never changed") << FieldChange([](CHexEdit& f) {
            f.setText("");
            QTest::keyClick(&f, 'g');
        }) << false;
        QTest::newRow("typed, then erased") << FieldChange([](CHexEdit& f) {
            QTest::keyClick(&f, '1');
            QTest::keyClick(&f, Qt::Key_Backspace);
        }) << true;
        QTest::newRow("SetValue") << FieldChange([](CHexEdit& f) { f.SetValue(0, true, 0); })
                                  << true;
        QTest::newRow("pasted") << FieldChange([](CHexEdit& f) {
            SetClipboard("7");
            QTest::keyClick(&f, Qt::Key_V, Qt::ControlModifier);
        }) << true;
    }
    void colours() {
        QFETCH(FieldChange, change);
        QFETCH(bool, edited);
        TestHexEdit field;
        field.resize(120, 30);
        field.show();
        QCOMPARE(PaintedBackground(field), kFreshBase);
        change(field);
        const QColor text = edited ? kEditedText : kFreshText;
        const QColor base = edited ? kEditedBase : kFreshBase;
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            QCOMPARE(field.palette().color(group, QPalette::Text), text);
            QCOMPARE(field.palette().color(group, QPalette::Base), base);
        }
        QCOMPARE(PaintedBackground(field), base);
        // The scheme does not depend on whether the field can be edited.
        field.setReadOnly(true);
        QCOMPARE(PaintedBackground(field), base);
    }
};

}  // namespace brimlo::controls::testing

QTEST_MAIN(brimlo::controls::testing::HexEditValueTest)
#include "hex_edit_value_test.moc"
