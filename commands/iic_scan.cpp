#include "commands/iic_scan.h"

namespace brimlo {

std::optional<std::uint8_t> ScanIicBus(UvcHidDevice& device, std::vector<std::uint8_t>& answered) {
    answered.clear();
    for (unsigned address = kIicScanFirst; address <= kIicScanLast; ++address) {
        std::uint8_t returnCode[1] = {0xFF};
        if (!device.IicAccess(kIicWrite, static_cast<std::uint8_t>(address << 1), 0, returnCode,
                              0)) {
            return static_cast<std::uint8_t>(address);
        }
        if (returnCode[0] == 0) {
            answered.push_back(static_cast<std::uint8_t>(address << 1));
        }
    }
    return std::nullopt;
}

}  // namespace brimlo
