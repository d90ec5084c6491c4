#include "hid/linux/hidraw_wire.h"

#include <algorithm>

namespace brimlo::hid {

void LayOutOutputReport(std::span<const std::uint8_t> report, std::span<std::uint8_t> ioctlBuffer) {
    if (report[0] == 0) {
        // The kernel drops this leading 0; the report's own byte 0 follows it onto the wire.
        ioctlBuffer[0] = 0;
        ioctlBuffer = ioctlBuffer.subspan(1);
    }
    std::copy(report.begin(), report.end(), ioctlBuffer.begin());
}

std::span<const std::uint8_t> ReplyInIoctlBuffer(std::uint8_t reportId,
                                                 std::span<const std::uint8_t> ioctlBuffer,
                                                 std::size_t received) {
    received = std::min(received, ioctlBuffer.size());
    if (reportId == 0) {
        // The kernel counted the ID byte it kept at buf[0]; the device's bytes start at buf[1].
        return received == 0 ? ioctlBuffer.first(0) : ioctlBuffer.subspan(1, received - 1);
    }
    return ioctlBuffer.first(received);
}

}  // namespace brimlo::hid
