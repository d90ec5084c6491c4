#include "hid/hid_interface_list.h"

namespace brimlo::hid {
namespace {

void Describe(HidPlatform& platform, HidInterfaceInfo& info) {
    info.location = platform.Locate(info.path);
    std::unique_ptr<HidConnection> connection = platform.Open(info.path, {}, info.error);
    if (!connection) {
        return;
    }
    HiddAttributes attributes;
    if (!connection->GetAttributes(attributes)) {
        info.error = info.path + ": " + connection->LastError();
        return;
    }
    info.vendorId = attributes.VendorID;
    info.productId = attributes.ProductID;
    info.version = attributes.VersionNumber;
    HidPreparsedData parsed;
    std::string capsError;
    if (!connection->GetCapabilities(parsed, capsError)) {
        info.error = info.path + ": " + capsError;
        return;
    }
    info.usagePage = parsed.caps.UsagePage;
    info.usage = parsed.caps.Usage;
    info.inputReportLength = parsed.caps.InputReportByteLength;
    info.outputReportLength = parsed.caps.OutputReportByteLength;
    info.featureReportLength = parsed.caps.FeatureReportByteLength;
    info.described = true;
}

}  // namespace

bool DescribeHidInterfaces(HidPlatform& platform, std::vector<HidInterfaceInfo>& interfaces,
                           std::string& error) {
    interfaces.clear();
    std::unique_ptr<HidInterfaceSet> set = platform.PresentInterfaces(error);
    if (!set) {
        return false;
    }
    for (std::uint32_t i = 0;; ++i) {
        HidInterfaceInfo info;
        const HidInterfaceSet::Status status = set->InterfacePath(i, info.path);
        if (status == HidInterfaceSet::Status::NoMoreItems) {
            break;
        }
        if (status == HidInterfaceSet::Status::Failed) {
            info.error = "interface #" + std::to_string(i) + " could not be described";
        } else {
            Describe(platform, info);
        }
        interfaces.push_back(std::move(info));
    }
    return true;
}

}  // namespace brimlo::hid
