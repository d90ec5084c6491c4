// CHexEdit's clipboard: reading the text to paste, the checked paste and the normalization.

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <algorithm>

#include "controls/hex_edit.h"

namespace brimlo::controls {

QClipboard* CHexEdit::Clipboard() const {
    return QGuiApplication::clipboard();
}

void CHexEdit::ShowMessage(const QString& text) {
    // No caption of its own: the application's name stands there.
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, this);
    box.exec();
}

// The clipboard's text, or nothing when it holds none. Without a clipboard there is no text
// either, and the user is told when `tellUserOnFailure` asks for it.
std::optional<QString> CHexEdit::ReadClipboardText(bool tellUserOnFailure) {
    const QClipboard* clipboard = Clipboard();
    if (clipboard == nullptr) {
        if (tellUserOnFailure) {
            ShowMessage(tr("Cannot open clipboard!"));
        }
        return std::nullopt;
    }
    const QMimeData* data = clipboard->mimeData();
    if (data == nullptr || !data->hasText()) {
        return std::nullopt;
    }
    return data->text();
}

// Pastes the clipboard text over the selection when the paste check allows it, cut to the
// room the text limit leaves, as an edit control cuts a paste to its limit.
void CHexEdit::PasteCheckedText(bool tellUserOnFailure) {
    const std::optional<QString> clip = ReadClipboardText(tellUserOnFailure);
    if (!clip || isReadOnly() || !IsPasteAllowed(*clip)) {
        return;
    }
    insert(clip->left(std::max<qsizetype>(RoomLeft(), 0)));
}

void CHexEdit::NormalizeClipboardText() {
    QClipboard* clipboard = Clipboard();
    if (clipboard == nullptr) {
        return;
    }
    const QMimeData* data = clipboard->mimeData();
    if (data == nullptr || !data->hasText()) {
        return;
    }
    const QString original = data->text();
    const QString normalized =
        QString::fromStdU16String(NormalizeHexText(original.toStdU16String()));
    // Rewriting an unchanged text would only drop the clipboard's other formats.
    if (normalized != original) {
        clipboard->setText(normalized);
    }
}

}  // namespace brimlo::controls
