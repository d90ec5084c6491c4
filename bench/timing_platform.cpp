#include "bench/timing_platform.h"

#include <time.h>

namespace brimlo::bench {
namespace {

double Seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Adds the time between its construction and its end to `totals`.
class Span {
  public:
    explicit Span(DeviceTime& totals)
        : totals_(totals), wall_(WallSeconds()), cpu_(ThreadCpuSeconds()) {}
    ~Span() {
        ++totals_.exchanges;
        totals_.wallSeconds += WallSeconds() - wall_;
        totals_.cpuSeconds += ThreadCpuSeconds() - cpu_;
    }
    Span(const Span&) = delete;
    Span& operator=(const Span&) = delete;

  private:
    DeviceTime& totals_;
    double wall_;
    double cpu_;
};

class TimingConnection final : public hid::HidConnection {
  public:
    TimingConnection(std::unique_ptr<hid::HidConnection> inner, DeviceTime& totals)
        : inner_(std::move(inner)), totals_(totals) {}

    bool SendOutputReport(std::span<const std::uint8_t> report) override {
        const Span span(totals_);
        return inner_->SendOutputReport(report);
    }
    std::optional<std::size_t> GetInputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                              std::span<std::uint8_t> buffer) override {
        const Span span(totals_);
        return inner_->GetInputReport(reportId, requestedLength, buffer);
    }
    std::string LastError() const override { return inner_->LastError(); }
    bool GetAttributes(hid::HiddAttributes& attributes) override {
        return inner_->GetAttributes(attributes);
    }
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) override {
        return inner_->GetReportDescriptor(descriptor);
    }

  private:
    std::unique_ptr<hid::HidConnection> inner_;
    DeviceTime& totals_;
};

}  // namespace

double ThreadCpuSeconds() {
    return Seconds(CLOCK_THREAD_CPUTIME_ID);
}

double WallSeconds() {
    return Seconds(CLOCK_MONOTONIC);
}

std::unique_ptr<hid::HidConnection> TimingPlatform::Open(const std::string& path,
                                                         const hid::HidOpenOptions& options,
                                                         std::string& error) {
    std::unique_ptr<hid::HidConnection> inner = inner_.Open(path, options, error);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<TimingConnection>(std::move(inner), totals_);
}

}  // namespace brimlo::bench
