#pragma once
// Shows only one interface of another platform, for commands aimed at one device node.

#include <string>

#include "hid/hid_platform.h"

namespace brimlo::session {

class SingleInterfacePlatform final : public hid::HidPlatform {
  public:
    SingleInterfacePlatform(hid::HidPlatform& inner, std::string path)
        : inner_(inner), path_(std::move(path)) {}

    std::unique_ptr<hid::HidInterfaceSet> PresentInterfaces(std::string& error) override;
    std::unique_ptr<hid::HidConnection> Open(const std::string& path,
                                             const hid::HidOpenOptions& options,
                                             std::string& error) override {
        return inner_.Open(path, options, error);
    }
    hid::BoardLocation Locate(const std::string& path) override { return inner_.Locate(path); }

  private:
    hid::HidPlatform& inner_;
    std::string path_;
};

}  // namespace brimlo::session
