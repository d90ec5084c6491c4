#pragma once
// The editing rules of the hexadecimal entry field, as pure functions of its text and
// selection, so that the widget only maps Qt's events onto them.

#include <QString>
#include <optional>

namespace brimlo::controls {

// A selection as start <= end; with nothing selected both are the caret position.
struct TextSelection {
    int start = 0;
    int end = 0;
};

// The text carries the "0x" prefix when its second character is an x of either case.
bool HasPrefix(const QString& text);

// Exactly the prefix's leading "0" is selected: cutting or deleting it alone would leave a
// dangling "x" that reads as no number at all.
bool SelectsPrefixZeroOnly(const QString& text, TextSelection selection);

// A forward delete from position 0 would take the prefix's "0" alone.
bool BlocksForwardDelete(const QString& text, TextSelection selection);

// Decides a typed character: nothing when it is swallowed, otherwise the character to insert
// (hex letters upper-cased, the prefix's x lower-cased). Control characters pass unchanged.
std::optional<QChar> FilterTypedCharacter(const QString& text, TextSelection selection, QChar ch);

// Whether `clip` may be pasted over `selection` without breaking the prefix or bringing in
// anything but hexadecimal digits. An empty clip passes.
bool IsPasteAllowed(const QString& text, TextSelection selection, const QString& clip);

// Upper-cases every letter except x, which becomes lower-case: "0X1a" gives "0x1A".
QString NormalizeHexText(QString text);

}  // namespace brimlo::controls
