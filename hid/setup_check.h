#pragma once
// One finding of `brimlo-hid doctor`.

#include <string>

namespace brimlo::hid {

struct SetupCheck {
    // What was checked: "kernel", "udev rule", "device", "access", "output reports", "reports",
    // "speed".
    std::string name;
    bool ok = false;
    std::string text;  // what was found
    std::string fix;   // what to do; empty when ok
};

}  // namespace brimlo::hid
