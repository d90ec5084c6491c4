#pragma once
// How a report is laid out in the buffer of a hidraw report ioctl so that the device sees the
// protocol's bytes, whatever the report ID.
//
// Report ID 0 means the device numbers no reports, and usbhid then treats byte 0 specially:
// on a SET_REPORT or an interrupt OUT transfer it drops byte 0 and sends one byte less; on a
// GET_REPORT it asks for count - 1 bytes, puts them at buf + 1 and counts the ID byte in its
// result. So that the wire carries the same bytes for every report ID, an ID-0 report goes out
// behind one extra leading 0 byte (all L bytes of the report reach the device, byte 0
// included), and an ID-0 read passes one byte more (wLength is then the requested length) and
// has its reply moved down from buf[1] to buf[0].

#include <linux/ioctl.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace brimlo::hid {

// The length field of an ioctl request is _IOC_SIZEBITS wide; a longer length would spill
// into the direction bits.
inline constexpr std::size_t kMaxHidrawIoctlLength = _IOC_SIZEMASK;
// hidraw refuses report buffers shorter than a report ID and one byte.
inline constexpr std::size_t kMinHidrawIoctlLength = 2;

// The length handed to HIDIOCSOUTPUT or HIDIOCGINPUT for `length` bytes of report `reportId`.
inline std::size_t HidrawIoctlLength(std::uint8_t reportId, std::size_t length) {
    return reportId == 0 ? length + 1 : length;
}

// Writes `report` (report[0] is the ID) into `ioctlBuffer`, which holds
// HidrawIoctlLength(report[0], report.size()) bytes.
void LayOutOutputReport(std::span<const std::uint8_t> report, std::span<std::uint8_t> ioctlBuffer);

// The reply's bytes, as the device sent them, within the buffer HIDIOCGINPUT filled; `received`
// is the ioctl's result.
std::span<const std::uint8_t> ReplyInIoctlBuffer(std::uint8_t reportId,
                                                 std::span<const std::uint8_t> ioctlBuffer,
                                                 std::size_t received);

}  // namespace brimlo::hid
