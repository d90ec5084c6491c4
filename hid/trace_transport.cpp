#include "hid/trace_transport.h"

#include <algorithm>

namespace brimlo::hid {

void WireTrace::WriteHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    char chunk[512];
    std::size_t used = 0;
    for (std::uint8_t byte : bytes) {
        chunk[used++] = kDigits[byte >> 4];
        chunk[used++] = kDigits[byte & 0x0F];
        if (used == sizeof chunk) {
            std::fwrite(chunk, 1, used, out_);
            used = 0;
        }
    }
    std::fwrite(chunk, 1, used, out_);
}

void WireTrace::SetOutput(std::span<const std::uint8_t> report, bool ok) {
    const std::lock_guard lock(mutex_);
    std::fprintf(out_, R"({"op":"set_output","report_id":%u,"length":%zu,"data":")",
                 report.empty() ? 0u : report[0], report.size());
    WriteHex(report);
    std::fprintf(out_,
                 R"(","ok":%s})"
                 "\n",
                 ok ? "true" : "false");
    std::fflush(out_);
}

void WireTrace::GetInput(std::uint8_t reportId, std::uint32_t requestedLength,
                         std::span<const std::uint8_t> reply, bool ok) {
    const std::lock_guard lock(mutex_);
    std::fprintf(out_, R"({"op":"get_input","report_id":%u,"requested_length":%u,"data":")",
                 reportId, requestedLength);
    WriteHex(reply);
    std::fprintf(out_,
                 R"(","ok":%s})"
                 "\n",
                 ok ? "true" : "false");
    std::fflush(out_);
}

bool TracingConnection::SendOutputReport(std::span<const std::uint8_t> report) {
    const bool ok = inner_->SendOutputReport(report);
    trace_.SetOutput(report, ok);
    return ok;
}

std::optional<std::size_t> TracingConnection::GetInputReport(std::uint8_t reportId,
                                                             std::uint32_t requestedLength,
                                                             std::span<std::uint8_t> buffer) {
    const auto received = inner_->GetInputReport(reportId, requestedLength, buffer);
    const std::size_t shown = received ? std::min(*received, buffer.size()) : 0;
    trace_.GetInput(reportId, requestedLength, buffer.first(shown), received.has_value());
    return received;
}

std::unique_ptr<HidConnection> TracingPlatform::Open(const std::string& path,
                                                     const HidOpenOptions& options,
                                                     std::string& error) {
    std::unique_ptr<HidConnection> inner = inner_.Open(path, options, error);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<TracingConnection>(std::move(inner), trace_);
}

}  // namespace brimlo::hid
