#pragma once
// Verify: reads back the regions a burn would write and compares them with the burn image,
// over each whole region, writing nothing. Tells where the flash differs and by how much.

#include <span>
#include <string>
#include <vector>

#include "commands/flash_progress.h"
#include "commands/stop_request.h"
#include "commands/uvc_hid_device.h"
#include "flash/burn_plan.h"
#include "flash/flash_identity.h"

namespace brimlo::flash {

struct RegionCheck {
    BurnRegion region;
    CompareReport compare;  // compare.mismatch: the region differs from the image
};

struct VerifyOutcome {
    std::vector<RegionCheck> regions;  // the regions compared in full, in burn order
    std::string error;                 // why the verify stopped; empty when it compared all
    bool stopped = false;              // it stopped because a stop was requested

    bool Differs() const;
};

// Compares every region `selection` names on the identified chip. Holds the device
// exclusively while it runs. `stop`, when given, is checked at every report boundary.
VerifyOutcome RunVerify(UvcHidDevice& device, std::span<const std::uint8_t> image,
                        const FlashIdentity& identity, const BurnSelection& selection,
                        FlashProgress* progress, const StopRequest* stop = nullptr);

}  // namespace brimlo::flash
