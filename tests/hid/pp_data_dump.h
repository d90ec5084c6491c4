#pragma once
// Reads the text dumps of Windows' preparsed data that hidapi keeps with its test data
// ("pp_data->cap[0]->UsagePage = 0x000C" lines) into the capability types, as the Windows stack
// reads them through HidP_GetCaps, HidP_GetButtonCaps, HidP_GetValueCaps and
// HidP_GetLinkCollectionNodes.

#include <string>

#include "hid/hid_caps.h"

namespace brimlo::hid::testing {

struct PpDataDump {
    HidPreparsedData data;
    // The top-level collection the dump is of, 0 for the first: Windows names it in the
    // interface path ("&col02") when a device has several.
    std::size_t collection = 0;
};

// False, with `error` naming the missing or malformed line, when `text` is not such a dump.
bool ReadPpDataDump(const std::string& text, PpDataDump& dump, std::string& error);

}  // namespace brimlo::hid::testing
