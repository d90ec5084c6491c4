// reg, iic and gpio: the engineer's register, bus and pin access.

#include <algorithm>
#include <sstream>

#include "cli/commands.h"
#include "cli/hex_arguments.h"
#include "commands/iic_scan.h"
#include "commands/panel_format.h"

namespace brimlo::cli {
namespace {

// Every number is kept as typed and read as hexadecimal, --count and GPIO numbers too.
struct RegArgs {
    std::string address;
    std::string value;
    std::string count = "1";
};

struct IicArgs {
    std::string device;
    std::vector<std::string> bytes;
    std::string count = "1";
};

struct GpioArgs {
    std::string number;
    std::string direction;
    std::string value;
};

int RunRegRead(CliContext& context, const RegArgs& args) {
    HexArgs hex(context);
    std::uint32_t address = 0;
    std::uint32_t count = 0;
    if (!hex.Get(args.address, 0xFFFFFFFF, "address", address) ||
        !hex.Count(args.count, 0xFFFFFFFF, count)) {
        return kExitUsage;
    }
    if (std::uint64_t{address} + 4ull * (count - 1) > 0xFFFFFFFFull) {
        return context.Error("--count " + args.count + " registers from " + args.address +
                                 " would go past the last 32-bit address",
                             kExitUsage);
    }
    UvcHidDevice* device = context.OpenDevice();
    if (device == nullptr) {
        return kExitNoDevice;
    }
    nlohmann::json values = nlohmann::json::array();
    std::ostringstream text;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t at = address + 4 * i;
        std::uint32_t value = 0;
        if (!device->RegisterAccess(kRegisterRead, at, value)) {
            return context.DeviceError("register read at " + FormatRegister(at) + " failed");
        }
        values.push_back({{"address", at}, {"value", value}, {"text", FormatRegister(value)}});
        text << (count > 1 ? FormatRegister(at) + ": " : "") << FormatRegister(value) << '\n';
    }
    context.Print({{"command", "reg read"}, {"registers", values}}, text.str());
    return kExitOk;
}

int RunRegWrite(CliContext& context, const RegArgs& args) {
    HexArgs hex(context);
    std::uint32_t address = 0;
    std::uint32_t value = 0;
    if (!hex.Get(args.address, 0xFFFFFFFF, "address", address) ||
        !hex.Get(args.value, 0xFFFFFFFF, "value", value)) {
        return kExitUsage;
    }
    UvcHidDevice* device = context.OpenDevice();
    if (device == nullptr) {
        return kExitNoDevice;
    }
    if (!device->RegisterAccess(kRegisterWrite, address, value)) {
        return context.DeviceError("register write at " + FormatRegister(address) + " failed");
    }
    context.Print({{"command", "reg write"}, {"address", address}, {"value", value}, {"ok", true}},
                  "");
    return kExitOk;
}

bool ParseBytes(CliContext& context, const std::vector<std::string>& texts,
                std::vector<std::uint8_t>& bytes) {
    HexArgs hex(context);
    for (const std::string& text : texts) {
        std::uint32_t byte = 0;
        if (!hex.Get(text, 0xFF, "byte", byte)) {
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    return true;
}

int RunIicWrite(CliContext& context, const IicArgs& args) {
    std::uint32_t address = 0;
    std::vector<std::uint8_t> data;
    if (!HexArgs(context).Get(args.device, 0xFF, "device address", address) ||
        !ParseBytes(context, args.bytes, data)) {
        return kExitUsage;
    }
    if (data.size() > 0xFF) {
        return context.Error("at most 255 bytes per IIC write", kExitUsage);
    }
    UvcHidDevice* device = context.OpenDevice();
    if (device == nullptr) {
        return kExitNoDevice;
    }
    std::vector<std::uint8_t> buffer = data;
    buffer.resize(std::max<std::size_t>(data.size(), 1));
    if (!device->IicAccess(kIicWrite, static_cast<std::uint8_t>(address),
                           static_cast<std::uint8_t>(data.size()), buffer, 0)) {
        return context.DeviceError("IIC write to " + FormatByte(address) + " failed");
    }
    context.Print({{"command", "iic write"}, {"device", address}, {"return_code", buffer[0]}},
                  "ret " + FormatByte(buffer[0]));
    return kExitOk;
}

int RunIicRead(CliContext& context, const IicArgs& args) {
    std::uint32_t address = 0;
    std::uint32_t count = 0;
    std::vector<std::uint8_t> written;
    if (!HexArgs(context).Get(args.device, 0xFF, "device address", address) ||
        !HexArgs(context).Count(args.count, 0xFF, count) ||
        !ParseBytes(context, args.bytes, written)) {
        return kExitUsage;
    }
    if (written.size() > 0xFF) {
        return context.Error("at most ff bytes written before an IIC read", kExitUsage);
    }
    UvcHidDevice* device = context.OpenDevice();
    if (device == nullptr) {
        return kExitNoDevice;
    }
    std::vector<std::uint8_t> buffer = written;
    buffer.resize(std::max<std::size_t>(written.size(), count + 1));
    if (!device->IicAccess(kIicRead, static_cast<std::uint8_t>(address),
                           static_cast<std::uint8_t>(written.size()), buffer,
                           static_cast<std::uint8_t>(count))) {
        return context.DeviceError("IIC read from " + FormatByte(address) + " failed");
    }
    const std::span<const std::uint8_t> data(buffer.data() + 1, count);
    context.Print({{"command", "iic read"},
                   {"device", address},
                   {"return_code", buffer[0]},
                   {"data", std::vector<std::uint8_t>(data.begin(), data.end())}},
                  "ret " + FormatByte(buffer[0]) + " data " + FormatHexBytes(data));
    return kExitOk;
}

int RunIicScan(CliContext& context) {
    UvcHidDevice* device = context.OpenDevice();
    if (device == nullptr) {
        return kExitNoDevice;
    }
    std::vector<std::uint8_t> answered;
    if (const auto stoppedAt = ScanIicBus(*device, answered)) {
        return context.DeviceError("IIC scan stopped at address " + FormatByte(*stoppedAt));
    }
    std::ostringstream text;
    text << "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n";
    std::string eightBit;
    for (unsigned row = 0; row < 0x80; row += 0x10) {
        text << FormatByte(static_cast<std::uint8_t>(row)) << ':';
        for (unsigned address = row; address < row + 0x10; ++address) {
            if (address < kIicScanFirst || address > kIicScanLast) {
                text << "   ";
            } else if (std::find(answered.begin(), answered.end(), address << 1) !=
                       answered.end()) {
                text << ' ' << FormatByte(static_cast<std::uint8_t>(address));
            } else {
                text << " --";
            }
        }
        text << '\n';
    }
    for (const std::uint8_t device8 : answered) {
        eightBit += " 0x" + FormatByte(device8);
    }
    text << "7-bit addresses above; as 8-bit device addresses:"
         << (eightBit.empty() ? " none" : eightBit) << '\n';
    context.Print({{"command", "iic scan"}, {"devices", answered}}, text.str());
    return kExitOk;
}

int RunGpio(CliContext& context, std::uint32_t selector, const GpioArgs& args) {
    std::uint32_t number = 0;
    if (!HexArgs(context).Get(args.number, 3, "GPIO number", number)) {
        return kExitUsage;
    }
    std::uint32_t value = 0;
    if (selector == kGpioSetDirection) {
        if (args.direction != "in" && args.direction != "out") {
            return context.Error("direction must be 'in' or 'out'", kExitUsage);
        }
        value = args.direction == "out" ? 1 : 0;
    } else if (selector == kGpioWrite && !HexArgs(context).Get(args.value, 0xFF, "value", value)) {
        return kExitUsage;
    }
    UvcHidDevice* device = context.OpenDevice();
    if (device == nullptr) {
        return kExitNoDevice;
    }
    std::uint8_t byte = static_cast<std::uint8_t>(value);
    if (!device->GpioAccess(selector, static_cast<std::uint8_t>(number), byte)) {
        return context.DeviceError("GPIO_" + std::to_string(number) + " access failed");
    }
    if (selector == kGpioRead) {
        context.Print({{"command", "gpio get"}, {"number", number}, {"value", byte}},
                      FormatByte(byte));
    } else {
        context.Print({{"command", selector == kGpioWrite ? "gpio set" : "gpio dir"},
                       {"number", number},
                       {"value", byte},
                       {"ok", true}},
                      "");
    }
    return kExitOk;
}

}  // namespace

void AddPeripheralCommands(CLI::App& app, CliContext& context, CommandRun& run) {
    // The parsed arguments live as long as the callbacks that use them.
    auto reg = std::make_shared<RegArgs>();
    auto iic = std::make_shared<IicArgs>();
    auto gpio = std::make_shared<GpioArgs>();

    CLI::App* regCommand = app.add_subcommand("reg", "Read or write 32-bit chip registers");
    regCommand->require_subcommand(1);
    CLI::App* regRead = regCommand->add_subcommand("read", "Read registers");
    regRead->add_option("ADDR", reg->address, "Register address (hex)")->required();
    regRead
        ->add_option("--count", reg->count,
                     "Number of consecutive registers, 4 bytes apart (hex, default 1)")
        ->type_name("N");
    regRead->callback(
        [&run, &context, reg] { run = [&context, reg] { return RunRegRead(context, *reg); }; });
    CLI::App* regWrite = regCommand->add_subcommand("write", "Write one register");
    regWrite->add_option("ADDR", reg->address, "Register address (hex)")->required();
    regWrite->add_option("VALUE", reg->value, "Value (hex)")->required();
    regWrite->callback(
        [&run, &context, reg] { run = [&context, reg] { return RunRegWrite(context, *reg); }; });

    CLI::App* iicCommand = app.add_subcommand("iic", "Transfers on the device's IIC bus");
    iicCommand->require_subcommand(1);
    CLI::App* iicWrite = iicCommand->add_subcommand("write", "Write bytes to an IIC device");
    iicWrite->add_option("DEV", iic->device, "8-bit device address (hex), e.g. 90")->required();
    iicWrite->add_option("BYTE", iic->bytes, "Bytes to write (hex)");
    iicWrite->callback(
        [&run, &context, iic] { run = [&context, iic] { return RunIicWrite(context, *iic); }; });
    CLI::App* iicRead = iicCommand->add_subcommand("read", "Write sub-address bytes, then read");
    iicRead->add_option("DEV", iic->device, "8-bit device address (hex), e.g. 90")->required();
    iicRead->add_option("SUBADDR", iic->bytes, "Bytes written before the read (hex)");
    iicRead->add_option("--count", iic->count, "Bytes to read (hex, 1 to ff, default 1)")
        ->type_name("N");
    iicRead->callback(
        [&run, &context, iic] { run = [&context, iic] { return RunIicRead(context, *iic); }; });
    iicCommand->add_subcommand("scan", "Probe every address and show the ones that answer")
        ->callback([&] { run = [&] { return RunIicScan(context); }; });

    CLI::App* gpioCommand = app.add_subcommand("gpio", "The four GPIO lines");
    gpioCommand->require_subcommand(1);
    CLI::App* gpioDir = gpioCommand->add_subcommand("dir", "Set a line's direction");
    gpioDir->add_option("N", gpio->number, "GPIO number, 0 to 3")->required();
    gpioDir->add_option("DIRECTION", gpio->direction, "in or out")->required();
    gpioDir->callback([&run, &context, gpio] {
        run = [&context, gpio] { return RunGpio(context, kGpioSetDirection, *gpio); };
    });
    CLI::App* gpioSet = gpioCommand->add_subcommand("set", "Write a line's value");
    gpioSet->add_option("N", gpio->number, "GPIO number, 0 to 3")->required();
    gpioSet->add_option("VALUE", gpio->value, "Value (hex)")->required();
    gpioSet->callback([&run, &context, gpio] {
        run = [&context, gpio] { return RunGpio(context, kGpioWrite, *gpio); };
    });
    CLI::App* gpioGet = gpioCommand->add_subcommand("get", "Read a line's value");
    gpioGet->add_option("N", gpio->number, "GPIO number, 0 to 3")->required();
    gpioGet->callback([&run, &context, gpio] {
        run = [&context, gpio] { return RunGpio(context, kGpioRead, *gpio); };
    });
}

}  // namespace brimlo::cli
