#pragma once
// Reading the emulator's JSON files field by field, with errors that name the key. Numbers may
// be written as JSON integers or as strings ("0x90", "144") so that addresses can stay in hex.

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace brimlo::sim::json_fields {

using Json = nlohmann::json;

// Parses a whole file's text. False with `error` set for anything the JSON library refuses:
// "not valid JSON: ..." with the line and column for broken syntax, "<key>: ..." for a value
// no number can hold (1e400).
bool ParseDocument(std::string_view text, Json& document, std::string& error);

// Sets `error` to "<key>: <what>" and returns false.
bool Fail(std::string& error, std::string_view key, std::string_view what);

bool ReadUnsigned(const Json& value, std::string_view key, std::uint64_t max, std::uint64_t& out,
                  std::string& error);

template <typename T>
bool ReadNumber(const Json& value, std::string_view key, T& out, std::string& error) {
    std::uint64_t wide = 0;
    if (!ReadUnsigned(value, key, std::numeric_limits<T>::max(), wide, error)) {
        return false;
    }
    out = static_cast<T>(wide);
    return true;
}

// null leaves the value absent.
template <typename T>
bool ReadOptionalNumber(const Json& value, std::string_view key, std::optional<T>& out,
                        std::string& error) {
    if (value.is_null()) {
        out.reset();
        return true;
    }
    T number{};
    if (!ReadNumber(value, key, number, error)) {
        return false;
    }
    out = number;
    return true;
}

template <typename T>
bool ReadNumberList(const Json& value, std::string_view key, std::vector<T>& out,
                    std::string& error) {
    if (!value.is_array()) {
        return Fail(error, key, "expected an array of numbers");
    }
    std::vector<T> numbers(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string element = std::string(key) + "[" + std::to_string(i) + "]";
        if (!ReadNumber(value[i], element, numbers[i], error)) {
            return false;
        }
    }
    out = std::move(numbers);
    return true;
}

// A string of hexadecimal byte pairs; blanks between them are allowed.
bool ReadHexBytes(const Json& value, std::string_view key, std::vector<std::uint8_t>& out,
                  std::string& error);

// Fails for a key of `object` outside `known`, so that a misspelt key is not silently ignored.
bool CheckKnownKeys(const Json& object, std::string_view prefix,
                    std::initializer_list<std::string_view> known, std::string& error);

// "0x" followed by `digits` lower-case hexadecimal digits.
std::string HexNumber(std::uint64_t value, int digits);

// Bytes as blank-separated lower-case pairs, the way the tool shows raw bytes.
std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace brimlo::sim::json_fields
