#include "sim/sim_config_json.h"

#include <fstream>
#include <sstream>

#include "files/file_io.h"
#include "sim/json_fields.h"
#include "sim/replace_file.h"

namespace brimlo::sim {
namespace {

using json_fields::Fail;
using json_fields::Json;
using json_fields::ReadNumber;
using json_fields::ReadNumberList;
using json_fields::ReadOptionalNumber;

template <typename T, std::size_t N>
bool ReadFixedList(const Json& value, std::string_view key, std::array<T, N>& out,
                   std::string& error) {
    std::vector<T> numbers;
    if (!ReadNumberList(value, key, numbers, error)) {
        return false;
    }
    if (numbers.size() != N) {
        return Fail(error, key, "expected " + std::to_string(N) + " entries");
    }
    std::copy(numbers.begin(), numbers.end(), out.begin());
    return true;
}

bool ReadIicDevices(const Json& value, std::vector<SimIicDeviceConfig>& out, std::string& error) {
    if (!value.is_array()) {
        return Fail(error, "iic_devices", "expected an array of {\"address\", \"size\"} objects");
    }
    std::vector<SimIicDeviceConfig> devices(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string key = "iic_devices[" + std::to_string(i) + "]";
        const Json& entry = value[i];
        if (!entry.is_object()) {
            return Fail(error, key, "expected an object with \"address\" and \"size\"");
        }
        if (!json_fields::CheckKnownKeys(entry, key + ".", {"address", "size"}, error)) {
            return false;
        }
        if (!entry.contains("address")) {
            return Fail(error, key + ".address", "missing");
        }
        if (!ReadNumber(entry["address"], key + ".address", devices[i].address, error)) {
            return false;
        }
        if (entry.contains("size") &&
            !ReadNumber(entry["size"], key + ".size", devices[i].size, error)) {
            return false;
        }
    }
    out = std::move(devices);
    return true;
}

bool ReadFaults(const Json& value, SimFaults& faults, std::string& error) {
    if (!value.is_object()) {
        return Fail(error, "faults", "expected an object");
    }
    if (!json_fields::CheckKnownKeys(
            value, "faults.",
            {"fail_exchange", "unplug_after", "corrupt_read_at", "latency_us", "chip_index_answer"},
            error)) {
        return false;
    }
    const Json null;
    auto field = [&](const char* name) -> const Json& {
        return value.contains(name) ? value[name] : null;
    };
    return ReadOptionalNumber(field("fail_exchange"), "faults.fail_exchange", faults.failExchange,
                              error) &&
           ReadOptionalNumber(field("unplug_after"), "faults.unplug_after", faults.unplugAfter,
                              error) &&
           ReadOptionalNumber(field("corrupt_read_at"), "faults.corrupt_read_at",
                              faults.corruptReadAt, error) &&
           ReadOptionalNumber(field("latency_us"), "faults.latency_us", faults.latencyUs, error) &&
           ReadOptionalNumber(field("chip_index_answer"), "faults.chip_index_answer",
                              faults.chipIndexAnswer, error);
}

// One top-level key; false with `error` set when its value does not fit.
bool ReadKey(const std::string& key, const Json& value, SimConfig& config, std::string& error) {
    if (key == "vid") {
        return ReadNumber(value, key, config.vid, error);
    }
    if (key == "pid") {
        return ReadNumber(value, key, config.pid, error);
    }
    if (key == "version") {
        return ReadNumber(value, key, config.version, error);
    }
    if (key == "chip_row") {
        return ReadNumber(value, key, config.chipRow, error);
    }
    if (key == "report_ids") {
        return ReadNumberList(value, key, config.reportIds, error);
    }
    if (key == "output_report_lengths") {
        return ReadNumberList(value, key, config.outputReportLengths, error);
    }
    if (key == "input_report_lengths") {
        return ReadNumberList(value, key, config.inputReportLengths, error);
    }
    if (key == "firmware_version") {
        return ReadFixedList(value, key, config.firmwareVersion, error);
    }
    if (key == "hdmi_info") {
        std::vector<std::uint8_t> bytes;
        if (!json_fields::ReadHexBytes(value, key, bytes, error)) {
            return false;
        }
        if (bytes.size() != kHdmiInfoSize) {
            return Fail(error, key, "expected exactly 24 bytes");
        }
        std::copy(bytes.begin(), bytes.end(), config.hdmiInfo.begin());
        return true;
    }
    if (key == "iic_devices") {
        return ReadIicDevices(value, config.iicDevices, error);
    }
    if (key == "gpio_input_levels") {
        return ReadFixedList(value, key, config.gpioInputLevels, error);
    }
    if (key == "faults") {
        return ReadFaults(value, config.faults, error);
    }
    if (key == "port" || key == "serial") {
        if (!value.is_string()) {
            return Fail(error, key, "expected a string");
        }
        (key == "port" ? config.port : config.serial) = value.get<std::string>();
        return true;
    }
    return Fail(error, key, "unknown key");
}

// Written in the order a reader expects, not sorted.
using OrderedJson = nlohmann::ordered_json;

OrderedJson OptionalToJson(const auto& value) {
    return value ? OrderedJson(*value) : OrderedJson(nullptr);
}

OrderedJson ByteListToJson(std::span<const std::uint8_t> bytes) {
    OrderedJson list = OrderedJson::array();
    for (std::uint8_t byte : bytes) {
        list.push_back(json_fields::HexNumber(byte, 2));
    }
    return list;
}

}  // namespace

bool ParseSimConfig(std::string_view text, SimConfig& config, std::string& error) {
    Json document;
    if (!json_fields::ParseDocument(text, document, error)) {
        return false;
    }
    if (!document.is_object()) {
        error = "expected a JSON object at the top level";
        return false;
    }
    SimConfig parsed = config;
    for (const auto& [key, value] : document.items()) {
        if (!ReadKey(key, value, parsed, error)) {
            return false;
        }
    }
    if (std::string invalid = ValidateSimConfig(parsed); !invalid.empty()) {
        error = std::move(invalid);
        return false;
    }
    config = std::move(parsed);
    return true;
}

std::string FormatSimConfig(const SimConfig& config) {
    OrderedJson iic = OrderedJson::array();
    for (const SimIicDeviceConfig& device : config.iicDevices) {
        iic.push_back(
            {{"address", json_fields::HexNumber(device.address, 2)}, {"size", device.size}});
    }
    const SimFaults& faults = config.faults;
    const OrderedJson document = {
        {"vid", json_fields::HexNumber(config.vid, 4)},
        {"pid", json_fields::HexNumber(config.pid, 4)},
        {"version", json_fields::HexNumber(config.version, 4)},
        {"chip_row", config.chipRow},
        {"report_ids", config.reportIds},
        {"output_report_lengths", config.outputReportLengths},
        {"input_report_lengths", config.inputReportLengths},
        {"firmware_version", ByteListToJson(config.firmwareVersion)},
        {"hdmi_info", json_fields::HexBytes(config.hdmiInfo)},
        {"iic_devices", iic},
        {"gpio_input_levels", config.gpioInputLevels},
        {"faults",
         {{"fail_exchange", OptionalToJson(faults.failExchange)},
          {"unplug_after", OptionalToJson(faults.unplugAfter)},
          {"corrupt_read_at", OptionalToJson(faults.corruptReadAt)},
          {"latency_us", OptionalToJson(faults.latencyUs)},
          {"chip_index_answer", OptionalToJson(faults.chipIndexAnswer)}}},
        {"port", config.port},
        {"serial", config.serial},
    };
    return document.dump(2) + "\n";
}

bool LoadSimConfig(const std::filesystem::path& file, SimConfig& config, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = files::Utf8Name(file) + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!ParseSimConfig(text.str(), config, error)) {
        error = files::Utf8Name(file) + ": " + error;
        return false;
    }
    return true;
}

bool SaveSimConfig(const std::filesystem::path& file, const SimConfig& config, std::string& error) {
    return ReplaceFile(file, FormatSimConfig(config), error);
}

}  // namespace brimlo::sim
