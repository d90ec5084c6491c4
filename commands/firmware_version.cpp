#include "commands/firmware_version.h"

namespace brimlo {

bool ReadFirmwareVersion(UvcHidDevice& device, FirmwareVersion& version) {
    constexpr std::uint32_t kFirstVersionRegister = 0x54;
    FirmwareVersion read{};
    for (std::uint32_t k = 0; k < read.size(); ++k) {
        std::uint32_t value = 0;
        if (!device.RegisterAccess(kRegisterRead, kFirstVersionRegister + 4 * k, value)) {
            return false;
        }
        read[k] = static_cast<std::uint8_t>(value);
    }
    version = read;
    return true;
}

}  // namespace brimlo
