#pragma once
// Opening one hidraw node into a connection: the node itself, its identity and its report
// descriptor.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hid/linux/hidraw_connection.h"
#include "hid/linux/hidraw_system.h"

namespace brimlo::hid {

// Opens the node at `path` and reads its identifiers, release number and report descriptor.
// Null, with `error` naming the failing call, the path and the cause, when any step fails;
// nothing stays open then. When the user lacks permission, `error` tells how to install the
// udev rule at `udevRulePath`, and the same text goes to the debug output.
std::unique_ptr<HidrawConnection> OpenHidrawNode(const std::shared_ptr<HidrawSystem>& system,
                                                 const std::string& path,
                                                 std::string_view udevRulePath, std::string& error);

// Reads the report descriptor of the node open on `fd` at `path`. False, with `error` naming the
// failing call, the path and the cause, when it cannot be read.
bool ReadHidrawDescriptor(HidrawSystem& system, int fd, const std::string& path,
                          std::vector<std::uint8_t>& descriptor, std::string& error);

}  // namespace brimlo::hid
