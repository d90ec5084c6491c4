#pragma once
// The library speaks UTF-8; Windows' wide calls speak UTF-16. Converted at the edge.

#include <string>
#include <string_view>

namespace brimlo::hid {

std::wstring Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::wstring_view text);

}  // namespace brimlo::hid
