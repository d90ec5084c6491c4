#pragma once
// Conversions between the panel's texts and numbers, shared by the dialog and the CLI.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "commands/hex_field.h"

namespace brimlo {

enum class HexArgumentError { NotHexadecimal, TooLarge };

// A hexadecimal number typed on a command line: optional "0x", then only hex digits, at most
// `maxValue`. Nothing when the text is not such a number; `error`, when given, says why.
std::optional<std::uint32_t> ParseHexArgument(std::string_view text,
                                              std::uint32_t maxValue = 0xFFFFFFFF,
                                              HexArgumentError* error = nullptr);

std::string FormatByte(std::uint8_t value);       // "%02x"
std::string FormatRegister(std::uint32_t value);  // "%08x"
std::string FormatUsbId(std::uint16_t value);     // "%04x", a vendor or product ID

// The low bytes of registers 0x54, 0x58, 0x5C and 0x60 as "%02x.%02x.%02x.%02x".
std::string FormatFirmwareVersion(std::span<const std::uint8_t, 4> version);

// Bytes as "%02x" groups with one blank between them.
std::string FormatHexBytes(std::span<const std::uint8_t> bytes);

}  // namespace brimlo
