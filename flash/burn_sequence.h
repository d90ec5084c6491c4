#pragma once
// The burn: the whole burn image into the whole flash, or the chosen areas, each written and,
// for the whole flash and the Firmware area, read back and compared. Runs on the caller's
// thread without any user interface of its own: boxes go through MessageBoxes, progress
// through FlashProgress. Holds the device exclusively from start to end.

#include <cstdint>
#include <span>
#include <string>

#include "commands/flash_progress.h"
#include "commands/message_boxes.h"
#include "commands/uvc_hid_device.h"
#include "flash/burn_plan.h"
#include "flash/flash_identity.h"

namespace brimlo::flash {

// The Burn Area controls, read each time the burn comes to a decision, so the dialog's radio
// buttons and check boxes can drive it.
class BurnAreaChoice {
  public:
    virtual ~BurnAreaChoice() = default;
    // True for "Entire Flash", false for "Other Area".
    virtual bool EntireFlash() = 0;
    // Whether the check box of area row `row` is checked.
    virtual bool AreaChecked(std::size_t row) = 0;
};

// A choice that stays as it was made: the command line's.
class FixedAreaChoice final : public BurnAreaChoice {
  public:
    explicit FixedAreaChoice(const BurnSelection& selection) : selection_(selection) {}
    bool EntireFlash() override { return selection_.entireFlash; }
    bool AreaChecked(std::size_t row) override {
        return row < kFlashAreaCount && selection_.areas[row];
    }

  private:
    BurnSelection selection_;
};

struct BurnOutcome {
    bool refused = false;           // stopped before anything was sent
    bool entireUpdated = false;     // the whole image written and compared equal
    bool entireFailed = false;      // the whole image written, but it did not compare equal
    std::uint8_t updatedAreas = 0;  // bit i: area row i burned (the firmware also compared)
    std::uint8_t failedAreas = 0;   // bit i: area row i chosen but not burned
    bool compareFailed = false;
    CompareReport compare;    // where the failed compare met its first difference
    std::string closingText;  // the closing box's text; empty when the burn stopped early
    std::string error;        // why the burn stopped early; empty when it ran to its end

    bool Updated() const { return entireUpdated || updatedAreas != 0; }
};

// Burns `image` on the identified chip. The caller has checked BurnRefusal. Every box the user
// must see is shown here: refusals, the compare failure, a failed step, the closing text.
BurnOutcome RunBurn(UvcHidDevice& device, std::span<const std::uint8_t> image,
                    const FlashIdentity& identity, BurnAreaChoice& choice, MessageBoxes& boxes,
                    FlashProgress* progress);

}  // namespace brimlo::flash
