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
// claiming an update, and whatever was chosen but not updated is listed after the text,
// followed by the request to burn again first when a region was left part-written.
ClosingBox BurnClosingBox(const BurnOutcome& outcome);

// The box of a burn that ended early: `reason`, then what was updated and what was not, and
// whether the board needs a new burn before it is replugged.
ClosingBox EarlyEndBox(const BurnOutcome& outcome, std::string_view reason);

// Marks every region `choice` names now and the outcome does not count as updated as not
// updated, the areas the burn never reached included.
void MarkChosenNotUpdated(BurnOutcome& outcome, BurnAreaChoice& choice);

// "- Firmware Area\n"... for each row set in `areas`, in row order.
std::string AreaNames(std::uint8_t areas);

}  // namespace brimlo::flash
