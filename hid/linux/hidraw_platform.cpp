#include "hid/linux/hidraw_platform.h"

#include <algorithm>
#include <filesystem>
#include <tuple>
#include <utility>
#include <vector>

#include "hid/linux/hidraw_errors.h"
#include "hid/linux/hidraw_open.h"
#include "hid/linux/linux_hidraw_system.h"

namespace brimlo::hid {
namespace {

class HidrawInterfaceSet final : public HidInterfaceSet {
  public:
    explicit HidrawInterfaceSet(std::vector<HidrawNode> nodes) : nodes_(std::move(nodes)) {}

    Status InterfacePath(std::uint32_t index, std::string& path) override {
        if (index >= nodes_.size()) {
            return Status::NoMoreItems;
        }
        path = nodes_[index].devnode;
        return Status::Ok;
    }

  private:
    std::vector<HidrawNode> nodes_;
};

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

std::unique_ptr<HidInterfaceSet> HidrawPlatform::PresentInterfaces(std::string& error) {
    auto nodes = system_->ListNodes(error);
    if (!nodes) {
        return nullptr;
    }
    // udev lists in directory order, which is neither numeric nor stable.
    std::sort(nodes->begin(), nodes->end(), [](const HidrawNode& a, const HidrawNode& b) {
        return std::tie(a.major, a.minor, a.devnode) < std::tie(b.major, b.minor, b.devnode);
    });
    return std::make_unique<HidrawInterfaceSet>(std::move(*nodes));
}

std::unique_ptr<HidConnection> HidrawPlatform::Open(const std::string& path,
                                                    const HidOpenOptions& /*options*/,
                                                    std::string& error) {
    return OpenHidrawNode(system_, path, udevRulePath_, error);
}

}  // namespace brimlo::hid
