// kernel_harness_tool: the host-side helpers of the VM test.
//
//   kernel_harness_tool check-wire --wire WIRE.jsonl [--skip N] TRACE.jsonl...
//       Holds the tool's wire traces (what it handed to the HID stack, one JSON line per
//       exchange) against the gadget's log of the control requests that reached the USB device,
//       and fails unless every exchange arrived as exactly one request with the expected setup
//       packet and bytes, in order, and nothing else reached the device's reports. N lines at
//       the start of the wire log (what the kernel asked while binding) are not matched.
//
//   kernel_harness_tool make-image FILE SIZE
//       Writes SIZE bytes of a fixed pseudo-random sequence (the same on every run), a burn
//       image in which every chunk differs from every other.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

bool ReadJsonLines(const std::string& path, std::vector<Json>& out) {
    std::ifstream file(path);
    if (!file) {
        std::cerr << "kernel_harness_tool: cannot read " << path << "\n";
        return false;
    }
    std::string line;
    std::size_t number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (line.empty()) {
            continue;
        }
        try {
            out.push_back(Json::parse(line));
        } catch (const Json::exception& e) {
            std::cerr << "kernel_harness_tool: " << path << ":" << number << ": " << e.what()
                      << "\n";
            return false;
        }
    }
    return true;
}

