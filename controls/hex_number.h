#pragma once
// Number text of the hexadecimal entry field: the forms it writes and the readers Convert uses.
// UTF-16, as both the Qt widget and the Win32 edit control hold their text.

#include <cstdint>
#include <string>
#include <string_view>

namespace brimlo::controls {

// Unsigned decimal when `hex` is false; otherwise upper-case hexadecimal without prefix, zero
// padded to 2 digits for width 0, 4 for width 1 and 8 for any other width.
std::u16string FormatValue(std::uint32_t value, bool hex, std::uint8_t width);

// Reads the field's text as the dialog's handlers do (ParseHexField): leading blanks and one
// "0x" are skipped, reading stops at the first non-digit, no digit gives 0 and a number beyond
// 32 bits gives 0xFFFFFFFF.
std::uint32_t ParseHexNumber(std::u16string_view text);

// Reads an unsigned decimal number after leading blanks, up to the first non-digit. No digit
// gives 0; a number beyond 32 bits gives 0xFFFFFFFF.
std::uint32_t ParseDecimalNumber(std::u16string_view text);

// Convert: hexadecimal text becomes unsigned decimal. When `showsDecimal` (the text is the
// decimal form that Convert or SetValue wrote, unchanged since) it goes back to hexadecimal
// with "0x", so that Convert twice gives the same number again.
std::u16string ConvertedText(std::u16string_view text, bool showsDecimal);

}  // namespace brimlo::controls
