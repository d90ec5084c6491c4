#include "hid/linux/udev_hidraw.h"

#include <libudev.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <memory>

#include "hid/linux/hidraw_errors.h"

namespace brimlo::hid {
namespace {

struct UdevDeleter {
    void operator()(udev* context) const { udev_unref(context); }
    void operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
};
using UdevPtr = std::unique_ptr<udev, UdevDeleter>;
using EnumeratePtr = std::unique_ptr<udev_enumerate, UdevDeleter>;
using DevicePtr = std::unique_ptr<udev_device, UdevDeleter>;

// libudev returns -errno from its int calls.
std::string CallFailed(const char* call, int result) {
    return std::string(call) + " failed: " + ErrnoText(-result);
}

}  // namespace

std::optional<std::vector<HidrawNode>> ListHidrawNodesWithUdev(std::string& error) {
    const UdevPtr context(udev_new());
    if (!context) {
        error = std::string("udev_new() failed: ") + ErrnoText(errno);
        return std::nullopt;
    }
    const EnumeratePtr enumerate(udev_enumerate_new(context.get()));
    if (!enumerate) {
        error = std::string("udev_enumerate_new() failed: ") + ErrnoText(errno);
        return std::nullopt;
    }
    if (const int result = udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw");
        result < 0) {
        error = CallFailed("udev_enumerate_add_match_subsystem(hidraw)", result);
        return std::nullopt;
    }
    if (const int result = udev_enumerate_scan_devices(enumerate.get()); result < 0) {
        error = CallFailed("udev_enumerate_scan_devices(hidraw)", result);
        return std::nullopt;
    }

    std::vector<HidrawNode> nodes;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        // A device that vanished between the scan and this look-up is simply not listed.
        const DevicePtr device(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!device) {
            continue;
        }
        const dev_t number = udev_device_get_devnum(device.get());
        const char* devnode = udev_device_get_devnode(device.get());
        HidrawNode node;
        // Without a running udev daemon the node name still follows the kernel's naming.
        node.devnode =
            devnode ? devnode : std::string("/dev/") + udev_device_get_sysname(device.get());
        node.major = major(number);
        node.minor = minor(number);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::optional<UsbSysfsDirectories> FindUsbSysfsDirectories(dev_t devnum) {
    const UdevPtr context(udev_new());
    if (!context) {
        return std::nullopt;
    }
    const DevicePtr device(udev_device_new_from_devnum(context.get(), 'c', devnum));
    if (!device) {
        return std::nullopt;
    }
    // Parents belong to `device` and are freed with it.
    udev_device* interface =
        udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_interface");
    udev_device* usbDevice =
        udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_device");
    if (!interface || !usbDevice) {
        return std::nullopt;
    }
    return UsbSysfsDirectories{udev_device_get_syspath(interface),
                               udev_device_get_syspath(usbDevice)};
}

}  // namespace brimlo::hid
