#include "controls/hex_number.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "commands/hex_field.h"

namespace brimlo::controls {
namespace {

constexpr std::uint64_t kMaxValue = std::numeric_limits<std::uint32_t>::max();

std::u16string Widen(const char* ascii) {
    return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii));
}

std::size_t SkipBlanks(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    return i;
}

}  // namespace

std::u16string FormatValue(std::uint32_t value, bool hex, std::uint8_t width) {
    char text[16];
    if (!hex) {
        std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(value));
    } else {
        const int digits = width == 0 ? 2 : width == 1 ? 4 : 8;
        std::snprintf(text, sizeof text, "%0*lX", digits, static_cast<unsigned long>(value));
    }
    return Widen(text);
}

std::uint32_t ParseHexNumber(std::u16string_view text) {
    return ParseHexField(text);
}

std::uint32_t ParseDecimalNumber(std::u16string_view text) {
    std::uint64_t value = 0;
    for (std::size_t i = SkipBlanks(text); i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') {
            break;
        }
        value = std::min(value * 10 + (text[i] - u'0'), kMaxValue);
    }
    return static_cast<std::uint32_t>(value);
}

std::u16string ConvertedText(std::u16string_view text, bool showsDecimal) {
    if (showsDecimal) {
        char hexText[16];
        std::snprintf(hexText, sizeof hexText, "0x%lX",
                      static_cast<unsigned long>(ParseDecimalNumber(text)));
        return Widen(hexText);
    }
    const std::u16string_view digits = text.starts_with(u"0x") ? text.substr(2) : text;
    return FormatValue(ParseHexNumber(digits), false, 0);
}

}  // namespace brimlo::controls
