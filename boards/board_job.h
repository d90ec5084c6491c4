#pragma once
// One flash job (Get ID, burn, verify or dump) on one board of a shared HID stack, on the
// calling thread: the board gets its own device object, so jobs on other boards run beside it.
// Nothing is asked of a user: boxes become the report's message.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "boards/board_list.h"
#include "boards/board_status.h"
#include "commands/stop_request.h"
#include "commands/uvc_hid_device.h"
#include "flash/burn_image.h"
#include "flash/burn_plan.h"
#include "hid/hid_platform.h"

namespace brimlo::boards {

enum class JobKind { Id, Burn, Verify, Dump };

struct JobSpec {
    JobKind kind = JobKind::Id;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // Burn and verify: loaded and checked once, read by every job at once.
    std::shared_ptr<const flash::BurnImage> image;
    flash::BurnSelection selection;
    // Burn: read everything back afterwards, the areas the burn does not compare included.
    bool verifyAfterBurn = false;
    bool replaceDump = false;
};

enum class JobResult {
    Ok,
    Failed,         // an exchange, the device or a file failed
    CompareFailed,  // the flash differs from the image
    NoDevice,       // the board could not be opened
    Stopped,        // a stop was requested
    Unplugged,      // the board went away during the job
};

// Stable words for tables, logs and JSON: "ok", "failed", "compare_failed", ...
const char* ResultWord(JobResult result);

struct BoardReport {
    Board board;
    JobResult result = JobResult::Failed;
    std::string message;  // why it failed, or the closing text of a burn
    std::string chip;     // the flash chip's name, once Get ID answered
    std::uint32_t flashSize = 0;
    std::optional<CompareReport> firstDifference;  // on a compare failure
    std::uint8_t updatedAreas = 0;                 // burn: bit i, area row i
    bool entireUpdated = false;
    std::uint64_t bytes = 0;   // dump: bytes stored
    std::string dumpLocation;  // dump: where they are
    double seconds = 0;
};

// Runs `jobSpec` on `board` (found on `platform` by its path). `dumpPath` is the dump's file.
// `stop`, when given, ends the job at the next report boundary.
BoardReport RunBoardJob(hid::HidPlatform& platform, const Board& board, const JobSpec& jobSpec,
                        const std::string& dumpPath, BoardStatus& status, const StopRequest* stop);

// Whether an interface at `path` is listed on `platform` now.
bool BoardPresent(hid::HidPlatform& platform, const std::string& path);

}  // namespace brimlo::boards
