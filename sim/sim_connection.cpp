#include "sim/sim_connection.h"

namespace brimlo::sim {

SimConnection::SimConnection(std::shared_ptr<SimDevice> device) : device_(std::move(device)) {}

SimConnection::~SimConnection() {
    device_->Persist();
}

bool SimConnection::Failed(const std::string& reason) {
    lastError_ = device_->Path() + ": " + reason;
    return false;
}

bool SimConnection::SendOutputReport(std::span<const std::uint8_t> report) {
    std::string error;
    if (!device_->OutputReport(report, error)) {
        return Failed(error);
    }
    return true;
}

std::optional<std::size_t> SimConnection::GetInputReport(std::uint8_t reportId,
                                                         std::uint32_t requestedLength,
                                                         std::span<std::uint8_t> buffer) {
    std::string error;
    std::optional<std::size_t> placed =
        device_->InputReport(reportId, requestedLength, buffer, error);
    if (!placed) {
        Failed(error);
    }
    return placed;
}

bool SimConnection::GetAttributes(hid::HiddAttributes& attributes) {
    if (!device_->Present()) {
        return Failed("the device was unplugged");
    }
    const SimConfig& config = device_->Config();
    attributes.VendorID = config.vid;
    attributes.ProductID = config.pid;
    attributes.VersionNumber = config.version;
    return true;
}

bool SimConnection::GetReportDescriptor(std::vector<std::uint8_t>& descriptor) {
    if (!device_->Present()) {
        return Failed("the device was unplugged");
    }
    descriptor = device_->ReportDescriptor();
    return true;
}

}  // namespace brimlo::sim
