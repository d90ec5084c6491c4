#include "controls/hex_number.h"

#include <algorithm>
#include <limits>

#include "commands/hex_field.h"

namespace brimlo::controls {
namespace {

constexpr std::uint64_t kMaxValue = std::numeric_limits<std::uint32_t>::max();

int DecimalDigit(QChar ch) {
    const char16_t c = ch.unicode();
    return c >= u'0' && c <= u'9' ? c - u'0' : -1;
}

qsizetype SkipBlanks(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t')) {
        ++i;
    }
    return i;
}

// Accumulates decimal digits from `i` on, saturating at the largest 32-bit value.
std::uint32_t ReadDecimalDigits(QStringView text, qsizetype i) {
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = DecimalDigit(text.at(i));
        if (digit < 0) {
            break;
        }
        value = std::min(value * 10 + digit, kMaxValue);
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

QString FormatValue(std::uint32_t value, bool hex, std::uint8_t width) {
    if (!hex) {
        return QString::number(value);
    }
    const int digits = width == 0 ? 2 : width == 1 ? 4 : 8;
    return QStringLiteral("%1").arg(value, digits, 16, QChar(u'0')).toUpper();
}

std::uint32_t ParseHexNumber(QStringView text) {
    return ParseHexField(std::u16string_view(text.utf16(), std::size_t(text.size())));
}

std::uint32_t ParseDecimalNumber(QStringView text) {
    return ReadDecimalDigits(text, SkipBlanks(text));
}

}  // namespace brimlo::controls
