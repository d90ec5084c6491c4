#include "controls/hex_number.h"

#include <algorithm>
#include <limits>

namespace brimlo::controls {
namespace {

constexpr std::uint64_t kMaxValue = std::numeric_limits<std::uint32_t>::max();

// The digit's value in `base` (10 or 16), or -1 when it is none.
int DigitValue(QChar ch, int base) {
    const char16_t c = ch.unicode();
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (base == 16 && c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (base == 16 && c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

qsizetype SkipBlanks(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t')) {
        ++i;
    }
    return i;
}

// Accumulates digits from `i` on, saturating at the largest 32-bit value.
std::uint32_t ReadDigits(QStringView text, qsizetype i, int base) {
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text.at(i), base);
        if (digit < 0) {
            break;
        }
        value = std::min(value * base + digit, kMaxValue);
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
    qsizetype i = SkipBlanks(text);
    // Skipping a prefix that no digit follows still gives 0, the value of its "0".
    if (i + 1 < text.size() && text.at(i) == u'0' &&
        (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')) {
        i += 2;
    }
    return ReadDigits(text, i, 16);
}

std::uint32_t ParseDecimalNumber(QStringView text) {
    return ReadDigits(text, SkipBlanks(text), 10);
}

}  // namespace brimlo::controls
