#pragma once
// The texts the hidraw stack puts into its errors: errno descriptions and what a failure means
// for the user.

#include <string>
#include <string_view>

namespace brimlo::hid {

// strerror() text of `error`, safe to call from any thread.
std::string ErrnoText(int error);

// Tells how to grant this user access to the device's hidraw nodes with `rulePath`.
std::string UdevRuleAdvice(std::string_view rulePath);

// strerror() text of an errno from a report exchange, followed by what it means for the device
// when that is known (a stall, an unplug, a missing kernel feature).
std::string ExplainReportError(int error);

}  // namespace brimlo::hid
