// brimlo-hidraw-probe: runs inside the VM after the command script and tries, through the
// tool's hidraw connection, the cases the command script never makes, holding what reached the
// device (the gadget's wire log) against what the hidraw layer promises:
//   - report ID 0 out and in (the gadget runs with --echo-report-id-0);
//   - a requested length above the gadget framework's 4096-byte ep0 buffer;
//   - the longest request the hidraw layer lets through;
//   - reports the device refuses, in both directions.
//
//   brimlo-hidraw-probe NODE WIRE_LOG
//
// Prints one "PROBE-PASS name: ..." or "PROBE-FAIL name: ..." line per case; exits 1 if any
// case failed.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "hid/linux/hidraw_platform.h"

namespace {

using Json = nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

std::string Hex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

class WireLog {
  public:
    explicit WireLog(std::string path) : path_(std::move(path)) {}

    // Remembers where the log ends now.
    void Mark() {
        std::ifstream file(path_, std::ios::ate);
        offset_ = file ? static_cast<std::streamoff>(file.tellg()) : 0;
    }

    // The first setup request logged after Mark(). The gadget logs a request once it has
    // answered it, which may be a little after the ioctl returned.
    std::optional<Json> Next() const {
        for (int i = 0; i < 100; ++i) {
            std::ifstream file(path_);
            file.seekg(offset_);
            std::string line;
            while (std::getline(file, line)) {
                const Json entry = Json::parse(line, nullptr, false);
                if (!entry.is_discarded() && entry.value("event", "") == "setup") {
                    return entry;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }

  private:
    std::string path_;
    std::streamoff offset_ = 0;
};

int failures = 0;

void Report(bool pass, const std::string& name, const std::string& detail) {
    std::printf("PROBE-%s %s: %s\n", pass ? "PASS" : "FAIL", name.c_str(), detail.c_str());
    std::fflush(stdout);
    if (!pass) {
        ++failures;
    }
}

std::string Describe(const std::optional<Json>& wire) {
    if (!wire) {
        return "nothing reached the device";
    }
    return "wire: wValue " + Hex4(wire->value("value", 0u)) + " wLength " +
           Hex4(wire->value("length", 0u)) + ", " + wire->value("action", "") + " (" +
           wire->value("note", "") + ")";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: brimlo-hidraw-probe NODE WIRE_LOG\n");
        return 2;
    }
    brimlo::hid::HidrawPlatform platform;
    std::string error;
    auto connection = platform.Open(argv[1], {}, error);
    if (!connection) {
        std::printf("PROBE-FAIL open: %s\n", error.c_str());
        return 1;
    }
    WireLog wire(argv[2]);

    // Report ID 0 out: 64 bytes, byte 0 the ID. The hidraw layer promises that all 64 bytes
    // reach the device, byte 0 included.
    Bytes report(64);
    for (std::size_t i = 1; i < report.size(); ++i) {
        report[i] = static_cast<std::uint8_t>(0x10 + i * 7);
    }
    wire.Mark();
    const bool sent = connection->SendOutputReport(report);
    auto seen = wire.Next();
    Report(sent && seen && seen->value("value", 0u) == 0x0200u &&
               seen->value("length", 0u) == report.size() && seen->value("data", "") == Hex(report),
           "report-id-0-output",
           std::string(sent ? "sent" : "failed: " + connection->LastError()) + "; " +
               Describe(seen) + "; data " + (seen ? seen->value("data", "") : ""));

    // Report ID 0 in: the echo of those bytes. The hidraw layer promises wLength = the requested
    // length and the device's bytes from buffer[0].
    Bytes buffer(64, 0xEE);
    wire.Mark();
    const auto placed = connection->GetInputReport(0, 64, buffer);
    seen = wire.Next();
    Report(placed && *placed == report.size() && buffer == report && seen &&
               seen->value("value", 0u) == 0x0100u && seen->value("length", 0u) == 64u,
           "report-id-0-input",
           (placed ? std::to_string(*placed) + " bytes placed, buffer " + Hex(buffer)
                   : "failed: " + connection->LastError()) +
               "; " + Describe(seen));

    // A requested length above 4096: the gadget framework cuts wLength to its ep0 buffer, so
    // the emulated device sees 4096 and refuses (a stall, EPIPE for the tool).
    buffer.assign(64, 0);
    wire.Mark();
    const auto cut = connection->GetInputReport(2, 0x1040, buffer);
    seen = wire.Next();
    Report(
        !cut && seen && seen->value("length", 0u) == 4096u && seen->value("action", "") == "stall",
        "requested-length-above-4096",
        "asked " + Hex4(0x1040) + "; " + Describe(seen) +
            "; tool: " + (cut ? "succeeded" : connection->LastError()));

    // The longest request the hidraw layer lets through must still pass the kernel.
    wire.Mark();
    const auto longest = connection->GetInputReport(2, 0x3FFF, buffer);
    seen = wire.Next();
    Report(!longest && seen && seen->value("length", 0u) == 4096u, "longest-hidraw-request",
           "asked " + Hex4(0x3FFF) + "; " + Describe(seen) +
               "; tool: " + (longest ? "succeeded" : connection->LastError()));

    // Refusals: an output report of the wrong length is stalled before its data stage, a read
    // of a report ID the device lacks is stalled; the tool must see both as failures.
    Bytes shortReport(63, 0);
    shortReport[0] = 2;
    wire.Mark();
    const bool shortSent = connection->SendOutputReport(shortReport);
    seen = wire.Next();
    Report(!shortSent && seen && seen->value("action", "") == "stall" &&
               connection->LastError().find("stalled") != std::string::npos,
           "refused-output-stalls",
           Describe(seen) + "; tool: " + (shortSent ? "succeeded" : connection->LastError()));

    wire.Mark();
    const auto unknown = connection->GetInputReport(9, 64, buffer);
    seen = wire.Next();
    Report(!unknown && seen && seen->value("action", "") == "stall" &&
               connection->LastError().find("stalled") != std::string::npos,
           "refused-input-stalls",
           Describe(seen) + "; tool: " + (unknown ? "succeeded" : connection->LastError()));

    return failures == 0 ? 0 : 1;
}
