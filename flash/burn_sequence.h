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
#include "commands/stop_request.h"
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
    bool stopped = false;           // ended early because a stop was requested
    bool entireUpdated = false;     // the whole image written and compared equal
    bool entireFailed = false;      // the whole flash chosen but not updated
    std::uint8_t updatedAreas = 0;  // bit i: area row i burned (the firmware also compared)
    std::uint8_t failedAreas = 0;   // bit i: area row i chosen but not burned
    bool compareFailed = false;
    // The firmware was written and compared equal, but the flag that marks it valid could not
    // be set: the board will not start it until it is burned again.
    bool firmwareNotMarkedValid = false;
    // A region was left part-written (stopped or failed mid-way): the board needs a new burn.
    bool needsNewBurn = false;
    CompareReport compare;    // where the failed compare met its first difference
    std::string closingText;  // the closing box's text; empty when the burn ended early
    std::string error;        // why the burn ended early; empty when it ran to its end

    bool Updated() const { return entireUpdated || updatedAreas != 0; }
};

// Burns `image` on the identified chip. The caller has checked BurnRefusal. Every box the user
// must see is shown here: refusals, the compare failure, a failed step, the closing text.
// Before anything is sent, a device whose flash reports cannot compare what the choice burns
// is refused. `stop`, when given, is checked at every report boundary and between regions
// (never between a firmware's compare and the flag that marks it valid); a stopped burn says
// which areas were and were not updated, in its box and in the outcome.
BurnOutcome RunBurn(UvcHidDevice& device, std::span<const std::uint8_t> image,
                    const FlashIdentity& identity, BurnAreaChoice& choice, MessageBoxes& boxes,
                    FlashProgress* progress, const StopRequest* stop = nullptr);

}  // namespace brimlo::flash
