#pragma once

#include <memory>
#include <string>

#include "hid/hid_platform.h"

namespace brimlo::cli {

// The emulated device behind a HID stack of its own, keeping its state in `stateDir` (empty:
// the default state directory). Null with `error` set when the state cannot be used.
std::unique_ptr<hid::HidPlatform> MakeSimulatedPlatform(const std::string& stateDir,
                                                        std::string& error);

}  // namespace brimlo::cli
