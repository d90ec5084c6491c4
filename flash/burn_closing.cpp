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

namespace {

std::string UpdatedNames(const BurnOutcome& outcome) {
    return outcome.entireUpdated ? std::string(kEntireFlashName) : AreaNames(outcome.updatedAreas);
}

std::string NotUpdatedNames(const BurnOutcome& outcome) {
    return outcome.entireFailed ? std::string(kEntireFlashName) : AreaNames(outcome.failedAreas);
}

// One blank line between sections, whether or not the text so far ends its last line.
void AppendSection(std::string& text, std::string_view section) {
    if (!text.empty() && text.back() == '\n' && section.starts_with("\n\n")) {
        section.remove_prefix(1);
    }
    text += section;
}

}  // namespace

void MarkChosenNotUpdated(BurnOutcome& outcome, BurnAreaChoice& choice) {
    if (choice.EntireFlash()) {
        outcome.entireFailed = !outcome.entireUpdated;
        return;
    }
    for (std::size_t row = 0; row < kFlashAreaCount; ++row) {
        if (choice.AreaChecked(row) && (outcome.updatedAreas >> row & 1) == 0) {
            outcome.failedAreas |= static_cast<std::uint8_t>(1u << row);
        }
    }
}

ClosingBox EarlyEndBox(const BurnOutcome& outcome, std::string_view reason) {
    ClosingBox box;
    box.text = reason;
    if (outcome.Updated()) {
        AppendSection(box.text, kUpdatedHeading);
        box.text += UpdatedNames(outcome);
    }
    if (outcome.entireFailed || outcome.failedAreas != 0) {
        AppendSection(box.text, kNotUpdatedHeading);
        box.text += NotUpdatedNames(outcome);
    }
    if (outcome.needsNewBurn) {
        box.text += kNeedsNewBurn;
    }
    box.caption = outcome.stopped ? kCaptionStopped : kCaptionError;
    box.icon = outcome.stopped ? MessageIcon::Warning : MessageIcon::Error;
    return box;
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
        box.text += NotUpdatedNames(outcome);
        if (outcome.Updated()) {
            box.icon = MessageIcon::Warning;
        }
    }
    // A failed compare leaves its region part-written, the firmware's flag at 0: the re-plug
    // request above must not be followed before a new burn. Where nothing was updated the
    // text already says so.
    if (outcome.needsNewBurn && outcome.Updated()) {
        box.text += kNeedsNewBurn;
    }
    return box;
}

}  // namespace brimlo::flash
