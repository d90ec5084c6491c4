#pragma once
// The box that closes a burn: which parts of the flash were updated, and which were not.

#include <string>
#include <string_view>

#include "commands/message_boxes.h"
#include "flash/burn_sequence.h"

namespace brimlo::flash {

struct ClosingBox {
    std::string text;
    std::string_view caption;
    MessageIcon icon = MessageIcon::Information;
};

// The whole-flash text after a whole flash that compared equal; else the names of the burned
// areas in row order and the re-plug request. A burn that updated nothing says so instead of
// claiming an update, and whatever was chosen but not updated is listed after the text.
ClosingBox BurnClosingBox(const BurnOutcome& outcome);

// "- Firmware Area\n"... for each row set in `areas`, in row order.
std::string AreaNames(std::uint8_t areas);

}  // namespace brimlo::flash
