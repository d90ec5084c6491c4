#pragma once
// How a hexadecimal entry field's text becomes a number: the one reader for the dialog's
// handlers, the entry field's Convert and the tests. Header-only and free of Qt, so that the
// widget library shares it without linking the device code.

#include <cstdint>
#include <string_view>

namespace brimlo {
namespace detail {

template <typename Char>
constexpr int HexDigitValue(Char c) {
    if (c >= Char('0') && c <= Char('9')) {
        return int(c - Char('0'));
    }
    if (c >= Char('a') && c <= Char('f')) {
        return int(c - Char('a')) + 10;
    }
    if (c >= Char('A') && c <= Char('F')) {
        return int(c - Char('A')) + 10;
    }
    return -1;
}

template <typename Char>
constexpr std::uint32_t ParseHexText(std::basic_string_view<Char> text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == Char(' ') || text[i] == Char('\t'))) {
        ++i;
    }
    // A prefix that no digit follows still reads as 0, the value of its "0".
    if (i + 1 < text.size() && text[i] == Char('0') &&
        (text[i + 1] == Char('x') || text[i + 1] == Char('X'))) {
        i += 2;
    }
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFu) {
            return 0xFFFFFFFFu;
        }
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace detail

// Reads the whole text, so that a field holding "0x" and eight digits (what Convert writes
// back) keeps its last digit: leading blanks and one "0x" or "0X" are skipped, reading stops at
// the first character that is not a hexadecimal digit, no digit gives 0, and a number beyond
// 32 bits gives 0xFFFFFFFF.
constexpr std::uint32_t ParseHexField(std::string_view text) {
    return detail::ParseHexText(text);
}
constexpr std::uint32_t ParseHexField(std::u16string_view text) {
    return detail::ParseHexText(text);
}

}  // namespace brimlo
