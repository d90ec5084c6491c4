#include "cli/hex_arguments.h"

#include <cstdio>

#include "commands/panel_format.h"

namespace brimlo::cli {
namespace {

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

}  // namespace

bool HexArgs::Get(const std::string& text, std::uint32_t maxValue, const char* what,
                  std::uint32_t& out) const {
    HexArgumentError error{};
    const auto value = ParseHexArgument(text, maxValue, &error);
    if (!value) {
        context_.Error(
            std::string(what) + " '" + text + "' " +
                (error == HexArgumentError::TooLarge
                     ? "is too large: at most " + Hex(maxValue)
                     : "is not a hexadecimal number" +
                           (maxValue < 0xFFFFFFFF ? " up to " + Hex(maxValue) : std::string())),
            kExitUsage);
        return false;
    }
    out = *value;
    return true;
}

bool HexArgs::Count(const std::string& text, std::uint32_t maxCount, std::uint32_t& out) const {
    HexArgumentError error{};
    const auto value = ParseHexArgument(text, maxCount, &error);
    if (value && *value != 0) {
        out = *value;
        return true;
    }
    // The text as typed only when it is short: a count of a thousand digits is not repeated.
    const std::string shown = text.size() <= 24 ? "'" + text + "' " : std::string();
    const char* why = value                                       ? "is zero"
                      : error == HexArgumentError::NotHexadecimal ? "is not a hexadecimal number"
                                                                  : "is too large";
    context_.Error("--count " + shown + why + ": a count is 1 to " + Hex(maxCount) +
                       ", in hexadecimal like every number (10 is sixteen)",
                   kExitUsage);
    return false;
}

}  // namespace brimlo::cli
