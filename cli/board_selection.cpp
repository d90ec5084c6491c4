#include "cli/board_selection.h"

#include "boards/board_choice.h"

namespace brimlo::cli {

int ChooseBoards(CliContext& context, hid::HidPlatform& platform, std::uint16_t vendorId,
                 std::uint16_t productId, std::vector<boards::Board>& chosen,
                 std::string& listError) {
    boards::ChosenBoards choice =
        boards::ChooseBoards(platform, vendorId, productId, context.Selection().filter);
    chosen = std::move(choice.boards);
    listError = std::move(choice.listError);
    return choice.refusal ? context.Error(*choice.refusal, kExitNoDevice) : kExitOk;
}

std::string SeveralBoardsMessage(const std::vector<boards::Board>& boards) {
    return std::to_string(boards.size()) +
           " boards match: choose one with --path, --port or --serial, or work on all of them "
           "with --all:\n" +
           boards::CandidateLines(boards);
}

}  // namespace brimlo::cli
