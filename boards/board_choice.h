#pragma once
// How a front end chooses the one board it opens: the interface at a path, else the boards
// with the target's identifiers narrowed by port and serial, the first of several. The texts
// name the command line's options (--path, --port, --serial); another front end renames them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "boards/board_list.h"
#include "commands/uvc_hid_device.h"
#include "hid/hid_platform.h"

namespace brimlo::boards {

struct BoardSelection {
    std::string path;  // one interface (the stack is narrowed to it already); empty: by filter
    BoardFilter filter;
};

// A usage mistake when the selection contradicts itself: a path names the interface already,
// so a port or serial beside it either repeats it or contradicts it.
std::optional<std::string> SelectionMistake(const BoardSelection& selection);

struct ChosenBoards {
    std::vector<Board> boards;  // with the identifiers and let through, in enumeration order
    std::string listError;      // why the interfaces could not be listed; `boards` is empty
    // Boards match but the filter leaves none: says so and lists them. `boards` is empty.
    std::optional<std::string> refusal;
};

// The boards with these identifiers that `filter` lets through. None matching at all is left
// for the device's open to report, as it says why (a skipped interface, say).
ChosenBoards ChooseBoards(hid::HidPlatform& platform, std::uint16_t vendorId,
                          std::uint16_t productId, const BoardFilter& filter);

// The note when several boards are chosen and the first is used, naming it.
std::string FirstOfSeveralNote(const std::vector<Board>& chosen);

// What a front end says when the device's open fails.
std::string OpenFailureText(const OpenResult& result);

}  // namespace brimlo::boards
