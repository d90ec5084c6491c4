#include "sim/report_descriptor.h"

#include <initializer_list>

namespace brimlo::sim {
namespace {

// Short items: tag and type in the high six bits, data size code in the low two.
constexpr std::uint8_t kUsagePage = 0x06;       // global, 2 data bytes
constexpr std::uint8_t kUsage = 0x09;           // local, 1 byte
constexpr std::uint8_t kCollection = 0xA1;      // main, 1 byte
constexpr std::uint8_t kEndCollection = 0xC0;   // main, no data
constexpr std::uint8_t kReportId = 0x85;        // global, 1 byte
constexpr std::uint8_t kLogicalMinimum = 0x15;  // global, 1 byte
constexpr std::uint8_t kLogicalMaximum = 0x26;  // global, 2 bytes (255 needs them: it is signed)
constexpr std::uint8_t kReportSize = 0x75;      // global, 1 byte
constexpr std::uint8_t kReportCount = 0x96;     // global, 2 bytes
constexpr std::uint8_t kInput = 0x81;           // main, 1 byte
constexpr std::uint8_t kOutput = 0x91;          // main, 1 byte

constexpr std::uint8_t kApplication = 0x01;
constexpr std::uint8_t kDataVariableAbsolute = 0x02;

// Byte by byte: g++ 12 at -O3 misjudges a vector's range insert after its first small
// allocation and warns (-Wstringop-overflow) of an overrun that cannot happen.
void Put(std::vector<std::uint8_t>& out, std::initializer_list<std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) {
        out.push_back(byte);
    }
}

void Put16(std::vector<std::uint8_t>& out, std::uint8_t item, std::uint16_t value) {
    Put(out,
        {item, static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)});
}

}  // namespace

std::vector<std::uint8_t> BuildReportDescriptor(const SimConfig& config) {
    std::vector<std::uint8_t> out;
    Put16(out, kUsagePage, kVendorUsagePage);
    Put(out, {kUsage, 0x01, kCollection, kApplication});
    Put(out, {kLogicalMinimum, 0x00});
    Put16(out, kLogicalMaximum, 0x00FF);
    Put(out, {kReportSize, 8});
    for (std::size_t channel = 0; channel < config.reportIds.size(); ++channel) {
        // Usages 1, 2, 3 name the channels' input values, 0x11, 0x12, 0x13 their outputs.
        const auto usage = static_cast<std::uint8_t>(channel + 1);
        Put(out, {kReportId, config.reportIds[channel]});
        Put(out, {kUsage, usage});
        Put16(out, kReportCount,
              static_cast<std::uint16_t>(config.inputReportLengths[channel] - 1));
        Put(out, {kInput, kDataVariableAbsolute});
        Put(out, {kUsage, static_cast<std::uint8_t>(0x10 | usage)});
        Put16(out, kReportCount,
              static_cast<std::uint16_t>(config.outputReportLengths[channel] - 1));
        Put(out, {kOutput, kDataVariableAbsolute});
    }
    out.push_back(kEndCollection);
    return out;
}

}  // namespace brimlo::sim
