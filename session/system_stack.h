#pragma once
// What differs between the systems in a HID stack: the stack of real devices, what tells when
// they come and go, and where the emulated device's default state directory comes from.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "hid/hid_platform.h"
#include "hid/hotplug_monitor.h"

namespace brimlo::session {

// This machine's HID stack: hidraw on Linux, SetupAPI and hid.dll on Windows.
std::unique_ptr<hid::HidPlatform> MakeSystemPlatform();

// What tells when this machine's devices come and go; null with `error` saying why.
std::unique_ptr<hid::HotplugMonitor> MakeSystemHotplug(std::string& error);

// The environment variables the default state directory is made from, as a message names
// them: "set ... or pass --sim-state DIR".
const char* StateDirVariables();

// Creates or empties `path` for writing in binary mode; null with errno set when it cannot.
std::FILE* CreateBinaryStream(const std::filesystem::path& path);

}  // namespace brimlo::session
