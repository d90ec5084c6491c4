#include "hid/linux/hidraw_platform.h"
#include "hid/linux/udev_hotplug.h"
#include "session/system_stack.h"

namespace brimlo::session {

std::unique_ptr<hid::HidPlatform> MakeSystemPlatform() {
    return std::make_unique<hid::HidrawPlatform>();
}

std::unique_ptr<hid::HotplugMonitor> MakeSystemHotplug(std::string& error) {
    return hid::UdevHotplugMonitor::Create(error);
}

const char* StateDirVariables() {
    return "HOME or XDG_CACHE_HOME";
}

std::FILE* CreateBinaryStream(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "wb");
}

}  // namespace brimlo::session
