#pragma once
// Finds the target device's HID interface among all present ones and opens it.

#include <cstdint>
#include <string>
#include <vector>

#include "hid/hid_device_record.h"
#include "hid/hid_platform.h"

namespace brimlo::hid {

inline constexpr std::uint32_t kNoMatchedIndex = 0xFFFF;

// The identifiers looked for and what the last enumeration found.
struct HidMatchState {
    std::uint16_t targetVendorId = 0;
    std::uint16_t targetProductId = 0;
    bool matchFound = false;
    std::uint32_t matchedIndex = kNoMatchedIndex;
    // Why interfaces were skipped in the last enumeration (path: cause), so that a front end
    // can say more than "not found" when, say, permissions hid the device.
    std::vector<std::string> skipped;
};

// Walks the present interfaces in order and opens each until one has the target identifiers
// (an interface is one top-level collection: a device with several is visited once for each);
// that one is the match and the walk stops there. True when the walk ran to its end (match or
// not); `list` then holds one record per visited position (grown 20, 40, 80, ...), of which
// only the matching one holds resources. False when the interfaces could not be listed or
// memory ran out; `list` is then empty.
bool EnumerateHidInterfaces(HidPlatform& platform, HidMatchState& match,
                            std::vector<HidDeviceRecord>& list, std::uint32_t& matchedIndex);

// Opens `path` into `record`. True only when it opened, its identifiers equal the targets and
// its capabilities loaded; on false the record holds nothing. `match.matchFound` is set as
// soon as the identifiers match, even if loading the capabilities then fails.
bool OpenHidInterface(HidPlatform& platform, HidMatchState& match, const std::string& path,
                      const HidOpenOptions& options, HidDeviceRecord& record, std::string& error);

}  // namespace brimlo::hid
