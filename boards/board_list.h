#pragma once
// The boards a multi-board job can work on: every present interface with the target's
// identifiers, where it sits, and the options that pick some of them.

#include <cstdint>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace brimlo::boards {

struct Board {
    std::string path;    // the interface's path, e.g. /dev/hidraw3
    std::string port;    // USB port path, e.g. 1-1.2; empty when unknown
    std::string serial;  // empty when the device has none
    // What names the board to a person: its port, else its path.
    const std::string& Name() const { return port.empty() ? path : port; }
};

// Every described interface with these identifiers, in enumeration order. False, with `error`
// set, when the interfaces cannot be listed.
bool ListMatchingBoards(hid::HidPlatform& platform, std::uint16_t vendorId, std::uint16_t productId,
                        std::vector<Board>& boards, std::string& error);

struct BoardFilter {
    std::vector<std::string> ports;  // exact port paths; empty: any
    std::string serialPrefix;        // empty: any
    bool Narrows() const { return !ports.empty() || !serialPrefix.empty(); }
};

// The boards the filter lets through, in their order.
std::vector<Board> FilterBoards(const std::vector<Board>& boards, const BoardFilter& filter);

// One line per board, "  /dev/hidraw3  port 1-1.2  serial AB12", for a refusal to say which
// boards there are.
std::string CandidateLines(const std::vector<Board>& boards);

}  // namespace brimlo::boards
