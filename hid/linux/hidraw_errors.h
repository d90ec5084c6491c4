#pragma once
// The texts the hidraw stack puts into its errors: errno descriptions and what a failure means
// for the user.

#include <string>
#include <string_view>

namespace brimlo::hid {

// strerror() text of `error`, safe to call from any thread.
std::string ErrnoText(int error);

// Where the package installs the udev rule.
inline constexpr std::string_view kInstalledUdevRulePath =
    "/usr/lib/udev/rules.d/70-brimlo-hid.rules";

// Tells how to grant this user access to the device's hidraw nodes with `rulePath`: a copy to
// install, or the installed rule, which then only needs the device replugged.
std::string UdevRuleAdvice(std::string_view rulePath);

// strerror() text of an errno from a report exchange, followed by what it means for the device
// when that is known (a stall, an unplug, a missing kernel feature).
std::string ExplainReportError(int error);

}  // namespace brimlo::hid
