#include "commands/panel_format.h"

#include <algorithm>
#include <cstdio>

namespace brimlo {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool HasHexPrefix(std::string_view text) {
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace

std::optional<std::uint32_t> ParseHexArgument(std::string_view text, std::uint32_t maxValue,
                                              HexArgumentError* error) {
    const auto fail = [error](HexArgumentError why) -> std::optional<std::uint32_t> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    if (HasHexPrefix(text)) {
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return fail(HexArgumentError::NotHexadecimal);
    }
    // Every character is checked, so that "1000000zz" is called what it is, not too large.
    std::uint64_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return fail(HexArgumentError::NotHexadecimal);
        }
        value = std::min<std::uint64_t>(value * 16 + static_cast<unsigned>(digit),
                                        std::uint64_t{maxValue} + 1);
    }
    if (value > maxValue) {
        return fail(HexArgumentError::TooLarge);
    }
    return static_cast<std::uint32_t>(value);
}

std::string FormatByte(std::uint8_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x", value);
    return text;
}

std::string FormatRegister(std::uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string FormatUsbId(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string FormatFirmwareVersion(std::span<const std::uint8_t, 4> version) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x.%02x.%02x.%02x", version[0], version[1], version[2],
                  version[3]);
    return text;
}

std::string FormatHexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += FormatByte(bytes[i]);
    }
    return text;
}

}  // namespace brimlo
