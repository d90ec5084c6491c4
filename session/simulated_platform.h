#pragma once

#include <memory>
#include <string>

#include "hid/hid_platform.h"
#include "session/platform_stack.h"

namespace brimlo::session {

// The emulated device behind a HID stack of its own, keeping its state in `stateDir` (empty:
// the default state directory). Null with `error` set when the state cannot be used.
std::unique_ptr<hid::HidPlatform> MakeSimulatedPlatform(const std::string& stateDir,
                                                        StackError& error);

}  // namespace brimlo::session
