#include "sim/json_fields.h"

#include <cctype>
#include <charconv>

namespace brimlo::sim::json_fields {
namespace {

std::optional<std::uint64_t> ParseNumberText(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Follows the parser through the document, so that an error raised inside a value can name
// the key the value belongs to ("faults.latency_us", "report_ids[1]").
class KeyPath {
  public:
    void Follow(Json::parse_event_t event, const Json& parsed) {
        switch (event) {
            case Json::parse_event_t::object_start:
                levels_.push_back(Level{false, {}, 0});
                break;
            case Json::parse_event_t::array_start:
                levels_.push_back(Level{true, {}, 0});
                break;
            case Json::parse_event_t::key:
                levels_.back().key = parsed.get<std::string>();
                break;
            case Json::parse_event_t::object_end:
            case Json::parse_event_t::array_end:
                levels_.pop_back();
                ValueDone();
                break;
            case Json::parse_event_t::value:
                ValueDone();
                break;
        }
    }

    std::string Text() const {
        std::string text;
        for (const Level& level : levels_) {
            if (level.array) {
                text += '[';
                text += std::to_string(level.index);
                text += ']';
            } else {
                if (!text.empty()) {
                    text += '.';
                }
                text += level.key;
            }
        }
        return text.empty() ? "the top level" : text;
    }

  private:
    struct Level {
        bool array;
        std::string key;
        std::size_t index;  // of the element being read
    };

    void ValueDone() {
        if (!levels_.empty() && levels_.back().array) {
            ++levels_.back().index;
        }
    }

    std::vector<Level> levels_;
};

// The library's message without its "[json.exception.out_of_range.406] " prefix.
std::string_view Reason(const Json::exception& e) {
    std::string_view text = e.what();
    const std::size_t end = text.find("] ");
    return end == std::string_view::npos ? text : text.substr(end + 2);
}

}  // namespace

bool ParseDocument(std::string_view text, Json& document, std::string& error) {
    KeyPath path;
    try {
        document = Json::parse(text, [&path](int, Json::parse_event_t event, Json& parsed) {
            path.Follow(event, parsed);
            return true;
        });
    } catch (const Json::parse_error& e) {
        // The parser's text carries the line and column.
        error = std::string("not valid JSON: ") + e.what();
        return false;
    } catch (const Json::exception& e) {
        return Fail(error, path.Text(), Reason(e));
    }
    return true;
}

bool Fail(std::string& error, std::string_view key, std::string_view what) {
    error = std::string(key) + ": " + std::string(what);
    return false;
}

bool ReadUnsigned(const Json& value, std::string_view key, std::uint64_t max, std::uint64_t& out,
                  std::string& error) {
    std::optional<std::uint64_t> number;
    if (value.is_number_unsigned()) {
        number = value.get<std::uint64_t>();
    } else if (value.is_string()) {
        number = ParseNumberText(value.get_ref<const std::string&>());
    }
    if (!number || *number > max) {
        return Fail(error, key,
                    "expected a number from 0 to " + std::to_string(max) +
                        " (an integer, or a string such as \"0x1f\")");
    }
    out = *number;
    return true;
}

bool ReadHexBytes(const Json& value, std::string_view key, std::vector<std::uint8_t>& out,
                  std::string& error) {
    if (!value.is_string()) {
        return Fail(error, key, "expected a string of hexadecimal bytes");
    }
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (char c : value.get_ref<const std::string&>()) {
        if (std::isspace(static_cast<unsigned char>(c)) && high < 0) {
            continue;
        }
        const int digit = HexDigit(c);
        if (digit < 0) {
            return Fail(error, key, "expected hexadecimal digits in pairs");
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0) {
        return Fail(error, key, "expected hexadecimal digits in pairs");
    }
    out = std::move(bytes);
    return true;
}

bool CheckKnownKeys(const Json& object, std::string_view prefix,
                    std::initializer_list<std::string_view> known, std::string& error) {
    for (const auto& [name, value] : object.items()) {
        bool found = false;
        for (std::string_view candidate : known) {
            found = found || candidate == name;
        }
        if (!found) {
            return Fail(error, std::string(prefix) + name, "unknown key");
        }
    }
    return true;
}

std::string HexNumber(std::uint64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0 && value != 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    }
    return "0x" + text;
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t byte : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += HexNumber(byte, 2).substr(2);
    }
    return text;
}

}  // namespace brimlo::sim::json_fields
