// kernel_harness_tool: the host-side helpers of the VM test.
//
//   kernel_harness_tool check-wire --wire WIRE.jsonl [--skip N] [--wire WIRE2.jsonl [--skip M]]
//                                  [--split PREFIX] TRACE.jsonl...
//       Holds the tool's wire traces (what it handed to the HID stack, one JSON line per
//       exchange) against the gadgets' logs of the control requests that reached the USB
//       devices, and fails unless every exchange arrived as exactly one request with the
//       expected setup packet and bytes, in order, and nothing else reached the devices'
//       reports. --skip N leaves out the first N lines of the wire log before it (what the
//       kernel asked while binding). With several wire logs (boards worked on at once) the
//       exchanges must split into one sequence per log, each matching its log in order; --split
//       writes each sequence, as the trace's own lines, to PREFIX1.jsonl, PREFIX2.jsonl, ...
//
//   kernel_harness_tool make-image FILE SIZE [SEED]
//       Writes SIZE bytes of a fixed pseudo-random sequence (the same on every run for a SEED),
//       a burn image in which every chunk differs from every other.

#include <algorithm>
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

// `raw`, when given, gets each parsed line's text as it stands in the file.
bool ReadJsonLines(const std::string& path, std::vector<Json>& out,
                   std::vector<std::string>* raw = nullptr) {
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
            if (raw != nullptr) {
                raw->push_back(line);
            }
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

// Empty when `wire` is how `exchange` should have reached the device.
std::string Problem(const Json& exchange, const Json& wire) {
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
    } else {
        problem << "unknown trace operation '" << op << "'";
    }
    return problem.str();
}

// What the matched exchanges showed about the stack, for the summary line.
class Tally {
  public:
    void Add(const Json& exchange, const Json& wire) {
        const unsigned reportId = exchange.value("report_id", 0u);
        const std::string wireData = wire.value("data", "");
        if (exchange.value("op", "") == "set_output") {
            ++setReports_;
            if (wireData.size() >= 2 &&
                std::stoul(wireData.substr(0, 2), nullptr, 16) == reportId) {
                ++idByteFirst_;
            }
            return;
        }
        const unsigned requested = exchange.value("requested_length", 0u);
        ++getReports_;
        if ((requested & 0xFF00u) != 0) {
            codesInLength_.insert(requested >> 8);
        }
        largestRequest_ = std::max(largestRequest_, requested);
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

// One gadget's log: the report requests after the skipped lines, and how often each other
// request came.
struct WireLog {
    std::string path;
    std::size_t skip = 0;
    std::vector<Json> requests;
    std::map<std::string, std::size_t> others;
};

bool LoadWireLog(WireLog& log) {
    std::vector<Json> all;
    if (!ReadJsonLines(log.path, all)) {
        return false;
    }
    for (std::size_t i = std::min(log.skip, all.size()); i < all.size(); ++i) {
        if (IsReportRequest(all[i])) {
            log.requests.push_back(all[i]);
        } else {
            ++log.others[all[i].dump()];
        }
    }
    return true;
}

// How many requests of each log the exchanges so far have used.
using Position = std::vector<std::size_t>;

// Splits `exchanges` into one in-order sequence per log that matches it request for request.
// Every split consistent with the exchanges so far is carried along (boards doing the same job
// make the same requests, so several can be), and the first complete one is returned in
// `owner` (the log of each exchange). False, with the reasons printed, when none exists.
bool Split(const std::vector<Json>& exchanges, const std::vector<WireLog>& logs,
           std::vector<std::size_t>& owner) {
    // step[t] maps each position reached after t exchanges to the position and log it came from.
    std::vector<std::map<Position, std::pair<Position, std::size_t>>> step(1);
    step[0][Position(logs.size(), 0)] = {};
    for (std::size_t t = 0; t < exchanges.size(); ++t) {
        std::map<Position, std::pair<Position, std::size_t>> next;
        for (const auto& [at, from] : step[t]) {
            for (std::size_t k = 0; k < logs.size(); ++k) {
                if (at[k] < logs[k].requests.size() &&
                    Problem(exchanges[t], logs[k].requests[at[k]]).empty()) {
                    Position moved = at;
                    ++moved[k];
                    next.try_emplace(moved, at, k);
                }
            }
        }
        if (next.empty()) {
            // Say why against each log's next request, from the first split that got here.
            const Position& at = step[t].begin()->first;
            for (std::size_t k = 0; k < logs.size(); ++k) {
                const std::string where =
                    logs.size() == 1 ? "" : " (wire log " + std::to_string(k + 1) + ")";
                if (at[k] >= logs[k].requests.size()) {
                    std::cout << "exchange " << t + 1 << where
                              << ": no report request left on the wire\n";
                    continue;
                }
                std::cout << "exchange " << t + 1 << where << ": "
                          << Problem(exchanges[t], logs[k].requests[at[k]])
                          << "\n  tool: " << exchanges[t] << "\n  wire: " << logs[k].requests[at[k]]
                          << "\n";
            }
            return false;
        }
        step.push_back(std::move(next));
    }
    Position end(logs.size());
    for (std::size_t k = 0; k < logs.size(); ++k) {
        end[k] = logs[k].requests.size();
    }
    const auto found = step.back().find(end);
    if (found == step.back().end()) {
        return false;  // a log has requests left over; the caller counts them
    }
    owner.assign(exchanges.size(), 0);
    Position at = end;
    for (std::size_t t = exchanges.size(); t > 0; --t) {
        const auto& [from, k] = step[t].at(at);
        owner[t - 1] = k;
        at = from;
    }
    return true;
}

int CheckWire(int argc, char** argv) {
    std::vector<WireLog> logs;
    std::string splitPrefix;
    std::vector<std::string> traces;
    bool usage = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--wire" && i + 1 < argc) {
            logs.emplace_back().path = argv[++i];
        } else if (arg == "--skip" && i + 1 < argc && !logs.empty()) {
            logs.back().skip = std::stoul(argv[++i]);
        } else if (arg == "--split" && i + 1 < argc) {
            splitPrefix = argv[++i];
        } else if (arg.starts_with("--")) {
            usage = true;
        } else {
            traces.push_back(arg);
        }
    }
    if (usage || logs.empty() || traces.empty()) {
        std::cerr << "usage: kernel_harness_tool check-wire --wire WIRE.jsonl [--skip N] "
                     "[--wire WIRE2.jsonl [--skip M]] [--split PREFIX] TRACE.jsonl...\n";
        return 2;
    }
    std::size_t requestCount = 0;
    for (WireLog& log : logs) {
        if (!LoadWireLog(log)) {
            return 2;
        }
        requestCount += log.requests.size();
    }
    std::vector<Json> exchanges;
    std::vector<std::string> lines;
    for (const std::string& trace : traces) {
        if (!ReadJsonLines(trace, exchanges, &lines)) {
            return 2;
        }
    }

