#include "hid/linux/usb_port.h"

#include <fstream>
#include <string>

namespace brimlo::hid {

BoardLocation ReadUsbLocation(const std::filesystem::path& deviceDir) {
    BoardLocation location;
    location.port = deviceDir.filename().string();
    std::ifstream file(deviceDir / "serial", std::ios::binary);
    std::getline(file, location.serial);
    // sysfs ends the string with a line feed; control bytes would break a table or a log line.
    std::erase_if(location.serial, [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    return location;
}

}  // namespace brimlo::hid
