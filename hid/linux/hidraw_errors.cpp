#include "hid/linux/hidraw_errors.h"

#include <cerrno>
#include <cstring>

namespace brimlo::hid {

std::string ErrnoText(int error) {
    char text[256];
    // The GNU strerror_r returns the text, in `text` or in a static string.
    return strerror_r(error, text, sizeof text);
}

std::string UdevRuleAdvice(std::string_view rulePath) {
    const std::string rule(rulePath);
    if (rulePath == kInstalledUdevRulePath) {
        return "this user may not open the device's hidraw nodes although the udev rule " + rule +
               " is installed; replug the device (the rule gives access to the user logged in "
               "at the seat; for a station without one see the group alternative in the rule) "
               "and run 'brimlo-hid doctor' to see what is missing";
    }
    return "this user may not open the device's hidraw nodes; install the udev rule " + rule +
           " with 'sudo cp " + rule +
           " /etc/udev/rules.d/ && sudo udevadm control --reload-rules && sudo udevadm trigger'"
           ", then replug the device";
}

std::string ExplainReportError(int error) {
    std::string text = ErrnoText(error);
    switch (error) {
        case EPIPE:
            text += " (the device stalled the request: it refused this report)";
            break;
        case ENODEV:
        case ESHUTDOWN:
        case EIO:
            text += " (the device is gone or was reset; replug it and open it again)";
            break;
        case ETIMEDOUT:
            text += " (the device did not answer within the kernel's control timeout)";
            break;
        case EINVAL:
            text += " (the kernel refused the report length)";
            break;
        case ENOTTY:
            text +=
                " (the node does not take this hidraw request; input and output report "
                "requests need Linux 5.11 or later)";
            break;
        default:
            break;
    }
    return text;
}

}  // namespace brimlo::hid
