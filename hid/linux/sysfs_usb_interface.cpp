#include "hid/linux/sysfs_usb_interface.h"

#include <charconv>
#include <fstream>
#include <string>
#include <system_error>

namespace brimlo::hid {
namespace {

// First line of a sysfs attribute, without its line feed; empty when it cannot be read.
std::string ReadAttribute(const std::filesystem::path& file) {
    std::ifstream stream(file);
    std::string line;
    std::getline(stream, line);
    return line;
}

bool IsInterruptOut(const std::filesystem::path& endpointDir) {
    return ReadAttribute(endpointDir / "direction") == "out" &&
           ReadAttribute(endpointDir / "type") == "Interrupt";
}

// The device's 16-bit attributes are four hexadecimal digits ("0100"); 0 when absent or
// malformed.
std::uint16_t ReadHexAttribute(const std::filesystem::path& file) {
    const std::string text = ReadAttribute(file);
    std::uint16_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size()) {
        return 0;
    }
    return value;
}

}  // namespace

std::optional<UsbInterfaceInfo> ReadUsbInterfaceInfo(const std::filesystem::path& interfaceDir,
                                                     const std::filesystem::path& deviceDir) {
    std::error_code error;
    std::filesystem::directory_iterator entries(interfaceDir, error);
    if (error) {
        return std::nullopt;
    }
    UsbInterfaceInfo info;
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("ep_") && entry.is_directory(error) && IsInterruptOut(entry.path())) {
            ++info.interruptOutEndpoints;
        }
    }
    info.idVendor = ReadHexAttribute(deviceDir / "idVendor");
    info.idProduct = ReadHexAttribute(deviceDir / "idProduct");
    info.bcdDevice = ReadHexAttribute(deviceDir / "bcdDevice");
    return info;
}

}  // namespace brimlo::hid
