#include "controls/hex_edit.h"

#include <QColor>
#include <QPalette>
#include <algorithm>

#include "controls/hex_number.h"

namespace brimlo::controls {
namespace {

// Orange on yellow while the text has never changed, slate on green from the first change on.
const QColor kFreshText(192, 97, 10);
const QColor kFreshBase(251, 244, 170);
const QColor kEditedText(74, 115, 132);
const QColor kEditedBase(219, 247, 220);

}  // namespace

CHexEdit::CHexEdit(QWidget* parent) : QLineEdit(parent), m_textLimit(maxLength()) {
    // Text may only come in through the key filter and the checked paste, so no drops.
    setAcceptDrops(false);
    connect(this, &QLineEdit::textChanged, this, &CHexEdit::OnTextChanged);
    ApplyColours();
}

void CHexEdit::SetValue(std::uint32_t value, bool hex, std::uint8_t width) {
    setText(QString::fromStdU16String(FormatValue(value, hex, width)));
    m_showsDecimal = !hex;
}

void CHexEdit::SetTextLimit(int limit) {
    m_textLimit = std::max(limit, 0);
}

bool CHexEdit::IsPasteAllowed(const QString& clip) const {
    return controls::IsPasteAllowed(text().toStdU16String(), Selection(), clip.toStdU16String());
}

void CHexEdit::Convert() {
    const bool toHex = m_showsDecimal;
    setText(QString::fromStdU16String(ConvertedText(text().toStdU16String(), toHex)));
    m_showsDecimal = !toHex;
}

// The rules read a selection as a Windows edit control reports it: start <= end, and with
// nothing selected both equal the caret position. QLineEdit reports "nothing selected" as a
// selection start of -1 and keeps the caret apart, so this is the one place mapping the two.
// Read-only is QLineEdit's readOnly property: like the edit control's read-only style it still
// allows selecting and copying.
TextSelection CHexEdit::Selection() const {
    if (!hasSelectedText()) {
        return {cursorPosition(), cursorPosition()};
    }
    return {selectionStart(), selectionStart() + selectionLength()};
}

// How many characters the user may still add once the selection is replaced.
qsizetype CHexEdit::RoomLeft() const {
    return controls::RoomLeft(text().toStdU16String(), Selection(), m_textLimit);
}

void CHexEdit::OnTextChanged() {
    m_edited = true;
    m_showsDecimal = false;
    ApplyColours();
}

// Both roles in every colour group, so read-only and disabled fields show the same scheme.
void CHexEdit::ApplyColours() {
    QPalette colours = palette();
    colours.setColor(QPalette::Text, m_edited ? kEditedText : kFreshText);
    colours.setColor(QPalette::Base, m_edited ? kEditedBase : kFreshBase);
    setPalette(colours);
}

}  // namespace brimlo::controls
