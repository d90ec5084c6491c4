#pragma once
// CHexEdit: the single-line entry field for every hexadecimal number of the service dialog.
// It lets only hexadecimal digits in, protects an optional "0x" prefix, checks clipboard text
// before pasting it, offers its own context menu with Convert, and changes colour for good once
// its text has changed.

#include <QLineEdit>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "controls/hex_text_rules.h"

class QClipboard;
class QMenu;

namespace brimlo::controls {

class CHexEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CHexEdit(QWidget* parent = nullptr);

    // Replaces the text by `value`; see FormatValue for the decimal and the three hex forms.
    void SetValue(std::uint32_t value, bool hex, std::uint8_t width);

    // The most characters the user may type or paste. Text set by SetValue, Convert or setText
    // is never cut, so that the field cannot show a truncated number. QLineEdit's own maximum
    // length would cut it, which is why setMaxLength is hidden here.
    void SetTextLimit(int limit);
    int TextLimit() const { return m_textLimit; }
    void setMaxLength(int) = delete;

    // Whether `clip` may be pasted over the current selection.
    bool IsPasteAllowed(const QString& clip) const;

    // Rewrites the clipboard's text in the field's own form (upper-case digits, lower-case x).
    // Does nothing when there is no clipboard or it holds no text.
    void NormalizeClipboardText();

    // Hexadecimal text becomes unsigned decimal. Applied to the decimal form that Convert or
    // SetValue wrote, while that text is unchanged, it gives back hexadecimal with "0x".
    void Convert();

    // Builds the context menu for the current text, selection and clipboard; its actions act on
    // this field, which must outlive it. The context-menu event shows it; tests trigger its
    // actions directly.
    std::unique_ptr<QMenu> CreateContextMenu();

  protected:
    // Platform seams. The clipboard is null when the platform offers none, the one clipboard
    // failure Qt can report. The message hook shows a box; tests answer it instead.
    virtual QClipboard* Clipboard() const;
    virtual void ShowMessage(const QString& text);

    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    TextSelection Selection() const;
    qsizetype RoomLeft() const;
    std::optional<QString> ReadClipboardText(bool tellUserOnFailure);
    void PasteCheckedText(bool tellUserOnFailure);
    void OnTextChanged();
    void ApplyColours();

    int m_textLimit;
    bool m_edited = false;
    // The text is the decimal form written by Convert or SetValue, unchanged since.
    bool m_showsDecimal = false;
};

}  // namespace brimlo::controls
