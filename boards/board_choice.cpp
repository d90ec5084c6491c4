#include "boards/board_choice.h"

namespace brimlo::boards {

std::optional<std::string> SelectionMistake(const BoardSelection& selection) {
    if (!selection.path.empty() && selection.filter.Narrows()) {
        return "--path names the interface already: choose with --path, or with --port and "
               "--serial, not both";
    }
    return std::nullopt;
}

ChosenBoards ChooseBoards(hid::HidPlatform& platform, std::uint16_t vendorId,
                          std::uint16_t productId, const BoardFilter& filter) {
    ChosenBoards chosen;
    std::vector<Board> matching;
    if (!ListMatchingBoards(platform, vendorId, productId, matching, chosen.listError)) {
        return chosen;
    }
    chosen.boards = FilterBoards(matching, filter);
    if (chosen.boards.empty() && !matching.empty()) {
        chosen.refusal =
            "No board matches --port/--serial; the boards there are:\n" + CandidateLines(matching);
    }
    return chosen;
}

std::string FirstOfSeveralNote(const std::vector<Board>& chosen) {
    const Board& first = chosen.front();
    return std::to_string(chosen.size()) + " boards match; using the first, " + first.path +
           " (port " + (first.port.empty() ? "-" : first.port) + ", serial " +
           (first.serial.empty() ? "-" : first.serial) +
           "); choose another with --path, --port or --serial";
}

std::string OpenFailureText(const OpenResult& result) {
    return result.status == OpenStatus::NotFound && !result.heldElsewhere
               ? "HID Device no found ! " + result.message
               : result.message;
}

}  // namespace brimlo::boards
