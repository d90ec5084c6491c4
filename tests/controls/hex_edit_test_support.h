#pragma once
// Shared helpers of the hex edit suites: a field whose platform seams the test answers, the
// set-up of text, selection and clipboard, and the paste cases both paste paths must follow.

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QStringList>
#include <QTest>

#include "controls/hex_edit.h"

namespace brimlo::controls::testing {

// Records message boxes instead of showing them, and can act as if there were no clipboard.
class TestHexEdit : public CHexEdit {
  public:
    QStringList messages;
    bool clipboardMissing = false;

  protected:
    QClipboard* Clipboard() const override {
        return clipboardMissing ? nullptr : CHexEdit::Clipboard();
    }
    void ShowMessage(const QString& text) override { messages << text; }
};

// Sets the text and selects [start, end); with start == end the caret stands there.
inline void Prepare(CHexEdit& field, const QString& text, int start, int end) {
    field.setText(text);
    field.setCursorPosition(start);
    field.setSelection(start, end - start);
}

// A null text empties the clipboard, so that it offers no text at all.
inline void SetClipboard(const QString& text) {
    if (text.isNull()) {
        QGuiApplication::clipboard()->clear();
    } else {
        QGuiApplication::clipboard()->setText(text);
    }
}

inline QString ClipboardText() {
    return QGuiApplication::clipboard()->text();
}

inline QAction* MenuItem(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    QTest::qFail(qPrintable(QStringLiteral("no menu item ") + text), __FILE__, __LINE__);
    return nullptr;
}

// Rows: field text, selection, clipboard text (null: none), whether the paste is allowed, the
// text after Ctrl+V (clip as it is) and after the menu's Paste (clip normalized first).
inline void AddPasteCases() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<QString>("afterKey");
    QTest::addColumn<QString>("afterMenu");
    const auto row = [](const char* name, const char* text, int start, int end, QString clip,
                        bool allowed, const char* afterKey, const char* afterMenu) {
        QTest::newRow(name) << QString(text) << start << end << clip << allowed << QString(afterKey)
                            << QString(afterMenu);
    };
    row("not hex", "", 0, 0, "12G", false, "", "");
    row("no clipboard text", "12", 2, 2, QString(), false, "12", "12");
    row("empty clip", "12", 2, 2, "", true, "12", "12");
    row("lower case", "", 0, 0, "0x1a", true, "0x1a", "0x1A");
    row("upper-case prefix", "", 0, 0, "0X1a", true, "0X1a", "0x1A");
    row("prefix over prefix", "0x34", 0, 2, "0x12", true, "0x1234", "0x1234");
    row("prefix over all", "0x34", 0, 4, "0x12", true, "0x12", "0x12");
    row("prefix over leading zero", "0x34", 0, 1, "0x12", false, "0x34", "0x34");
    row("prefix at end", "0x34", 4, 4, "0x12", false, "0x34", "0x34");
    row("prefix not at start", "0x34", 1, 3, "0x12", false, "0x34", "0x34");
    row("prefix before plain", "34", 0, 0, "0x12", true, "0x1234", "0x1234");
    row("prefix inside plain", "34", 1, 1, "0x12", false, "34", "34");
    row("x after zero", "0", 1, 1, "x12", true, "0x12", "0x12");
    row("x after other digit", "1", 1, 1, "x12", false, "1", "1");
    row("x at start", "0", 0, 0, "x12", false, "0", "0");
    row("digits after prefix", "0x", 2, 2, "5", true, "0x5", "0x5");
    row("digits inside prefix", "0x", 1, 1, "5", false, "0x", "0x");
}

}  // namespace brimlo::controls::testing
