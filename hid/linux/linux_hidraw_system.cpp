#include "hid/linux/linux_hidraw_system.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "hid/linux/sysfs_usb_interface.h"
#include "hid/linux/udev_hidraw.h"
#include "hid/linux/usb_port.h"

namespace brimlo::hid {

int LinuxHidrawSystem::Open(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags);
    return fd < 0 ? -errno : fd;
}

void LinuxHidrawSystem::Close(int fd) {
    // Not retried on EINTR: Linux releases the descriptor even then.
    ::close(fd);
}

int LinuxHidrawSystem::Ioctl(int fd, unsigned long request, void* argument) {
    const int result = ::ioctl(fd, request, argument);
    return result < 0 ? -errno : result;
}

std::optional<std::vector<HidrawNode>> LinuxHidrawSystem::ListNodes(std::string& error) {
    return ListHidrawNodesWithUdev(error);
}

std::optional<UsbInterfaceInfo> LinuxHidrawSystem::DescribeUsbInterface(
    const std::string& devnode) {
    struct stat status {};
    if (::stat(devnode.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) {
        return std::nullopt;
    }
    const auto directories = FindUsbSysfsDirectories(status.st_rdev);
    if (!directories) {
        return std::nullopt;
    }
    return ReadUsbInterfaceInfo(directories->interfaceDir, directories->deviceDir);
}

BoardLocation LinuxHidrawSystem::LocateUsbDevice(const std::string& devnode) {
    struct stat status {};
    if (::stat(devnode.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) {
        return {};
    }
    const auto directories = FindUsbSysfsDirectories(status.st_rdev);
    return directories ? ReadUsbLocation(directories->deviceDir) : BoardLocation{};
}

}  // namespace brimlo::hid
