#include "sim/sim_platform.h"

#include "sim/sim_connection.h"

namespace brimlo::sim {
namespace {

// Lists the device while it is plugged in.
class SimInterfaceSet final : public hid::HidInterfaceSet {
  public:
    explicit SimInterfaceSet(std::string path) : path_(std::move(path)) {}

    Status InterfacePath(std::uint32_t index, std::string& path) override {
        if (index > 0 || path_.empty()) {
            return Status::NoMoreItems;
        }
        path = path_;
        return Status::Ok;
    }

  private:
    std::string path_;  // empty when nothing is present
};

}  // namespace

SimPlatform::SimPlatform(std::filesystem::path stateDir) : stateDir_(std::move(stateDir)) {}

SimPlatform::SimPlatform(std::shared_ptr<SimDevice> device) : device_(std::move(device)) {}

std::shared_ptr<SimDevice> SimPlatform::Device(std::string& error) {
    if (!device_ && stateDir_) {
        device_ = SimDevice::Load(*stateDir_, error);
    }
    return device_;
}

std::unique_ptr<hid::HidInterfaceSet> SimPlatform::PresentInterfaces(std::string& error) {
    const std::shared_ptr<SimDevice> device = Device(error);
    if (!device) {
        return nullptr;
    }
    return std::make_unique<SimInterfaceSet>(device->Present() ? device->Path() : std::string());
}

std::unique_ptr<hid::HidConnection> SimPlatform::Open(const std::string& path,
                                                      const hid::HidOpenOptions& /*options*/,
                                                      std::string& error) {
    const std::shared_ptr<SimDevice> device = Device(error);
    if (!device) {
        return nullptr;
    }
    if (path != device->Path() || !device->Present()) {
        error = path + ": no such device";
        return nullptr;
    }
    return std::make_unique<SimConnection>(device);
}

hid::BoardLocation SimPlatform::Locate(const std::string& path) {
    std::string error;
    const std::shared_ptr<SimDevice> device = Device(error);
    if (!device || path != device->Path()) {
        return {};
    }
    return {device->Config().port, device->Config().serial};
}

}  // namespace brimlo::sim
