// CHexEdit's own context menu and its commands.

#include <QContextMenuEvent>
#include <QMenu>

#include "controls/hex_edit.h"

namespace brimlo::controls {
namespace {

template <typename Command>
void AddItem(QMenu& menu, const QString& text, bool enabled, CHexEdit* field, Command command) {
    QAction* action = menu.addAction(text);
    action->setEnabled(enabled);
    QObject::connect(action, &QAction::triggered, field, command);
}

}  // namespace

std::unique_ptr<QMenu> CHexEdit::CreateContextMenu() {
    const std::u16string current = text().toStdU16String();
    const TextSelection selection = Selection();
    setFocus(Qt::OtherFocusReason);

    const bool readOnly = isReadOnly();
    const bool hasSelection = selection.start != selection.end;
    const bool canRemove = hasSelection && !readOnly && !SelectsPrefixZeroOnly(current, selection);
    const std::optional<QString> clip = ReadClipboardText(true);
    const bool canPaste = clip && !readOnly && IsPasteAllowed(*clip);
    const bool allSelected =
        selection.start == 0 && selection.end == static_cast<int>(current.size());

    // The edit commands first bring the clipboard text into the field's own form.
    auto menu = std::make_unique<QMenu>(this);
    AddItem(*menu, tr("&Undo"), isUndoAvailable() && !readOnly, this, [this] {
        NormalizeClipboardText();
        undo();
    });
    menu->addSeparator();
    AddItem(*menu, tr("Cu&t"), canRemove, this, [this] {
        NormalizeClipboardText();
        cut();
    });
    AddItem(*menu, tr("&Copy"), hasSelection, this, [this] {
        NormalizeClipboardText();
        copy();
    });
    // The clipboard may have changed while the menu was open, so the paste checks again.
    AddItem(*menu, tr("&Paste"), canPaste, this, [this] {
        NormalizeClipboardText();
        PasteCheckedText(false);
    });
    AddItem(*menu, tr("&Delete"), canRemove, this, [this] {
        NormalizeClipboardText();
        del();
    });
    menu->addSeparator();
    AddItem(*menu, tr("Select &All"), !current.empty() && !allSelected, this,
            [this] { selectAll(); });
    menu->addSeparator();
    AddItem(*menu, tr("Con&vert"), !current.empty() && current != u"0x", this,
            [this] { Convert(); });
    return menu;
}

void CHexEdit::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu = CreateContextMenu();
    menu->exec(event->globalPos());
    event->accept();
}

}  // namespace brimlo::controls
