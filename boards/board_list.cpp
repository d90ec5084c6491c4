#include "boards/board_list.h"

#include <algorithm>

#include "hid/hid_interface_list.h"

namespace brimlo::boards {

bool ListMatchingBoards(hid::HidPlatform& platform, std::uint16_t vendorId, std::uint16_t productId,
                        std::vector<Board>& boards, std::string& error) {
    std::vector<hid::HidInterfaceInfo> interfaces;
    if (!hid::DescribeHidInterfaces(platform, interfaces, error)) {
        return false;
    }
    boards.clear();
    for (const hid::HidInterfaceInfo& info : interfaces) {
        if (info.described && info.vendorId == vendorId && info.productId == productId) {
            boards.push_back({info.path, info.location.port, info.location.serial});
        }
    }
    return true;
}

std::vector<Board> FilterBoards(const std::vector<Board>& boards, const BoardFilter& filter) {
    std::vector<Board> chosen;
    for (const Board& board : boards) {
        const bool portOk =
            filter.ports.empty() ||
            std::find(filter.ports.begin(), filter.ports.end(), board.port) != filter.ports.end();
        const bool serialOk =
            filter.serialPrefix.empty() || board.serial.starts_with(filter.serialPrefix);
        if (portOk && serialOk) {
            chosen.push_back(board);
        }
    }
    return chosen;
}

std::string CandidateLines(const std::vector<Board>& boards) {
    std::string lines;
    for (const Board& board : boards) {
        lines += "  " + board.path + "  port " + (board.port.empty() ? "-" : board.port) +
                 "  serial " + (board.serial.empty() ? "-" : board.serial) + "\n";
    }
    return lines;
}

}  // namespace brimlo::boards