bool IsReportRequest(const Json& entry) {
    if (entry.value("event", "") != "setup") {
        return false;
    }
    const int type = entry.value("request_type", -1);
    const int request = entry.value("request", -1);
    return (type == 0x21 && request == 0x09) || (type == 0xA1 && request == 0x01);
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

std::string Shorten(const std::string& hex) {
    return hex.size() <= 40
               ? hex
               : hex.substr(0, 40) + "...(" + std::to_string(hex.size() / 2) + " bytes)";
}

class Checker {
  public:
    // Empty when `wire` is how `exchange` should have reached the device.
    std::string Compare(const Json& exchange, const Json& wire) {
        const std::string op = exchange.value("op", "");
        const unsigned reportId = exchange.value("report_id", 0u);
        const bool ok = exchange.value("ok", false);
        const std::string data = exchange.value("data", "");
        const unsigned type = wire.value("request_type", 0u);
        const unsigned value = wire.value("value", 0u);
        const unsigned length = wire.value("length", 0u);
        const std::string action = wire.value("action", "");
        const std::string wireData = wire.value("data", "");
        std::ostringstream problem;
        if (op == "set_output") {
            const unsigned reportLength = exchange.value("length", 0u);
            if (type != 0x21) {
                problem << "expected SET_REPORT, got bmRequestType " << Hex4(type);
            } else if (value != (0x0200u | reportId)) {
                problem << "SET_REPORT wValue " << Hex4(value) << ", expected "
                        << Hex4(0x0200u | reportId);
            } else if (length != reportLength) {
                problem << "SET_REPORT wLength " << length << ", the tool sent " << reportLength
                        << " bytes";
            } else if (ok && action != "receive") {
                problem << "the tool's report succeeded but the device did " << action;
            } else if (ok && wireData != data) {
                problem << "data stage " << Shorten(wireData) << " differs from the report "
                        << Shorten(data);
            } else if (ok && wire.value("note", "").find("refused") != std::string::npos) {
                problem << "acknowledged on the wire, refused by the device: "
                        << wire.value("note", "");
            } else if (!ok && action != "stall") {
                problem << "the tool saw a failure the device did not cause (" << action << ")";
            }
            if (problem.str().empty()) {
                ++setReports_;
                if (wireData.size() >= 2 &&
                    std::stoul(wireData.substr(0, 2), nullptr, 16) == reportId) {
                    ++idByteFirst_;
                }
            }
        } else if (op == "get_input") {
            const unsigned requested = exchange.value("requested_length", 0u);
            if (type != 0xA1) {
                problem << "expected GET_REPORT, got bmRequestType " << Hex4(type);
            } else if (value != (0x0100u | reportId)) {
                problem << "GET_REPORT wValue " << Hex4(value) << ", expected "
                        << Hex4(0x0100u | reportId);
            } else if (length != requested) {
                problem << "GET_REPORT wLength " << Hex4(length) << ", the tool asked for "
                        << Hex4(requested);
            } else if (ok != (action == "send")) {
                problem << "the tool saw ok=" << ok << " but the device did " << action;
            } else if (ok && wireData != data) {
                problem << "the device sent " << Shorten(wireData) << ", the tool received "
                        << Shorten(data);
            }
            if (problem.str().empty()) {
                ++getReports_;
                if ((requested & 0xFF00u) != 0) {
                    codesInLength_.insert(requested >> 8);
                }
                largestRequest_ = std::max(largestRequest_, requested);
            }
        } else {
            problem << "unknown trace operation '" << op << "'";
        }
        return problem.str();
    }

    void Summary() const {
        std::cout << "kernel_harness_tool: " << setReports_
                  << " SET_REPORT(Output) requests carried "
                  << "the tool's reports byte for byte (" << idByteFirst_
                  << " with the report ID as the first data byte); " << getReports_
                  << " GET_REPORT(Input) requests had wLength equal to the requested length "
                  << "(largest " << Hex4(largestRequest_) << ", command codes in the high byte:";
        for (unsigned code : codesInLength_) {
            std::cout << " " << code;
        }
        std::cout << ")\n";
    }

  private:
    std::size_t setReports_ = 0;
    std::size_t getReports_ = 0;
    std::size_t idByteFirst_ = 0;
    unsigned largestRequest_ = 0;
    std::set<unsigned> codesInLength_;
};

int CheckWire(int argc, char** argv) {
    std::string wirePath;
    std::size_t skip = 0;
    std::vector<std::string> traces;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--wire" && i + 1 < argc) {
            wirePath = argv[++i];
        } else if (arg == "--skip" && i + 1 < argc) {
            skip = std::stoul(argv[++i]);
        } else {
            traces.push_back(arg);
        }
    }
    if (wirePath.empty() || traces.empty()) {
        std::cerr << "usage: kernel_harness_tool check-wire --wire WIRE.jsonl [--skip N] "
                     "TRACE.jsonl...\n";
        return 2;
    }
    std::vector<Json> wireAll;
    if (!ReadJsonLines(wirePath, wireAll)) {
        return 2;
    }
    std::vector<Json> wire;
    std::map<std::string, std::size_t> otherRequests;
    for (std::size_t i = std::min(skip, wireAll.size()); i < wireAll.size(); ++i) {
        if (IsReportRequest(wireAll[i])) {
            wire.push_back(wireAll[i]);
        } else {
            ++otherRequests[wireAll[i].dump()];
        }
    }
    std::vector<Json> exchanges;
    for (const std::string& trace : traces) {
        if (!ReadJsonLines(trace, exchanges)) {
            return 2;
        }
    }

    Checker checker;
    int failures = 0;
    const std::size_t common = std::min(exchanges.size(), wire.size());
    for (std::size_t i = 0; i < common && failures < 5; ++i) {
        const std::string problem = checker.Compare(exchanges[i], wire[i]);
        if (!problem.empty()) {
            std::cout << "exchange " << i + 1 << ": " << problem << "\n  tool: " << exchanges[i]
                      << "\n  wire: " << wire[i] << "\n";
            ++failures;
        }
    }
    if (exchanges.size() != wire.size()) {
        std::cout << "the tool made " << exchanges.size() << " exchanges, " << wire.size()
                  << " report requests reached the device\n";
        ++failures;
    }
    for (const auto& [line, count] : otherRequests) {
        std::cout << "note: also on the wire while the tool ran (" << count << "x): " << line
                  << "\n";
    }
    checker.Summary();
    if (failures != 0) {
        std::cout << "kernel_harness_tool: FAILED\n";
        return 1;
    }
    std::cout << "kernel_harness_tool: all " << exchanges.size() << " exchanges match the wire\n";
    return 0;
}

int MakeImage(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: kernel_harness_tool make-image FILE SIZE\n";
        return 2;
    }
    const std::uint64_t size = std::stoull(argv[3]);
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    // xorshift64*: cheap, and no two 1 KiB chunks of the image are alike.
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    std::vector<char> bytes(size);
    for (std::uint64_t i = 0; i < size; ++i) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        bytes[i] = static_cast<char>((state * 0x2545F4914F6CDD1Dull) >> 56);
    }
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        std::cerr << "kernel_harness_tool: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "check-wire") {
        return CheckWire(argc, argv);
    }
    if (command == "make-image") {
        return MakeImage(argc, argv);
    }
    std::cerr << "usage: kernel_harness_tool check-wire|make-image ...\n";
    return 2;
}
