// list, info, fw-version, hdmi: what is attached and what it says about itself.

#include <cstdio>
#include <sstream>

#include "cli/commands.h"
#include "commands/firmware_version.h"
#include "commands/panel_format.h"
#include "hid/hid_interface_list.h"

namespace brimlo::cli {
namespace {

int RunList(CliContext& context) {
    hid::HidPlatform* platform = context.Platform();
    if (platform == nullptr) {
        return kExitNoDevice;
    }
    std::uint16_t vid = BRIMLO_DEFAULT_VID;
    std::uint16_t pid = BRIMLO_DEFAULT_PID;
    if (!context.options.device.empty()) {
        const auto ids = ParseVidPid(context.options.device);
        if (!ids) {
            return context.Error("-d wants VID:PID in hexadecimal, for example -d 1209:0001",
                                 kExitUsage);
        }
        std::tie(vid, pid) = *ids;
    }
    std::vector<hid::HidInterfaceInfo> interfaces;
    std::string error;
    if (!hid::DescribeHidInterfaces(*platform, interfaces, error)) {
        return context.Error("cannot list the HID interfaces: " + error);
    }
    nlohmann::json list = nlohmann::json::array();
    std::ostringstream text;
    bool firstMatch = true;
    for (const hid::HidInterfaceInfo& info : interfaces) {
        const bool matches = info.described && info.vendorId == vid && info.productId == pid;
        nlohmann::json entry = {{"path", info.path},
                                {"ok", info.described},
                                {"port", info.location.port},
                                {"serial", info.location.serial}};
        if (!info.described) {
            entry["error"] = info.error;
            text << info.path << "  (not readable: " << info.error << ")\n";
            list.push_back(entry);
            continue;
        }
        entry.update({{"vid", info.vendorId},
                      {"pid", info.productId},
                      {"usage_page", info.usagePage},
                      {"usage", info.usage},
                      {"input_report_length", info.inputReportLength},
                      {"output_report_length", info.outputReportLength},
                      {"feature_report_length", info.featureReportLength},
                      {"matches", matches}});
        char line[256];
        std::snprintf(line, sizeof line,
                      "%s  %04x:%04x  usage page 0x%04X usage 0x%X  reports in %u out %u "
                      "feature %u",
                      info.path.c_str(), info.vendorId, info.productId, info.usagePage, info.usage,
                      info.inputReportLength, info.outputReportLength, info.featureReportLength);
        text << line;
        if (!info.location.port.empty()) {
            text << "  port " << info.location.port;
        }
        if (!info.location.serial.empty()) {
            text << "  serial " << info.location.serial;
        }
        if (matches) {
            text << (firstMatch ? "  <- matches, used" : "  <- matches");
            firstMatch = false;
        }
        text << '\n';
        list.push_back(entry);
    }
    if (interfaces.empty()) {
        text << "No HID interfaces present.\n";
    }
    context.Print({{"command", "list"},
                   {"target", FormatUsbId(vid) + ":" + FormatUsbId(pid)},
                   {"interfaces", list}},
                  text.str());
    return kExitOk;
}

int RunInfo(CliContext& context) {
    UvcHidDevice* device = context.OpenDevice();
    if (device == nullptr) {
        return kExitNoDevice;
    }
    static constexpr const char* kChannelRoles[] = {"flash data", "registers, flash control, GPIO",
                                                    "IIC, HDMI"};
    std::ostringstream text;
    text << device->Description() << '\n';
    nlohmann::json channels = nlohmann::json::array();
    for (std::size_t c = 0; c < 3; ++c) {
        const std::uint8_t id = device->Record().outputValueCaps[c].ReportID;
        text << "channel " << c << " (" << kChannelRoles[c] << "): report ID " << unsigned{id}
             << ", output " << device->OutputReportLength(c) << " bytes, input "
             << device->InputReportLength(c) << " bytes\n";
        channels.push_back({{"channel", c},
                            {"report_id", id},
                            {"output_report_length", device->OutputReportLength(c)},
                            {"input_report_length", device->InputReportLength(c)}});
    }
    nlohmann::json json = {{"command", "info"},
                           {"description", device->Description()},
                           {"path", device->Record().devicePath.value_or("")},
                           {"channels", channels}};
    FirmwareVersion version{};
    if (ReadFirmwareVersion(*device, version)) {
        text << "firmware " << FormatFirmwareVersion(version) << '\n';
        json["firmware_version"] = FormatFirmwareVersion(version);
    } else {
        text << "firmware version not readable: " << device->LastError() << '\n';
        json["firmware_version"] = nullptr;
    }
    context.Print(json, text.str());
    return kExitOk;
}

int RunFirmwareVersion(CliContext& context) {
    UvcHidDevice* device = context.OpenDevice();
    if (device == nullptr) {
        return kExitNoDevice;
    }
    FirmwareVersion version{};
    if (!ReadFirmwareVersion(*device, version)) {
        return context.DeviceError("cannot read the firmware version");
    }
    const std::string text = FormatFirmwareVersion(version);
    context.Print({{"command", "fw-version"}, {"firmware_version", text}}, text);
    return kExitOk;
}

int RunHdmi(CliContext& context) {
    UvcHidDevice* device = context.OpenDevice();
    if (device == nullptr) {
        return kExitNoDevice;
    }
    HdmiInfo info{};
    if (!device->ReadHdmiInfo(info)) {
        return context.DeviceError("cannot read the HDMI information");
    }
    const std::string text = FormatHexBytes(info);
    context.Print({{"command", "hdmi"}, {"hdmi_info", text}, {"bytes", info}}, text);
    return kExitOk;
}

}  // namespace

void AddDeviceCommands(CLI::App& app, CliContext& context, CommandRun& run) {
    app.add_subcommand("list", "List every HID interface and mark the ones that match")
        ->callback([&] { run = [&] { return RunList(context); }; });
    app.add_subcommand("info", "Describe the device: identifiers, channels, firmware version")
        ->callback([&] { run = [&] { return RunInfo(context); }; });
    app.add_subcommand("fw-version", "Read the firmware version")->callback([&] {
        run = [&] { return RunFirmwareVersion(context); };
    });
    app.add_subcommand("hdmi", "Read the 24-byte HDMI information block")->callback([&] {
        run = [&] { return RunHdmi(context); };
    });
}

}  // namespace brimlo::cli
