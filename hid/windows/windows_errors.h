#pragma once
// The system's own text for a Windows error code.

#include <string>

#include "hid/windows/win_hid_api.h"

namespace brimlo::hid {

// "The system cannot find the file specified. (error 2)"; the code alone when the system has
// no text for it.
std::string WindowsErrorText(const WinHidApi& api, DWORD error);

}  // namespace brimlo::hid
