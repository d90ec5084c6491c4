#pragma once
// The texts of the flash commands' message boxes, and the checks the Burn and Dump buttons make
// before they start, so that every front end refuses and reports alike.

#include <optional>
#include <string_view>

#include "flash/flash_identity.h"

namespace brimlo::flash {

inline constexpr std::string_view kCaptionError = "Error";
inline constexpr std::string_view kCaptionInfo = "Info";
// A burn, verify or dump the user stopped.
inline constexpr std::string_view kCaptionStopped = "Stopped";

inline constexpr std::string_view kSelectBurnFile = "Please select the burn file !";
inline constexpr std::string_view kSelectDumpFile = "Please select the dump file !";
inline constexpr std::string_view kExecuteGetId = "Please execute Get ID function !";
inline constexpr std::string_view kNoAreaSelected = "No any item is selected in Other Area !";

inline constexpr std::string_view kCompareFailed = "FlashWrite -- Compare failed";
inline constexpr std::string_view kEntireUpdated =
    "The entire flash has updated, please replug-in device!";
// Follows the names of the areas that were burned.
inline constexpr std::string_view kAreasUpdatedTail = "\n has updated, please replug-in device!";
// Closes a burn that updated nothing: a failed compare and no other area written.
inline constexpr std::string_view kNothingUpdated =
    "Nothing has been updated, please burn again before you replug the device!";
// Follows the closing text when a region of the burn was not updated.
inline constexpr std::string_view kNotUpdatedHeading = "\n\nNot updated:\n";
// Lists what a burn that ended early had updated.
inline constexpr std::string_view kUpdatedHeading = "\n\nUpdated:\n";
// Closes the box of a burn that ended early with a region part-written.
inline constexpr std::string_view kNeedsNewBurn =
    "\nThe board needs a new burn: burn again before you replug the device!";
// Said at the first interrupt of a burn; the second stops it.
inline constexpr std::string_view kBurnInterruptNotice =
    "A burn is running: stopping it now leaves the board needing a new burn.";
inline constexpr std::string_view kBurnInterruptAgain =
    "Press Ctrl+C again to stop at the next report.";
inline constexpr std::string_view kBurnStopped = "The burn was stopped on request.";
// Begins the box of a firmware burn whose last step, marking the firmware valid, failed.
inline constexpr std::string_view kFirmwareNotMarkedValid =
    "The firmware was written and verified, but it could not be marked valid, so the board "
    "will not start it. ";
// Names the whole flash where the area names are listed.
inline constexpr std::string_view kEntireFlashName = "- Entire Flash\n";

inline constexpr std::string_view kDumpFinished = "Dump firmware has finished!";
inline constexpr std::string_view kDiskFullCaption = "Dump Filter failure";
inline constexpr std::string_view kDiskFullText =
    "The disk containing dump file has run out of space, so the dump filter has been "
    "stopped.\r\n\r\nYou must set a new dump file name or restart the graph to clear this "
    "filter error.";

// The refusal of the Burn button, or nothing when the burn may start.
constexpr std::optional<std::string_view> BurnRefusal(bool burnFileLoaded,
                                                      const FlashIdentity& identity) {
    if (!burnFileLoaded) {
        return kSelectBurnFile;
    }
    if (!identity.Identified()) {
        return kExecuteGetId;
    }
    return std::nullopt;
}

// The refusal of the Dump button, or nothing when the dump may start.
constexpr std::optional<std::string_view> DumpRefusal(bool dumpFileOpen,
                                                      const FlashIdentity& identity) {
    if (!dumpFileOpen) {
        return kSelectDumpFile;
    }
    if (!identity.Identified()) {
        return kExecuteGetId;
    }
    return std::nullopt;
}

}  // namespace brimlo::flash
