#include "hid/linux/hidraw_platform.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <tuple>
#include <utility>
#include <vector>

#include "hid/linux/hidraw_errors.h"
#include "hid/linux/hidraw_open.h"
#include "hid/linux/linux_hidraw_system.h"
#include "hid/report_descriptor_parser.h"

namespace brimlo::hid {
namespace {

constexpr std::string_view kCollectionMark = "#col";

class HidrawInterfaceSet final : public HidInterfaceSet {
  public:
    explicit HidrawInterfaceSet(std::vector<std::string> paths) : paths_(std::move(paths)) {}

    Status InterfacePath(std::uint32_t index, std::string& path) override {
        if (index >= paths_.size()) {
            return Status::NoMoreItems;
        }
        path = paths_[index];
        return Status::Ok;
    }

  private:
    std::vector<std::string> paths_;
};

// How many top-level collections the node's descriptor has. A node that cannot be read or
// parsed here counts as one, so that opening it says why.
std::size_t TopLevelCollectionCount(HidrawSystem& system, const std::string& devnode) {
    int fd = 0;
    do {
        fd = system.Open(devnode, O_RDONLY | O_CLOEXEC);
    } while (fd == -EINTR);
    if (fd < 0) {
        return 1;
    }
    std::vector<std::uint8_t> descriptor;
    std::string error;
    const bool read = ReadHidrawDescriptor(system, fd, devnode, descriptor, error);
    system.Close(fd);
    std::vector<HidPreparsedData> collections;
    ReportDescriptorError parseError;
    if (!read || !ParseReportDescriptor(descriptor, collections, parseError)) {
        return 1;
    }
    return collections.size();
}

// The node path, and the collection number (1 for the first) of a path that names one.
std::pair<std::string, std::size_t> SplitInterfacePath(const std::string& path) {
    const std::size_t mark = path.rfind(kCollectionMark);
    if (mark == std::string::npos) {
        return {path, 1};
    }
    const char* digits = path.data() + mark + kCollectionMark.size();
    const char* end = path.data() + path.size();
    std::size_t number = 0;
    const auto [stop, status] = std::from_chars(digits, end, number);
    if (status != std::errc{} || stop != end || number == 0) {
        return {path, 1};
    }
    return {path.substr(0, mark), number};
}

}  // namespace

std::string_view DefaultUdevRulePath() {
    // Where the package put the rule, the build tree's copy is not the one to name.
    std::error_code error;
    if (std::filesystem::is_regular_file(kInstalledUdevRulePath, error)) {
        return kInstalledUdevRulePath;
    }
    return BRIMLO_UDEV_RULE_PATH;
}

HidrawPlatform::HidrawPlatform()
    : HidrawPlatform(std::make_shared<LinuxHidrawSystem>(), std::string(DefaultUdevRulePath())) {}

HidrawPlatform::HidrawPlatform(std::shared_ptr<HidrawSystem> system, std::string udevRulePath)
    : system_(std::move(system)), udevRulePath_(std::move(udevRulePath)) {}

std::string HidrawPlatform::CollectionPath(const std::string& devnode, std::size_t collection) {
    char number[24];
    std::snprintf(number, sizeof number, "%02zu", collection);
    return devnode + std::string(kCollectionMark) + number;
}

std::string HidrawPlatform::NodeOf(const std::string& path) {
    return SplitInterfacePath(path).first;
}

std::unique_ptr<HidInterfaceSet> HidrawPlatform::PresentInterfaces(std::string& error) {
    auto nodes = system_->ListNodes(error);
    if (!nodes) {
        return nullptr;
    }
    // udev lists in directory order, which is neither numeric nor stable.
    std::sort(nodes->begin(), nodes->end(), [](const HidrawNode& a, const HidrawNode& b) {
        return std::tie(a.major, a.minor, a.devnode) < std::tie(b.major, b.minor, b.devnode);
    });
    std::vector<std::string> paths;
    for (const HidrawNode& node : *nodes) {
        const std::size_t collections = TopLevelCollectionCount(*system_, node.devnode);
        if (collections == 1) {
            paths.push_back(node.devnode);
            continue;
        }
        for (std::size_t c = 1; c <= collections; ++c) {
            paths.push_back(CollectionPath(node.devnode, c));
        }
    }
    return std::make_unique<HidrawInterfaceSet>(std::move(paths));
}

std::unique_ptr<HidConnection> HidrawPlatform::Open(const std::string& path,
                                                    const HidOpenOptions& /*options*/,
                                                    std::string& error) {
    const auto [devnode, collection] = SplitInterfacePath(path);
    std::unique_ptr<HidrawConnection> connection =
        OpenHidrawNode(system_, devnode, udevRulePath_, error);
    if (connection) {
        connection->SelectTopLevelCollection(collection - 1);
    }
    return connection;
}

BoardLocation HidrawPlatform::Locate(const std::string& path) {
    return system_->LocateUsbDevice(SplitInterfacePath(path).first);
}

}  // namespace brimlo::hid
