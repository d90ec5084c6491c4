#include "fake_hid_platform.h"

#include <algorithm>

namespace brimlo::hid::testing {

std::vector<std::uint8_t> VendorDescriptor(const std::vector<std::uint8_t>& ids,
                                           const std::vector<std::uint16_t>& outputLengths,
                                           const std::vector<std::uint16_t>& inputLengths) {
    std::vector<std::uint8_t> d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    auto field = [&](std::uint8_t usage, std::uint16_t length, std::uint8_t mainTag) {
        const std::uint16_t count = static_cast<std::uint16_t>(length - 1);
        d.insert(d.end(), {0x09, usage, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x96,
                           static_cast<std::uint8_t>(count & 0xFF),
                           static_cast<std::uint8_t>(count >> 8), mainTag, 0x02});
    };
    for (std::size_t i = 0; i < ids.size(); ++i) {
        d.insert(d.end(), {0x85, ids[i]});
        field(static_cast<std::uint8_t>(0x10 + i), outputLengths[i], 0x91);
        field(static_cast<std::uint8_t>(0x20 + i), inputLengths[i], 0x81);
    }
    d.push_back(0xC0);
    return d;
}

namespace {

class FakeInterfaceSet final : public HidInterfaceSet {
  public:
    explicit FakeInterfaceSet(const std::vector<FakeInterface>& list) : list_(list) {}
    Status InterfacePath(std::uint32_t index, std::string& path) override {
        if (index >= list_.size()) {
            return Status::NoMoreItems;
        }
        if (list_[index].describeFails) {
            return Status::Failed;
        }
        path = list_[index].path;
        return Status::Ok;
    }

  private:
    const std::vector<FakeInterface>& list_;
};

}  // namespace

bool FakeConnection::SendOutputReport(std::span<const std::uint8_t> report) {
    if (log_.unplugged) {
        return false;
    }
    log_.sent.emplace_back(report.begin(), report.end());
    return true;
}

std::optional<std::size_t> FakeConnection::GetInputReport(std::uint8_t reportId,
                                                          std::uint32_t requestedLength,
                                                          std::span<std::uint8_t> buffer) {
    if (log_.unplugged || log_.replies.empty()) {
        return std::nullopt;
    }
    log_.reads.emplace_back(reportId, requestedLength);
    const std::vector<std::uint8_t> reply = std::move(log_.replies.front());
    log_.replies.pop_front();
    const std::size_t n = std::min(reply.size(), buffer.size());
    std::copy_n(reply.begin(), n, buffer.begin());
    return n;
}

bool FakeConnection::GetAttributes(HiddAttributes& attributes) {
    attributes.VendorID = iface_.vendorId;
    attributes.ProductID = iface_.productId;
    return true;
}

bool FakeConnection::GetReportDescriptor(std::vector<std::uint8_t>& descriptor) {
    descriptor = iface_.descriptor;
    return true;
}

std::unique_ptr<HidInterfaceSet> FakeHidPlatform::PresentInterfaces(std::string& error) {
    if (refuseListing) {
        error = "listing refused";
        return nullptr;
    }
    return std::make_unique<FakeInterfaceSet>(interfaces);
}

std::unique_ptr<HidConnection> FakeHidPlatform::Open(const std::string& path, const HidOpenOptions&,
                                                     std::string& error) {
    opened.push_back(path);
    for (const FakeInterface& iface : interfaces) {
        if (iface.path == path) {
            if (iface.openFails) {
                error = iface.heldElsewhere
                            ? path + ": Device or resource busy" + std::string(kHeldElsewhere)
                            : path + ": Permission denied";
                return nullptr;
            }
            return std::make_unique<FakeConnection>(iface, log);
        }
    }
    error = path + ": no such interface";
    return nullptr;
}

}  // namespace brimlo::hid::testing