    std::vector<std::size_t> owner;
    bool ok = Split(exchanges, logs, owner);
    if (exchanges.size() != requestCount) {
        std::cout << "the tool made " << exchanges.size() << " exchanges, " << requestCount
                  << " report requests reached the device" << (logs.size() == 1 ? "" : "s") << "\n";
        ok = false;
    }
    for (std::size_t k = 0; k < logs.size(); ++k) {
        for (const auto& [line, count] : logs[k].others) {
            std::cout << "note: also on the wire";
            if (logs.size() > 1) {
                std::cout << " of log " << k + 1;
            }
            std::cout << " while the tool ran (" << count << "x): " << line << "\n";
        }
    }
    if (!ok) {
        std::cout << "kernel_harness_tool: FAILED\n";
        return 1;
    }

    Tally tally;
    std::vector<std::size_t> used(logs.size(), 0);
    std::vector<std::ofstream> split;
    for (std::size_t k = 0; k < logs.size() && !splitPrefix.empty(); ++k) {
        split.emplace_back(splitPrefix + std::to_string(k + 1) + ".jsonl",
                           std::ios::binary | std::ios::trunc);
    }
    for (std::size_t t = 0; t < exchanges.size(); ++t) {
        const std::size_t k = owner[t];
        tally.Add(exchanges[t], logs[k].requests[used[k]++]);
        if (!split.empty()) {
            split[k] << lines[t] << '\n';
        }
    }
    for (std::size_t k = 0; k < split.size(); ++k) {
        if (!split[k].flush()) {
            std::cerr << "kernel_harness_tool: cannot write " << splitPrefix << k + 1 << ".jsonl\n";
            return 2;
        }
    }
    tally.Summary();
    if (logs.size() > 1) {
        // Boards worked on one after the other take a turn or two per command; at once, many.
        std::size_t turns = 0;
        for (std::size_t t = 1; t < owner.size(); ++t) {
            turns += owner[t] != owner[t - 1] ? 1 : 0;
        }
        std::cout << "kernel_harness_tool: the exchanges went from one log's device to "
                     "another's "
                  << turns << " times\n";
    }
    std::cout << "kernel_harness_tool: all " << exchanges.size() << " exchanges match the wire";
    if (logs.size() > 1) {
        for (std::size_t k = 0; k < logs.size(); ++k) {
            std::cout << (k == 0 ? " (" : ", ") << "log " << k + 1 << ": " << used[k];
        }
        std::cout << ")";
    }
    std::cout << "\n";
    return 0;
}

int MakeImage(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::cerr << "usage: kernel_harness_tool make-image FILE SIZE [SEED]\n";
        return 2;
    }
    const std::uint64_t size = std::stoull(argv[3]);
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    // xorshift64*: cheap, and no two 1 KiB chunks of the image are alike. Its state must not
    // be 0.
    std::uint64_t state = 0x9E3779B97F4A7C15ull ^ (argc == 5 ? std::stoull(argv[4]) : 0);
    if (state == 0) {
        state = 1;
    }
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
