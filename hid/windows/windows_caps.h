#pragma once
// Windows gives applications no report descriptor, only what its own HID parser made of it:
// that is read here and turned into the library's capability types.

#include <string>

#include "hid/hid_caps.h"
#include "hid/windows/win_hid_api.h"

namespace brimlo::hid {

// The capabilities of the interface open on `handle`, or false with `error` naming the call
// that failed.
bool ReadWindowsCapabilities(const WinHidApi& api, HANDLE handle, HidPreparsedData& data,
                             std::string& error);

}  // namespace brimlo::hid
