#pragma once
// Which boards a command works on: every board with the target's identifiers, narrowed by
// --port and --serial (--path has already narrowed the stack to one interface).

#include <cstdint>
#include <vector>

#include "boards/board_list.h"
#include "cli/cli_context.h"

namespace brimlo::cli {

// The matching boards the options let through, and kExitOk. `chosen` is empty when nothing
// matches (`listError` says why when the interfaces could not be listed), for the caller to
// report as it always has. When boards match but --port/--serial leave none, reports that
// with the candidates and returns its exit code.
int ChooseBoards(CliContext& context, hid::HidPlatform& platform, std::uint16_t vendorId,
                 std::uint16_t productId, std::vector<boards::Board>& chosen,
                 std::string& listError);

// The refusal of a flash command when several boards are left, naming them.
std::string SeveralBoardsMessage(const std::vector<boards::Board>& boards);

}  // namespace brimlo::cli
