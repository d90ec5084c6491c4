#pragma once
// The library speaks UTF-8; Windows' wide calls speak UTF-16. Converted at the edge (Windows only).

#include <string>
#include <string_view>

namespace brimlo::files {

std::wstring Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::wstring_view text);

}  // namespace brimlo::files
