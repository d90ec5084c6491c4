#include "sim/peripheral_state.h"

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

bool ReadRegisters(const Json& value, RegisterFile& registers, std::string& error) {
    if (!value.is_object()) {
        return Fail(error, "registers", "expected an object of address: value");
    }
    for (const auto& [name, number] : value.items()) {
        std::uint32_t address = 0;
        std::uint32_t content = 0;
        const std::string key = "registers." + name;
        if (!ReadNumber(Json(name), key, address, error) ||
            !ReadNumber(number, key, content, error)) {
            return false;
        }
        registers.Write(address, content);
    }
    return true;
}

bool ReadGpio(const Json& value, GpioBank& gpio, std::string& error) {
    if (!value.is_array() || value.size() != kGpioCount) {
        return Fail(error, "gpio", "expected 4 lines");
    }
    for (std::size_t i = 0; i < kGpioCount; ++i) {
        const std::string key = "gpio[" + std::to_string(i) + "]";
        const Json& line = value[i];
        if (!line.is_object() || !line.contains("output") || !line.contains("latch")) {
            return Fail(error, key, "expected an object with \"output\" and \"latch\"");
        }
        std::uint8_t output = 0;
        std::uint8_t latch = 0;
        if (!ReadNumber(line["output"], key + ".output", output, error) ||
            !ReadNumber(line["latch"], key + ".latch", latch, error)) {
            return false;
        }
        gpio.SetDirection(static_cast<std::uint8_t>(i), output != 0);
        gpio.Write(static_cast<std::uint8_t>(i), latch != 0);
    }
    return true;
}

bool ReadIic(const Json& value, IicBus& iic, std::string& error) {
    if (!value.is_object()) {
        return Fail(error, "iic", "expected an object of address: contents");
    }
    for (const auto& [name, contents] : value.items()) {
        std::uint8_t address = 0;
        std::vector<std::uint8_t> bytes;
        const std::string key = "iic." + name;
        if (!ReadNumber(Json(name), key, address, error) ||
            !json_fields::ReadHexBytes(contents, key, bytes, error)) {
            return false;
        }
        for (IicBus::Device& device : iic.Devices()) {
            if (device.address == address) {
                const std::size_t count = std::min(bytes.size(), device.memory.size());
                std::copy_n(bytes.begin(), count, device.memory.begin());
            }
        }
    }
    return true;
}

}  // namespace

bool LoadPeripheralState(const std::filesystem::path& file, Peripherals& peripherals,
                         std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return true;  // nothing kept yet
    }
    std::ostringstream text;
    text << in.rdbuf();
    Json document;
    if (!json_fields::ParseDocument(text.str(), document, error)) {
        error = files::Utf8Name(file) + ": " + error;
        return false;
    }
    error.clear();
    const bool ok =
        document.is_object() &&
        json_fields::CheckKnownKeys(document, "", {"registers", "gpio", "iic"}, error) &&
        (!document.contains("registers") ||
         ReadRegisters(document["registers"], peripherals.registers, error)) &&
        (!document.contains("gpio") || ReadGpio(document["gpio"], peripherals.gpio, error)) &&
        (!document.contains("iic") || ReadIic(document["iic"], peripherals.iic, error));
    if (!ok) {
        error = files::Utf8Name(file) + ": " + (error.empty() ? "expected a JSON object" : error);
    }
    return ok;
}

bool SavePeripheralState(const std::filesystem::path& file, const Peripherals& peripherals,
                         std::string& error) {
    Json registers = Json::object();
    for (const auto& [address, value] : peripherals.registers.Written()) {
        registers[json_fields::HexNumber(address, 8)] = json_fields::HexNumber(value, 8);
    }
    Json gpio = Json::array();
    for (const GpioLine& line : peripherals.gpio.Lines()) {
        gpio.push_back({{"output", line.output}, {"latch", line.latch}});
    }
    Json iic = Json::object();
    for (const IicBus::Device& device : peripherals.iic.Devices()) {
        iic[json_fields::HexNumber(device.address, 2)] = json_fields::HexBytes(device.memory);
    }
    const Json document = {{"registers", registers}, {"gpio", gpio}, {"iic", iic}};

    return ReplaceFile(file, document.dump(2) + "\n", error);
}

}  // namespace brimlo::sim
