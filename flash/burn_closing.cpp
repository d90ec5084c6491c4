#include "flash/burn_closing.h"

#include "flash/flash_messages.h"

namespace brimlo::flash {

std::string AreaNames(std::uint8_t areas) {
    std::string names;
    for (std::size_t row = 0; row < kFlashAreaCount; ++row) {
        if ((areas >> row & 1) != 0) {
            names += kFlashAreas[row].name;
        }
    }
    return names;
}

ClosingBox BurnClosingBox(const BurnOutcome& outcome) {
    ClosingBox box;
    if (outcome.entireUpdated) {
        box.text = kEntireUpdated;
    } else if (outcome.updatedAreas != 0) {
        box.text = AreaNames(outcome.updatedAreas);
        box.text += kAreasUpdatedTail;
    } else {
        box.text = kNothingUpdated;
    }
    box.caption = outcome.Updated() ? kCaptionInfo : kCaptionError;
    box.icon = outcome.Updated() ? MessageIcon::Information : MessageIcon::Error;
    if (outcome.entireFailed || outcome.failedAreas != 0) {
        box.text += kNotUpdatedHeading;
        box.text +=
            outcome.entireFailed ? std::string(kEntireFlashName) : AreaNames(outcome.failedAreas);
        if (outcome.Updated()) {
            box.icon = MessageIcon::Warning;
        }
    }
    return box;
}

}  // namespace brimlo::flash
