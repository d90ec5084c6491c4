#include "hid/windows/windows_hid_platform.h"
#include "session/system_stack.h"

namespace brimlo::session {

std::unique_ptr<hid::HidPlatform> MakeSystemPlatform() {
    return std::make_unique<hid::WindowsHidPlatform>();
}

// Waiting for devices to be plugged in needs the system's device notifications, which only the
// Linux build listens to so far.
std::unique_ptr<hid::HotplugMonitor> MakeSystemHotplug(std::string& error) {
    error = "waiting for boards to be plugged in works on Linux only for now";
    return nullptr;
}

const char* StateDirVariables() {
    return "LOCALAPPDATA";
}

// The wide call takes the path's UTF-16 as it is.
std::FILE* CreateBinaryStream(const std::filesystem::path& path) {
    return _wfopen(path.c_str(), L"wb");
}

}  // namespace brimlo::session
