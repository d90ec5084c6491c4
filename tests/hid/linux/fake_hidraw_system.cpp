#include "tests/hid/linux/fake_hidraw_system.h"

#include <linux/hidraw.h>
#include <malloc.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace brimlo::hid::testing {
namespace {

constexpr unsigned long kSizeBits = static_cast<unsigned long>(_IOC_SIZEMASK) << _IOC_SIZESHIFT;
// The kernel's HID_MAX_BUFFER_SIZE on current kernels.
constexpr std::size_t kKernelMaxReport = 16384;

}  // namespace

int FakeHidrawSystem::Open(const std::string& path, int /*flags*/) {
    const auto node = nodes.find(path);
    if (node == nodes.end()) {
        return -ENOENT;
    }
    if (node->second.openErrno != 0) {
        return -node->second.openErrno;
    }
    const int fd = nextFd_++;
    openFds.insert(fd);
    fdPaths_[fd] = path;
    return fd;
}

void FakeHidrawSystem::Close(int fd) {
    openFds.erase(fd);
    fdPaths_.erase(fd);
}

int FakeHidrawSystem::Ioctl(int fd, unsigned long request, void* argument) {
    const auto path = fdPaths_.find(fd);
    if (path == fdPaths_.end()) {
        return -EBADF;
    }
    const Node& node = nodes.at(path->second);
    switch (request) {
        case HIDIOCGRAWINFO:
        case HIDIOCGRDESCSIZE:
        case HIDIOCGRDESC:
            return NodeIoctl(node, request, argument);
        default:
            return ReportIoctl(request, static_cast<std::uint8_t*>(argument));
    }
}

int FakeHidrawSystem::NodeIoctl(const Node& node, unsigned long request, void* argument) {
    if (request == HIDIOCGRAWINFO) {
        if (node.rawInfoErrno != 0) {
            return -node.rawInfoErrno;
        }
        hidraw_devinfo info{};
        info.bustype = 3;
        info.vendor = node.vendor;
        info.product = node.product;
        std::memcpy(argument, &info, sizeof info);
        return 0;
    }
    if (node.descriptorErrno != 0) {
        return -node.descriptorErrno;
    }
    if (request == HIDIOCGRDESCSIZE) {
        *static_cast<int*>(argument) = static_cast<int>(node.descriptor.size());
        return 0;
    }
    auto* descriptor = static_cast<hidraw_report_descriptor*>(argument);
    if (descriptor->size > HID_MAX_DESCRIPTOR_SIZE - 1) {
        return -EINVAL;
    }
    std::copy_n(node.descriptor.begin(),
                std::min<std::size_t>(descriptor->size, node.descriptor.size()), descriptor->value);
    return 0;
}

int FakeHidrawSystem::ReportIoctl(unsigned long request, std::uint8_t* buffer) {
    ++reportIoctls;
    if (!reportErrnos.empty()) {
        const int error = reportErrnos.front();
        reportErrnos.pop_front();
        if (error != 0) {
            return -error;
        }
    }
    const std::size_t count = _IOC_SIZE(request);
    if (count < 2 || count > kKernelMaxReport) {
        return -EINVAL;
    }
    const std::size_t capacity = malloc_usable_size(buffer);

    if ((request & ~kSizeBits) == HIDIOCSOUTPUT(0)) {
        // usbhid leaves a leading 0 (report ID 0) off the wire and counts it in its result.
        const std::size_t skipped = buffer[0] == 0 ? 1 : 0;
        if (recording) {
            outputs.push_back({count, {buffer + skipped, buffer + count}, capacity});
        }
        return static_cast<int>(count);
    }
    if ((request & ~kSizeBits) == HIDIOCGINPUT(0)) {
        // usbhid asks a report-ID-0 device for count - 1 bytes and stores them at buf + 1.
        const std::uint8_t reportId = buffer[0];
        const std::size_t skipped = reportId == 0 ? 1 : 0;
        const std::size_t wLength = count - skipped;
        const std::size_t sent = std::min(reply.size(), wLength);
        std::copy_n(reply.begin(), sent, buffer + skipped);
        if (recording) {
            gets.push_back({reportId, count, wLength, capacity});
        }
        return static_cast<int>(sent == 0 ? 0 : sent + skipped);
    }
    return -ENOTTY;
}

std::optional<std::vector<HidrawNode>> FakeHidrawSystem::ListNodes(std::string& error) {
    if (!listing) {
        error = listingError;
    }
    return listing;
}

std::optional<UsbInterfaceInfo> FakeHidrawSystem::DescribeUsbInterface(const std::string& devnode) {
    const auto node = nodes.find(devnode);
    return node == nodes.end() ? std::nullopt : node->second.usb;
}

}  // namespace brimlo::hid::testing
