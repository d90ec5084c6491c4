#include "sim/gadget/hid_gadget_requests.h"

#include <algorithm>

namespace brimlo::kernel_test {
namespace {

SetupDecision Stall(std::string note) {
    return {SetupDecision::Action::kStall, {}, std::move(note)};
}

std::string Number(std::size_t value) {
    return std::to_string(value);
}

}  // namespace

std::vector<std::uint8_t> BuildHidClassDescriptor(std::uint16_t reportDescriptorLength) {
    return {
        9,                   // bLength
        kDescriptorTypeHid,  // bDescriptorType
        0x11,
        0x01,  // bcdHID 1.11
        0,     // bCountryCode: not localised
        1,     // bNumDescriptors
        kDescriptorTypeReport,
        static_cast<std::uint8_t>(reportDescriptorLength & 0xFF),
        static_cast<std::uint8_t>(reportDescriptorLength >> 8),
    };
}

HidGadgetRequests::HidGadgetRequests(hid::Transport& device,
                                     std::span<const std::uint8_t> reportDescriptor,
                                     std::vector<std::uint16_t> outputLengths,
                                     std::size_t largestInputReport)
    : device_(device),
      reportDescriptor_(reportDescriptor),
      outputLengths_(std::move(outputLengths)),
      inputBuffer_(largestInputReport) {
    outputLengths_.resize(256, 0);
}

SetupDecision HidGadgetRequests::Setup(const SetupPacket& setup) {
    if (setup.requestType == kStandardInterfaceIn && setup.request == kRequestGetDescriptor) {
        return GetDescriptor(setup);
    }
    if (setup.requestType == kClassInterfaceIn && setup.request == kHidGetReport) {
        return GetReport(setup);
    }
    if (setup.requestType == kClassInterfaceOut && setup.request == kHidSetReport) {
        return SetReport(setup);
    }
    if (setup.requestType == kClassInterfaceOut && setup.request == kHidSetIdle) {
        if (setup.length != 0) {
            return Stall("SET_IDLE with a data stage");
        }
        return {SetupDecision::Action::kAcknowledge, {}, "SET_IDLE acknowledged"};
    }
    return Stall("request not supported by this function");
}

SetupDecision HidGadgetRequests::GetDescriptor(const SetupPacket& setup) {
    const auto type = static_cast<std::uint8_t>(setup.value >> 8);
    std::vector<std::uint8_t> descriptor;
    if (type == kDescriptorTypeReport) {
        descriptor.assign(reportDescriptor_.begin(), reportDescriptor_.end());
    } else if (type == kDescriptorTypeHid) {
        descriptor = BuildHidClassDescriptor(static_cast<std::uint16_t>(reportDescriptor_.size()));
    } else {
        return Stall("GET_DESCRIPTOR of an unknown descriptor type");
    }
    if ((setup.value & 0xFF) != 0) {
        return Stall("GET_DESCRIPTOR with a descriptor index other than 0");
    }
    if (descriptor.size() > setup.length) {
        descriptor.resize(setup.length);
    }
    std::string note = std::string(type == kDescriptorTypeReport ? "report" : "HID") +
                       " descriptor, " + Number(descriptor.size()) + " bytes";
    return {SetupDecision::Action::kSend, std::move(descriptor), std::move(note)};
}

SetupDecision HidGadgetRequests::GetReport(const SetupPacket& setup) {
    const auto reportType = static_cast<std::uint8_t>(setup.value >> 8);
    const auto reportId = static_cast<std::uint8_t>(setup.value & 0xFF);
    if (reportType != kReportTypeInput) {
        return Stall("GET_REPORT of report type " + Number(reportType) +
                     ": the device has input reports only");
    }
    if (reportId == 0 && echoReportIdZero_) {
        const std::size_t sent = std::min<std::size_t>(echo_.size(), setup.length);
        std::vector<std::uint8_t> data(echo_.begin(), echo_.begin() + static_cast<long>(sent));
        std::string note = "report ID 0 echo, " + Number(sent) + " bytes";
        return {SetupDecision::Action::kSend, std::move(data), std::move(note)};
    }
    const auto placed = device_.GetInputReport(reportId, setup.length, inputBuffer_);
    if (!placed) {
        return Stall("input report refused: " + device_.LastError());
    }
    const std::size_t sent = std::min<std::size_t>(*placed, setup.length);
    std::vector<std::uint8_t> data(inputBuffer_.begin(),
                                   inputBuffer_.begin() + static_cast<std::ptrdiff_t>(sent));
    return {SetupDecision::Action::kSend, std::move(data),
            "input report ID " + Number(reportId) + ", " + Number(sent) + " bytes"};
}

SetupDecision HidGadgetRequests::SetReport(const SetupPacket& setup) {
    const auto reportType = static_cast<std::uint8_t>(setup.value >> 8);
    const auto reportId = static_cast<std::uint8_t>(setup.value & 0xFF);
    if (reportType != kReportTypeOutput) {
        return Stall("SET_REPORT of report type " + Number(reportType) +
                     ": the device has output reports only");
    }
    if (reportId == 0 && echoReportIdZero_) {
        return {SetupDecision::Action::kReceive, {}, "report ID 0, kept for the echo"};
    }
    const std::uint16_t reportLength = outputLengths_[reportId];
    if (reportLength == 0) {
        return Stall("SET_REPORT of report ID " + Number(reportId) +
                     ", which is not one of the device's output reports");
    }
    // A numbered report travels with its ID byte; a report of ID 0 without it.
    const std::size_t wireLength = reportId == 0 ? reportLength - 1u : reportLength;
    if (setup.length != wireLength) {
        return Stall("SET_REPORT of report ID " + Number(reportId) + " with wLength " +
                     Number(setup.length) + ", the report takes " + Number(wireLength) +
                     " bytes on the wire");
    }
    return {SetupDecision::Action::kReceive, {}, "output report ID " + Number(reportId)};
}

std::vector<std::uint8_t> HidGadgetRequests::OutputReportFromWire(
    std::uint8_t reportId, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> report;
    if (reportId == 0) {
        report.reserve(data.size() + 1);
        report.push_back(0);
    } else if (data.empty() || data[0] != reportId) {
        return report;
    }
    report.insert(report.end(), data.begin(), data.end());
    return report;
}

std::string HidGadgetRequests::Received(const SetupPacket& setup,
                                        std::span<const std::uint8_t> data) {
    const auto reportId = static_cast<std::uint8_t>(setup.value & 0xFF);
    if (reportId == 0 && echoReportIdZero_) {
        echo_.assign(data.begin(), data.end());
        return "report ID 0, " + Number(data.size()) + " bytes kept as they came";
    }
    if (data.size() != setup.length) {
        ++refusedAfterData_;
        return "refused after the data stage: " + Number(data.size()) + " of " +
               Number(setup.length) + " bytes arrived";
    }
    const std::vector<std::uint8_t> report = OutputReportFromWire(reportId, data);
    if (report.empty()) {
        ++refusedAfterData_;
        return "refused after the data stage: the data does not start with report ID " +
               Number(reportId);
    }
    if (!device_.SendOutputReport(report)) {
        ++refusedAfterData_;
        return "refused after the data stage: " + device_.LastError();
    }
    return "output report ID " + Number(reportId) + ", " + Number(report.size()) + " bytes";
}

}  // namespace brimlo::kernel_test
