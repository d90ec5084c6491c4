// Register, IIC, GPIO and HDMI commands: each clears its transfer buffer, writes its payload
// from byte 3, and runs its one or two report exchanges.

#include <algorithm>

#include "commands/report_bytes.h"
#include "commands/uvc_hid_device.h"
#include "hid/debug_output.h"

namespace brimlo {

using hid::CommandDescriptor;
using hid::kCommandTable;

bool UvcHidDevice::RegisterAccess(std::uint32_t selector, std::uint32_t address,
                                  std::uint32_t& value) {
    std::unique_lock<std::recursive_mutex> lock;
    if (!Acquire(lock) || !RequireOpen()) {
        return false;
    }
    std::span<std::uint8_t> buffer = rwBuffer_;
    Clear(buffer);
    PutLe32(buffer, 3, address);
    if (selector == kRegisterWrite) {
        PutLe32(buffer, 7, value);
        return SendRow(hid::REPORT_REG_WRITE, kCommandTable[hid::REPORT_REG_WRITE], buffer);
    }
    if (selector != kRegisterRead) {
        return Fail("Unknown register operation " + std::to_string(selector));
    }
    if (InputReportLength(kControlChannel) < 4) {
        return Fail("The device's control reports are too short to carry a register value.");
    }
    if (!SendRow(hid::REPORT_REG_WRITE_ADDR, kCommandTable[hid::REPORT_REG_WRITE_ADDR], buffer) ||
        !ReceiveRow(hid::REPORT_REG_READ, buffer, 4)) {
        return false;
    }
    value = GetLe32(ReplyBytes());
    return true;
}

bool UvcHidDevice::IicAccess(std::uint32_t selector, std::uint8_t deviceAddress, std::uint8_t count,
                             std::span<std::uint8_t> data, std::uint8_t readCount) {
    std::unique_lock<std::recursive_mutex> lock;
    if (!Acquire(lock) || !RequireOpen()) {
        return false;
    }
    const bool read = selector == kIicRead;
    if (!read && selector != kIicWrite) {
        return Fail("Unknown IIC operation " + std::to_string(selector));
    }
    if (!read) {
        readCount = 0;
    }
    // The length byte counts itself, the code, the address, the count and the data (and the
    // read count): it must stay within one byte.
    const std::size_t lengthByte = 4u + count + (read ? 1u : 0u);
    if (lengthByte > 0xFF) {
        return Fail("An IIC transfer can carry at most " + std::to_string(read ? 250 : 251) +
                    " bytes to write.");
    }
    // Header: length, code, address, count; a read adds its read count behind the data.
    const std::size_t requestBytes = 5u + count + (read ? 1u : 0u);
    if (requestBytes > OutputReportLength(kIicChannel)) {
        return Fail("An IIC transfer of " + std::to_string(count) + " bytes does not fit the " +
                    std::to_string(OutputReportLength(kIicChannel)) + "-byte report; at most " +
                    std::to_string(OutputReportLength(kIicChannel) - (read ? 6 : 5)) +
                    " bytes can be written at once.");
    }
    if (std::size_t{readCount} + 1 > InputReportLength(kIicChannel)) {
        return Fail("An IIC read of " + std::to_string(readCount) + " bytes does not fit the " +
                    std::to_string(InputReportLength(kIicChannel)) + "-byte answer; at most " +
                    std::to_string(InputReportLength(kIicChannel) - 1) +
                    " bytes can be read at once.");
    }
    if (data.size() < std::max<std::size_t>(count, std::size_t{readCount} + 1)) {
        return Fail("The IIC data buffer is too small for the transfer.");
    }

    std::span<std::uint8_t> buffer = iicBuffer_;
    Clear(buffer);
    buffer[3] = deviceAddress;
    buffer[4] = count;
    std::copy_n(data.begin(), count, buffer.begin() + 5);
    const hid::CommandRow outputRow =
        read ? hid::REPORT_IIC_READ_OUTPUT : hid::REPORT_IIC_WRITE_OUTPUT;
    const hid::CommandRow inputRow =
        read ? hid::REPORT_IIC_READ_INPUT : hid::REPORT_IIC_WRITE_INPUT;
    CommandDescriptor descriptor = kCommandTable[outputRow];
    descriptor.lengthByte =
        static_cast<std::uint8_t>(descriptor.lengthByte + count + (read ? 1 : 0));
    if (read) {
        buffer[5 + count] = readCount;
    }
    if (!SendRow(outputRow, descriptor, buffer) ||
        !ReceiveRow(inputRow, buffer, std::size_t{readCount} + 1)) {
        return false;
    }
    std::copy_n(ReplyBytes().begin(), std::size_t{readCount} + 1, data.begin());
    return true;
}

bool UvcHidDevice::GpioAccess(std::uint32_t selector, std::uint8_t number, std::uint8_t& value) {
    std::unique_lock<std::recursive_mutex> lock;
    if (!Acquire(lock) || !RequireOpen()) {
        return false;
    }
    std::span<std::uint8_t> buffer = rwBuffer_;
    Clear(buffer);
    buffer[3] = number;
    switch (selector) {
        case kGpioSetDirection:
            buffer[4] = value;
            return SendRow(hid::REPORT_GPIO_SET, kCommandTable[hid::REPORT_GPIO_SET], buffer);
        case kGpioWrite:
            buffer[4] = value;
            return SendRow(hid::REPORT_GPIO_WRITE, kCommandTable[hid::REPORT_GPIO_WRITE], buffer);
        case kGpioRead:
            if (!SendRow(hid::REPORT_GPIO_READ_OUTPUT, kCommandTable[hid::REPORT_GPIO_READ_OUTPUT],
                         buffer) ||
                !ReceiveRow(hid::REPORT_GPIO_READ_INPUT, buffer, 1)) {
                return false;
            }
            value = ReplyBytes()[0];
            return true;
        default:
            return Fail("Unknown GPIO operation " + std::to_string(selector));
    }
}

bool UvcHidDevice::ReadHdmiInfo(HdmiInfo& info) {
    std::unique_lock<std::recursive_mutex> lock;
    if (!Acquire(lock) || !RequireOpen()) {
        return false;
    }
    if (InputReportLength(kIicChannel) < kHdmiInfoLength || iicBuffer_.size() < kHdmiInfoLength) {
        return Fail("The device's IIC reports are shorter than the " +
                    std::to_string(kHdmiInfoLength) + "-byte HDMI information block.");
    }
    if (!ReceiveRow(hid::REPORT_HDMI_INFO, iicBuffer_, kHdmiInfoLength)) {
        return false;
    }
    Clear(iicBuffer_);
    std::copy_n(ReplyBytes().begin(), kHdmiInfoLength, iicBuffer_.begin());
    std::copy_n(iicBuffer_.begin(), kHdmiInfoLength, info.begin());
    return true;
}

}  // namespace brimlo
