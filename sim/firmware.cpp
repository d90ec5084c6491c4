#include "sim/firmware.h"

#include <algorithm>
#include <utility>

#include "chips/flash_chip_table.h"

namespace brimlo::sim {
namespace {

// The firmware's own numbering, kept apart from the host's command table on purpose: a host
// that frames a command wrongly must meet a device that refuses it.
enum Code : std::uint8_t {
    kRegWrite = 0,
    kRegWriteAddr = 1,
    kRegRead = 2,
    kFlashAccessMode = 3,
    kFlashGetId = 4,
    kFlashSetLen = 5,
    kIicWrite = 6,
    kIicRead = 7,
    kGpioSet = 8,
    kGpioWrite = 9,
    kGpioRead = 10,
    kHdmiInfo = 11,
};

// Offsets in a command report: report ID, length byte, command code, payload.
constexpr std::size_t kLengthByte = 1;
constexpr std::size_t kCodeByte = 2;
constexpr std::size_t kPayload = 3;
// Flash data follows the report ID and three unused bytes.
constexpr std::size_t kFlashDataOffset = 4;

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void PutLe(std::span<std::uint8_t> out, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width && i < out.size(); ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::string CodeText(std::uint8_t code) {
    return "command code " + std::to_string(code);
}

// The length byte counts the bytes from itself through the last payload byte.
bool CheckLengthByte(std::span<const std::uint8_t> report, std::size_t expected,
                     std::string& error) {
    if (report[kLengthByte] != expected) {
        error = CodeText(report[kCodeByte]) + " with length byte " +
                std::to_string(report[kLengthByte]) + ", expected " + std::to_string(expected);
        return false;
    }
    if (expected + 1 > report.size()) {
        error = CodeText(report[kCodeByte]) + " does not fit a " + std::to_string(report.size()) +
                "-byte report";
        return false;
    }
    return true;
}

bool CheckGpioLine(std::uint8_t line, std::string& error) {
    if (line >= kGpioCount) {
        error = "GPIO line " + std::to_string(line) + " does not exist (0 to 3)";
        return false;
    }
    return true;
}

std::uint32_t SectorSizeOf(const SimConfig& config) {
    return flash::FindFlashChip(config.chipRow)->sectorSize;
}

}  // namespace

Firmware::Firmware(const SimConfig& config, NorFlash& flash, const SimFaults& faults)
    : config_(config),
      faults_(faults),
      peripherals_(config),
      region_(flash, SectorSizeOf(config)),
      // Each flash data report moves the same number of bytes both ways: what follows the
      // 4-byte header of the output report, as far as the input report holds it.
      flashReadChunk_(
          std::min<std::size_t>(config.outputReportLengths[kFlashChannel] - kFlashDataOffset,
                                config.inputReportLengths[kFlashChannel])) {}

bool Firmware::Output(std::size_t channel, std::span<const std::uint8_t> report,
                      std::string& error) {
    if (channel == kFlashChannel) {
        return region_.Write(report.subspan(kFlashDataOffset), error);
    }
    if (report.size() <= kCodeByte) {
        error = "command report too short to carry a command code";
        return false;
    }
    return channel == kCommandChannel ? CommandOutput(report, error) : IicOutput(report, error);
}

bool Firmware::CommandOutput(std::span<const std::uint8_t> report, std::string& error) {
    const std::uint8_t code = report[kCodeByte];
    switch (code) {
        case kRegWrite:
            if (!CheckLengthByte(report, 10, error)) {
                return false;
            }
            // A write to a read-only register is dropped, as the chip drops it.
            peripheralsChanged_ |=
                peripherals_.registers.Write(Le32(report, kPayload), Le32(report, kPayload + 4));
            return true;
        case kRegWriteAddr:
            if (!CheckLengthByte(report, 6, error)) {
                return false;
            }
            registerAddress_ = Le32(report, kPayload);
            return true;
        case kFlashAccessMode:
            return CheckLengthByte(report, 7, error) &&
                   region_.SetAccessMode(report[kPayload], Le32(report, kPayload + 1), error);
        case kFlashSetLen:
            return CheckLengthByte(report, 6, error) &&
                   region_.SetLength(Le32(report, kPayload), error);
        case kGpioSet:
            if (!CheckLengthByte(report, 4, error) || !CheckGpioLine(report[kPayload], error)) {
                return false;
            }
            if (report[kPayload + 1] > 1) {
                error = "GPIO direction " + std::to_string(report[kPayload + 1]) +
                        " is neither 0 (input) nor 1 (output)";
                return false;
            }
            peripherals_.gpio.SetDirection(report[kPayload], report[kPayload + 1] == 1);
            peripheralsChanged_ = true;
            return true;
        case kGpioWrite:
            if (!CheckLengthByte(report, 4, error) || !CheckGpioLine(report[kPayload], error)) {
                return false;
            }
            peripherals_.gpio.Write(report[kPayload], report[kPayload + 1] != 0);
            peripheralsChanged_ = true;
            return true;
        case kGpioRead:
            if (!CheckLengthByte(report, 3, error) || !CheckGpioLine(report[kPayload], error)) {
                return false;
            }
            gpioLine_ = report[kPayload];
            return true;
        default:
            error = CodeText(code) + " is not a command of the command channel";
            return false;
    }
}

bool Firmware::IicOutput(std::span<const std::uint8_t> report, std::string& error) {
    const std::uint8_t code = report[kCodeByte];
    if (code != kIicWrite && code != kIicRead) {
        error = CodeText(code) + " is not a command of the IIC channel";
        return false;
    }
    if (report.size() <= kPayload + 1) {
        error = "IIC request too short to carry its byte count";
        return false;
    }
    const std::uint8_t address = report[kPayload];
    const std::size_t count = report[kPayload + 1];
    const std::size_t dataStart = kPayload + 2;
    if (code == kIicWrite) {
        if (!CheckLengthByte(report, 4 + count, error)) {
            return false;
        }
        iicWriteCode_ = peripherals_.iic.Write(address, report.subspan(dataStart, count));
        peripheralsChanged_ = peripheralsChanged_ || count > 1;
        return true;
    }
    if (!CheckLengthByte(report, 5 + count, error)) {
        return false;
    }
    const std::size_t readCount = report[dataStart + count];
    if (readCount + 1 > config_.inputReportLengths[kIicChannel]) {
        error = "IIC read of " + std::to_string(readCount) +
                " bytes does not fit the IIC channel's input report";
        return false;
    }
    iicReadAnswer_.assign(readCount + 1, 0);
    iicReadAnswer_[0] = peripherals_.iic.Read(address, report.subspan(dataStart, count),
                                              std::span(iicReadAnswer_).subspan(1));
    peripheralsChanged_ = peripheralsChanged_ || count > 1;
    return true;
}

bool Firmware::Input(std::size_t channel, std::uint8_t code, std::span<std::uint8_t> reply,
                     std::string& error) {
    if (channel == kFlashChannel) {
        return region_.Read(reply.first(flashReadChunk_), faults_.corruptReadAt, error);
    }
    return channel == kCommandChannel ? CommandInput(code, reply, error)
                                      : IicInput(code, reply, error);
}

bool Firmware::CommandInput(std::uint8_t code, std::span<std::uint8_t> reply, std::string& error) {
    switch (code) {
        case kRegRead:
            PutLe(reply, peripherals_.registers.Read(registerAddress_), 4);
            return true;
        case kFlashGetId:
            PutLe(reply, faults_.chipIndexAnswer.value_or(config_.chipRow), 2);
            return true;
        case kGpioRead:
            reply[0] = peripherals_.gpio.Read(gpioLine_);
            return true;
        default:
            error = CodeText(code) + " is not a read of the command channel";
            return false;
    }
}

bool Firmware::IicInput(std::uint8_t code, std::span<std::uint8_t> reply, std::string& error) {
    switch (code) {
        case kIicWrite:
            reply[0] = iicWriteCode_;
            return true;
        case kIicRead:
            std::copy_n(iicReadAnswer_.begin(), std::min(iicReadAnswer_.size(), reply.size()),
                        reply.begin());
            return true;
        case kHdmiInfo:
            // A report shorter than the block carries what fits.
            std::copy_n(config_.hdmiInfo.begin(), std::min(kHdmiInfoSize, reply.size()),
                        reply.begin());
            return true;
        default:
            error = CodeText(code) + " is not a read of the IIC channel";
            return false;
    }
}

bool Firmware::TakePeripheralsChanged() {
    return std::exchange(peripheralsChanged_, false);
}

}  // namespace brimlo::sim
