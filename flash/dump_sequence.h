#pragma once
// The dump: the whole flash, from address 0 to the flash size Get ID found, into a sink (the
// dump file), chunk by chunk. Holds the device exclusively from start to end.

#include <cstdint>
#include <string>

#include "commands/flash_progress.h"
#include "commands/message_boxes.h"
#include "commands/uvc_hid_device.h"
#include "flash/flash_identity.h"

namespace brimlo::flash {

struct DumpOutcome {
    bool completed = false;
    std::uint32_t bytesDumped = 0;  // bytes the sink stored
    std::string error;              // why the dump stopped; empty when it completed
};

// Dumps the identified chip into `sink`. The caller has checked DumpRefusal. A sink that stores
// less than it was given tells the user itself; every other failure, and the completion, is
// shown here.
DumpOutcome RunDump(UvcHidDevice& device, const FlashIdentity& identity, FlashChunkSink& sink,
                    MessageBoxes& boxes, FlashProgress* progress);

}  // namespace brimlo::flash
