#include "controls/hex_text_rules.h"

#include <cstddef>

namespace brimlo::controls {
namespace {

constexpr char16_t kBackspace = 0x08;
constexpr char16_t kFirstPrintable = 0x20;

// The character at `index`, or 0 when the text is shorter.
char16_t CharAt(std::u16string_view text, std::size_t index) {
    return index < text.size() ? text[index] : u'\0';
}

bool IsX(char16_t ch) {
    return ch == u'x' || ch == u'X';
}

bool IsUpperHexDigit(char16_t ch) {
    return (ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'F');
}

bool IsLowerHexLetter(char16_t ch) {
    return ch >= u'a' && ch <= u'f';
}

}  // namespace

bool HasPrefix(std::u16string_view text) {
    return IsX(CharAt(text, 1));
}

bool SelectsPrefixZeroOnly(std::u16string_view text, TextSelection selection) {
    return HasPrefix(text) && selection.start == 0 && selection.end == 1;
}

bool BlocksForwardDelete(std::u16string_view text, TextSelection selection) {
    return HasPrefix(text) && selection.start == 0 && selection.end <= 1;
}

std::optional<char16_t> FilterTypedCharacter(std::u16string_view text, TextSelection selection,
                                             char16_t ch) {
    if (ch == kBackspace) {
        const bool erasesPrefixZero =
            CharAt(text, 0) == u'0' && HasPrefix(text) && selection.end == 1;
        return erasesPrefixZero ? std::nullopt : std::optional(ch);
    }
    if (ch < kFirstPrintable) {
        return ch;
    }
    // Nothing may be typed in front of or into the prefix.
    if (HasPrefix(text) && selection.start <= 1 && selection.end <= 1) {
        return std::nullopt;
    }
    if (IsX(ch)) {
        const bool completesPrefix = selection.start == 1 && CharAt(text, 0) == u'0';
        return completesPrefix ? std::optional(u'x') : std::nullopt;
    }
    if (IsUpperHexDigit(ch)) {
        return ch;
    }
    if (IsLowerHexLetter(ch)) {
        return static_cast<char16_t>(ch - 0x20);
    }
    return std::nullopt;
}

bool IsPasteAllowed(std::u16string_view text, TextSelection selection, std::u16string_view clip) {
    const bool hasPrefix = HasPrefix(text);
    if (hasPrefix && selection.end <= 1) {
        return false;
    }
    std::size_t first = 0;
    if (clip.size() >= 2 && clip[0] == u'0' && IsX(clip[1])) {
        // A pasted prefix must land at the very start, replacing any prefix already there.
        const bool atStart = selection.start == 0 && (!hasPrefix || selection.end >= 2);
        if (!atStart) {
            return false;
        }
        first = 2;
    }
    if (!clip.empty() && IsX(clip[0])) {
        // A lone x may only complete a prefix after a leading "0".
        if (CharAt(text, 0) != u'0' || selection.start != 1) {
            return false;
        }
        first = 1;
    }
    for (std::size_t i = first; i < clip.size(); ++i) {
        if (!IsUpperHexDigit(clip[i]) && !IsLowerHexLetter(clip[i])) {
            return false;
        }
    }
    return true;
}

std::u16string NormalizeHexText(std::u16string text) {
    for (char16_t& ch : text) {
        if (ch >= u'a' && ch <= u'z' && ch != u'x') {
            ch = static_cast<char16_t>(ch - 0x20);
        } else if (ch == u'X') {
            ch = u'x';
        }
    }
    return text;
}

int RoomLeft(std::u16string_view text, TextSelection selection, int limit) {
    return limit - (static_cast<int>(text.size()) - (selection.end - selection.start));
}

}  // namespace brimlo::controls
