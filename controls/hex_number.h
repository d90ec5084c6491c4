#pragma once
// Number text of the hexadecimal entry field: the forms it writes and the readers Convert uses.

#include <QString>
#include <QStringView>
#include <cstdint>

namespace brimlo::controls {

// Unsigned decimal when `hex` is false; otherwise upper-case hexadecimal without prefix, zero
// padded to 2 digits for width 0, 4 for width 1 and 8 for any other width.
QString FormatValue(std::uint32_t value, bool hex, std::uint8_t width);

// Reads the field's text as the dialog's handlers do (ParseHexField): leading blanks and one
// "0x" are skipped, reading stops at the first non-digit, no digit gives 0 and a number beyond
// 32 bits gives 0xFFFFFFFF.
std::uint32_t ParseHexNumber(QStringView text);

// Reads an unsigned decimal number after leading blanks, up to the first non-digit. No digit
// gives 0; a number beyond 32 bits gives 0xFFFFFFFF.
std::uint32_t ParseDecimalNumber(QStringView text);

}  // namespace brimlo::controls
