#include "session/single_interface_platform.h"

namespace brimlo::session {
namespace {

class OnePath final : public hid::HidInterfaceSet {
  public:
    explicit OnePath(std::string path) : path_(std::move(path)) {}
    Status InterfacePath(std::uint32_t index, std::string& path) override {
        if (index > 0) {
            return Status::NoMoreItems;
        }
        path = path_;
        return Status::Ok;
    }

  private:
    std::string path_;
};

}  // namespace

std::unique_ptr<hid::HidInterfaceSet> SingleInterfacePlatform::PresentInterfaces(std::string&) {
    return std::make_unique<OnePath>(path_);
}

}  // namespace brimlo::session
