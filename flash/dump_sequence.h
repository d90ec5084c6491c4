#pragma once
// The dump: the whole flash, from address 0 to the flash size Get ID found, into a sink (the
// dump file), chunk by chunk. Holds the device exclusively from start to end.

#include <cstdint>
#include <string>

#include "commands/flash_progress.h"
#include "commands/message_boxes.h"
#include "commands/stop_request.h"
#include "commands/uvc_hid_device.h"
#include "flash/dump_file.h"
#include "flash/flash_identity.h"

namespace brimlo::flash {

struct DumpOutcome {
    bool completed = false;
    bool stopped = false;           // ended early because a stop was requested
    std::uint32_t bytesDumped = 0;  // bytes the sink stored
    std::string location;           // RunDumpToFile: where those bytes are; empty when nowhere
    std::string error;              // why the dump ended early; empty when it completed
};

// Dumps the identified chip into `sink`. The caller has checked DumpRefusal. A device whose
// flash reports cannot carry a dump is refused before anything is sent. A sink that stores
// less than it was given tells the user itself; every other failure, the stop and the
// completion are shown here. `stop`, when given, is checked at every report boundary: the
// report in flight is finished and stored first.
DumpOutcome RunDump(UvcHidDevice& device, const FlashIdentity& identity, FlashChunkSink& sink,
                    MessageBoxes& boxes, FlashProgress* progress,
                    const StopRequest* stop = nullptr);

// RunDump into an opened `file`, which it then settles: renamed to its chosen name when the
// dump completed, else kept under its partial name (DumpFile). The closing box and
// outcome.location say where the bytes are; a partial file kept after the file's own box gets
// the closing box too.
DumpOutcome RunDumpToFile(UvcHidDevice& device, const FlashIdentity& identity, DumpFile& file,
                          MessageBoxes& boxes, FlashProgress* progress,
                          const StopRequest* stop = nullptr);

}  // namespace brimlo::flash
