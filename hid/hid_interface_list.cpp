#include "hid/hid_interface_list.h"

#include "hid/report_descriptor_parser.h"

namespace brimlo::hid {
namespace {

void Describe(HidPlatform& platform, HidInterfaceInfo& info) {
    std::unique_ptr<HidConnection> connection = platform.Open(info.path, {}, info.error);
    if (!connection) {
        return;
    }
    HiddAttributes attributes;
    std::vector<std::uint8_t> descriptor;
    if (!connection->GetAttributes(attributes) || !connection->GetReportDescriptor(descriptor)) {
        info.error = info.path + ": " + connection->LastError();
        return;
    }
    info.vendorId = attributes.VendorID;
    info.productId = attributes.ProductID;
    info.version = attributes.VersionNumber;
    HidPreparsedData parsed;
    ReportDescriptorError parseError;
    if (!ParseReportDescriptor(descriptor, parsed, parseError)) {
        info.error = info.path + ": report descriptor rejected at byte " +
                     std::to_string(parseError.offset) + ": " + parseError.message;
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
