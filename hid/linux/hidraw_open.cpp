#include "hid/linux/hidraw_open.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <vector>

#include "hid/debug_output.h"
#include "hid/linux/hidraw_errors.h"

namespace brimlo::hid {
namespace {

// " (USB device 1209:0001)", so that the reader can tell whether the node is the one wanted.
std::string UsbIdentity(const std::optional<UsbInterfaceInfo>& usb) {
    if (!usb) {
        return "";
    }
    char text[32];
    std::snprintf(text, sizeof text, " (USB device %04x:%04x)", usb->idVendor, usb->idProduct);
    return text;
}

std::unique_ptr<HidrawConnection> CloseAfterFailure(HidrawSystem& system, int fd,
                                                    std::string& error, std::string text) {
    system.Close(fd);
    error = std::move(text);
    return nullptr;
}

std::string IoctlFailed(const char* request, const std::string& path, int result) {
    return std::string("ioctl(") + request + ") on " + path + " failed: " + ErrnoText(-result);
}

}  // namespace

bool ReadHidrawDescriptor(HidrawSystem& system, int fd, const std::string& path,
                          std::vector<std::uint8_t>& descriptor, std::string& error) {
    int descriptorSize = 0;
    if (const int result = system.Ioctl(fd, HIDIOCGRDESCSIZE, &descriptorSize); result < 0) {
        error = IoctlFailed("HIDIOCGRDESCSIZE", path, result);
        return false;
    }
    if (descriptorSize < 0 || descriptorSize > HID_MAX_DESCRIPTOR_SIZE) {
        error = "ioctl(HIDIOCGRDESCSIZE) on " + path + " gave " + std::to_string(descriptorSize) +
                " bytes, more than a report descriptor can hold";
        return false;
    }
    auto raw = std::make_unique<hidraw_report_descriptor>();
    raw->size = static_cast<__u32>(descriptorSize);
    if (const int result = system.Ioctl(fd, HIDIOCGRDESC, raw.get()); result < 0) {
        error = IoctlFailed("HIDIOCGRDESC", path, result);
        return false;
    }
    descriptor.assign(raw->value, raw->value + descriptorSize);
    return true;
}

std::unique_ptr<HidrawConnection> OpenHidrawNode(const std::shared_ptr<HidrawSystem>& system,
                                                 const std::string& path,
                                                 std::string_view udevRulePath,
                                                 std::string& error) {
    // The report ioctls would also work on a read-only descriptor; asking for read and write
    // makes a node that the udev rule has not opened up fail here, with a permission error.
    int fd = 0;
    do {
        fd = system->Open(path, O_RDWR | O_CLOEXEC);
    } while (fd == -EINTR);
    if (fd < 0) {
        error = "open(" + path + ") failed: " + ErrnoText(-fd);
        if (fd == -EACCES || fd == -EPERM) {
            error += UsbIdentity(system->DescribeUsbInterface(path)) + "; " +
                     UdevRuleAdvice(udevRulePath);
            DebugOutput("hidraw: " + error + "\n");
        } else if (fd == -EBUSY) {
            error += " (another program is using the device)" + std::string(kHeldElsewhere);
        }
        return nullptr;
    }

    hidraw_devinfo info{};
    if (const int result = system->Ioctl(fd, HIDIOCGRAWINFO, &info); result < 0) {
        return CloseAfterFailure(*system, fd, error, IoctlFailed("HIDIOCGRAWINFO", path, result));
    }
    std::vector<std::uint8_t> descriptor;
    if (!ReadHidrawDescriptor(*system, fd, path, descriptor, error)) {
        system->Close(fd);
        return nullptr;
    }

    // The kernel keeps the identifiers as signed 16-bit values.
    HiddAttributes attributes;
    attributes.VendorID = static_cast<std::uint16_t>(info.vendor);
    attributes.ProductID = static_cast<std::uint16_t>(info.product);
    const auto usb = system->DescribeUsbInterface(path);
    attributes.VersionNumber = usb ? usb->bcdDevice : 0;
    return std::make_unique<HidrawConnection>(system, fd, path, attributes, std::move(descriptor),
                                              usb);
}

}  // namespace brimlo::hid
