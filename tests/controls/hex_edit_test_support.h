#pragma once
// Shared helpers of the hex edit suites: a field whose platform seams the test answers, and
// the set-up of text, selection and clipboard.

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

// Selects what a picture of the field marks: "0[x1]A" selects "x1" of "0x1A", and "0|x1A"
// puts the caret after the 0. With `setText` the field's text becomes the picture's first.
inline void Select(CHexEdit& field, QString picture, bool setText = true) {
    const int start = int(picture.indexOf(picture.contains(u'|') ? u'|' : u'['));
    picture.remove(start, 1);
    const int end = picture.contains(u']') ? int(picture.indexOf(u']')) : start;
    picture.remove(u']');
    if (setText) {
        field.setText(picture);
    }
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

}  // namespace brimlo::controls::testing
