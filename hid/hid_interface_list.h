#pragma once
// A description of every present HID interface, for listing them to the user.

#include <cstdint>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace brimlo::hid {

struct HidInterfaceInfo {
    std::string path;
    bool described = false;  // false: `error` says why nothing else is known
    std::string error;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t version = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::uint16_t inputReportLength = 0;
    std::uint16_t outputReportLength = 0;
    std::uint16_t featureReportLength = 0;
    BoardLocation location;  // also for an interface that could not be described
};

// Opens each present interface in enumeration order and describes it. False, with `error`
// set, when the interfaces cannot be listed at all.
bool DescribeHidInterfaces(HidPlatform& platform, std::vector<HidInterfaceInfo>& interfaces,
                           std::string& error);

}  // namespace brimlo::hid
