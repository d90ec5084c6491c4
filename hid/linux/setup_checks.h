#pragma once
// The checks behind `brimlo-hid doctor`: whether this Linux machine is set up so that the tool
// can use the device without root. Everything is read below one root directory (proc/, sys/,
// dev/, etc/, usr/lib/), so that tests can build a fake machine in a temporary folder.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "hid/setup_check.h"

namespace brimlo::hid {

struct SetupCheckOptions {
    std::filesystem::path root = "/";
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string ruleFileName = "70-brimlo-hid.rules";
    // Where the build put its copy of the rule, named in the fix when none is installed.
    std::string buildRulePath;
    // 0 when this user may read and write the node, else the errno of the refusal.
    std::function<int(const std::filesystem::path& node)> accessError;
};

// The kernel, the installed rule, then for every hidraw node of the device: access, the way
// output reports travel, and the port's speed. A missing device is one failed check.
std::vector<SetupCheck> CheckSetup(const SetupCheckOptions& options);

// "6.1.0-13-amd64" -> true when at least major.minor; false when it cannot be read.
bool KernelAtLeast(const std::string& release, int major, int minor);

// The 0x40000 flag (output reports as SET_REPORT) for vid:pid in usbhid's "quirks" parameter,
// a comma-separated list of "0xVVVV:0xPPPP:0xFLAGS".
bool HasNoInterruptOutputQuirk(const std::string& quirks, std::uint16_t vendorId,
                               std::uint16_t productId);

// access(2) with read and write for this process's real user: 0 or errno.
int NodeAccessError(const std::filesystem::path& node);

}  // namespace brimlo::hid
