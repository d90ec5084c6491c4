#include "hid/linux/udev_hotplug.h"

#include <libudev.h>

#include <cerrno>
#include <cstring>

#include "hid/linux/hidraw_errors.h"
#include "hid/linux/hidraw_platform.h"

namespace brimlo::hid {

std::unique_ptr<UdevHotplugMonitor> UdevHotplugMonitor::Create(std::string& error) {
    udev* context = udev_new();
    if (context == nullptr) {
        error = std::string("udev_new() failed: ") + ErrnoText(errno);
        return nullptr;
    }
    // Events after udev's rules ran, so the node exists and has its permissions.
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (monitor == nullptr) {
        error = std::string("udev_monitor_new_from_netlink() failed: ") + ErrnoText(errno);
        udev_unref(context);
        return nullptr;
    }
    std::unique_ptr<UdevHotplugMonitor> result(new UdevHotplugMonitor(context, monitor));
    if (const int r = udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr);
        r < 0) {
        error = std::string("udev_monitor_filter_add_match_subsystem_devtype(hidraw) failed: ") +
                ErrnoText(-r);
        return nullptr;
    }
    if (const int r = udev_monitor_enable_receiving(monitor); r < 0) {
        error = std::string("udev_monitor_enable_receiving() failed: ") + ErrnoText(-r);
        return nullptr;
    }
    return result;
}

UdevHotplugMonitor::~UdevHotplugMonitor() {
    udev_monitor_unref(monitor_);
    udev_unref(context_);
}

int UdevHotplugMonitor::EventFd() const {
    return udev_monitor_get_fd(monitor_);
}

void UdevHotplugMonitor::Settle() {
    // The monitor's socket does not block: this takes what is queued and returns.
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        const char* node = udev_device_get_devnode(device);
        if (action != nullptr && node != nullptr &&
            (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) {
            ++generations_[node];
        }
        udev_device_unref(device);
    }
}

std::uint64_t UdevHotplugMonitor::PlugGeneration(const std::string& path) const {
    const auto found = generations_.find(HidrawPlatform::NodeOf(path));
    return found == generations_.end() ? 0 : found->second;
}

}  // namespace brimlo::hid
