#include "controls/hex_text_rules.h"

namespace brimlo::controls {
namespace {

constexpr char16_t kBackspace = 0x08;
constexpr char16_t kFirstPrintable = 0x20;

// The character at `index`, or 0 when the text is shorter.
QChar CharAt(const QString& text, int index) {
    return index < text.size() ? text.at(index) : QChar();
}

bool IsX(QChar ch) {
    return ch == u'x' || ch == u'X';
}

bool IsUpperHexDigit(QChar ch) {
    return (ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'F');
}

bool IsLowerHexLetter(QChar ch) {
    return ch >= u'a' && ch <= u'f';
}

}  // namespace

bool HasPrefix(const QString& text) {
    return IsX(CharAt(text, 1));
}

bool SelectsPrefixZeroOnly(const QString& text, TextSelection selection) {
    return HasPrefix(text) && selection.start == 0 && selection.end == 1;
}

bool BlocksForwardDelete(const QString& text, TextSelection selection) {
    return HasPrefix(text) && selection.start == 0 && selection.end <= 1;
}

std::optional<QChar> FilterTypedCharacter(const QString& text, TextSelection selection, QChar ch) {
    if (ch == kBackspace) {
        const bool erasesPrefixZero =
            CharAt(text, 0) == u'0' && HasPrefix(text) && selection.end == 1;
        return erasesPrefixZero ? std::nullopt : std::optional(ch);
    }
    if (ch.unicode() < kFirstPrintable) {
        return ch;
    }
    // Nothing may be typed in front of or into the prefix.
    if (HasPrefix(text) && selection.start <= 1 && selection.end <= 1) {
        return std::nullopt;
    }
    if (IsX(ch)) {
        const bool completesPrefix = selection.start == 1 && CharAt(text, 0) == u'0';
        return completesPrefix ? std::optional(QChar(u'x')) : std::nullopt;
    }
    if (IsUpperHexDigit(ch)) {
        return ch;
    }
    if (IsLowerHexLetter(ch)) {
        return QChar(ch.unicode() - 0x20);
    }
    return std::nullopt;
}

bool IsPasteAllowed(const QString& text, TextSelection selection, const QString& clip) {
    const bool hasPrefix = HasPrefix(text);
    if (hasPrefix && selection.end <= 1) {
        return false;
    }
    qsizetype first = 0;
    if (clip.size() >= 2 && clip.at(0) == u'0' && IsX(clip.at(1))) {
        // A pasted prefix must land at the very start, replacing any prefix already there.
        const bool atStart = selection.start == 0 && (!hasPrefix || selection.end >= 2);
        if (!atStart) {
            return false;
        }
        first = 2;
    }
    if (!clip.isEmpty() && IsX(clip.at(0))) {
        // A lone x may only complete a prefix after a leading "0".
        if (CharAt(text, 0) != u'0' || selection.start != 1) {
            return false;
        }
        first = 1;
    }
    for (qsizetype i = first; i < clip.size(); ++i) {
        if (!IsUpperHexDigit(clip.at(i)) && !IsLowerHexLetter(clip.at(i))) {
            return false;
        }
    }
    return true;
}

QString NormalizeHexText(QString text) {
    for (QChar& ch : text) {
        if (ch >= u'a' && ch <= u'z' && ch != u'x') {
            ch = QChar(ch.unicode() - 0x20);
        } else if (ch == u'X') {
            ch = QChar(u'x');
        }
    }
    return text;
}

}  // namespace brimlo::controls
