// The key filter of CHexEdit and the other ways text could come in without it.

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>

#include "controls/hex_edit.h"

namespace brimlo::controls {
namespace {

constexpr char16_t kBackspace = 0x08;
constexpr char16_t kDel = 0x7F;
constexpr char16_t kFirstPrintable = 0x20;

bool IsPasteKey(const QKeyEvent& event) {
    return (event.key() == Qt::Key_V && event.modifiers().testFlag(Qt::ControlModifier)) ||
           event.matches(QKeySequence::Paste);
}

// The character a key types, as a Windows edit control would receive it, or nothing for keys
// that only move the caret or give a command. Ctrl+Backspace types DEL, which no rule lets
// through, so it cannot delete a word and leave the prefix's x dangling.
std::optional<QChar> TypedCharacter(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    // Ctrl together with Alt is AltGr, which types ordinary characters.
    const bool ctrlOnly = modifiers.testFlag(Qt::ControlModifier) && !alt;
    if (event.key() == Qt::Key_Backspace) {
        if (alt) {
            return std::nullopt;  // Alt+Backspace is undo
        }
        return QChar(ctrlOnly ? kDel : kBackspace);
    }
    if (ctrlOnly || event.text().isEmpty()) {
        return std::nullopt;
    }
    return event.text().at(0);
}

}  // namespace

void CHexEdit::keyPressEvent(QKeyEvent* event) {
    const std::u16string current = text().toStdU16String();
    const TextSelection selection = Selection();
    event->accept();

    if (event->key() == Qt::Key_X && event->modifiers().testFlag(Qt::ControlModifier)) {
        if (!SelectsPrefixZeroOnly(current, selection)) {
            QLineEdit::keyPressEvent(event);
        }
        return;
    }
    // Every paste key, Shift+Insert included, takes the checked paste.
    if (IsPasteKey(*event)) {
        PasteCheckedText(true);
        return;
    }
    if (event->key() == Qt::Key_Delete) {
        if (!BlocksForwardDelete(current, selection)) {
            QLineEdit::keyPressEvent(event);
        }
        return;
    }

    const std::optional<QChar> typed = TypedCharacter(*event);
    if (!typed) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const std::optional<char16_t> filtered =
        FilterTypedCharacter(current, selection, typed->unicode());
    if (!filtered) {
        return;
    }
    if (*filtered < kFirstPrintable) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (RoomLeft() < 1) {
        return;
    }
    // The filtered character replaces whatever the key would have typed.
    QKeyEvent filteredEvent(event->type(), event->key(), event->modifiers(),
                            QString(QChar(*filtered)), event->isAutoRepeat(), event->count());
    QLineEdit::keyPressEvent(&filteredEvent);
    event->setAccepted(filteredEvent.isAccepted());
}

// Text committed by an input method would bypass the key filter; hexadecimal digits need no
// input method, so such text is dropped.
void CHexEdit::inputMethodEvent(QInputMethodEvent* event) {
    event->accept();
}

// A middle click would paste the X11 selection unchecked; the field has no such paste.
void CHexEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

}  // namespace brimlo::controls
