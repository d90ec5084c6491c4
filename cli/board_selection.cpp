#include "cli/board_selection.h"

namespace brimlo::cli {

int ChooseBoards(CliContext& context, hid::HidPlatform& platform, std::uint16_t vendorId,
                 std::uint16_t productId, std::vector<boards::Board>& chosen,
                 std::string& listError) {
    chosen.clear();
    std::vector<boards::Board> matching;
    if (!boards::ListMatchingBoards(platform, vendorId, productId, matching, listError)) {
        return kExitOk;
    }
    const boards::BoardFilter filter{context.options.ports, context.options.serialPrefix};
    chosen = boards::FilterBoards(matching, filter);
    if (!chosen.empty() || matching.empty()) {
        return kExitOk;
    }
    return context.Error("No board matches --port/--serial; the boards there are:\n" +
                             boards::CandidateLines(matching),
                         kExitNoDevice);
}

std::string SeveralBoardsMessage(const std::vector<boards::Board>& boards) {
    return std::to_string(boards.size()) +
           " boards match: choose one with --path, --port or --serial, or work on all of them "
           "with --all:\n" +
           boards::CandidateLines(boards);
}

}  // namespace brimlo::cli
