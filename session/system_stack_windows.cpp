#include "hid/windows/windows_hid_platform.h"
#include "hid/windows/windows_hotplug.h"
#include "session/system_stack.h"

namespace brimlo::session {

std::unique_ptr<hid::HidPlatform> MakeSystemPlatform() {
    return std::make_unique<hid::WindowsHidPlatform>();
}

std::unique_ptr<hid::HotplugMonitor> MakeSystemHotplug(std::string& error) {
    return hid::WindowsHotplugMonitor::Start(hid::SystemCmNotifyApi(), error);
}

const char* StateDirVariables() {
    return "LOCALAPPDATA";
}

// The wide call takes the path's UTF-16 as it is.
std::FILE* CreateBinaryStream(const std::filesystem::path& path) {
    return _wfopen(path.c_str(), L"wb");
}

}  // namespace brimlo::session
